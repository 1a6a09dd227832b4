#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "base/diagnostics.h"

namespace tk {

// Runs slow work away from the caller: the slow half of a save (encoding, writing, syncing,
// renaming), or a sweep asking the desktop. Jobs run one at a time in the order given; a job
// still waiting when a newer one arrives is dropped, since each job does all its older one
// would have (the newer save writes everything, the newer sweep asks afresh).
class JobRunner {
public:
    virtual ~JobRunner() = default;
    // Runs `job` after the one running now, in place of any still waiting.
    virtual void Submit(std::function<void()> job) = 0;
    // Returns once every job submitted so far has run.
    virtual void Flush() = 0;
    // As Flush, waiting at most `limit`; false when a job was still running or waiting then.
    virtual bool FlushFor(std::chrono::milliseconds /*limit*/) {
        Flush();
        return true;
    }
};

// A JobRunner with one thread of its own while it has work: the thread starts with a job and
// ends after `idleEnd` without one, so a program at rest keeps no idle thread (its stack and,
// under Wine, a megabyte of the loader's per-thread memory). A job that throws is reported to
// `diagnostics`.
class WorkerThread : public JobRunner {
public:
    explicit WorkerThread(Diagnostics& diagnostics, std::chrono::milliseconds idleEnd = std::chrono::seconds(2));
    // Runs what is still waiting, then ends the thread.
    ~WorkerThread() override;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Submit(std::function<void()> job) override;
    void Flush() override;
    bool FlushFor(std::chrono::milliseconds limit) override;
    // Whether a thread is there now (it is while a job waits or runs, and for `idleEnd` after).
    bool HasThread();

private:
    void Run();

    Diagnostics& m_diagnostics;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::function<void()> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_running = false;  // a thread is in Run, or about to be
    const std::chrono::milliseconds m_idleEnd;
    std::mutex m_threadMutex;  // over m_thread: a new one replaces one that ended
    std::thread m_thread;
};

}  // namespace tk
