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

// A JobRunner with one thread of its own. A job that throws is reported to `diagnostics`.
class WorkerThread : public JobRunner {
public:
    explicit WorkerThread(Diagnostics& diagnostics);
    // Runs what is still waiting, then ends the thread.
    ~WorkerThread() override;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Submit(std::function<void()> job) override;
    void Flush() override;
    bool FlushFor(std::chrono::milliseconds limit) override;

private:
    void Run();

    Diagnostics& m_diagnostics;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::function<void()> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: starts once the rest is built
};

}  // namespace tk
