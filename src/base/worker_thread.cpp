#include "base/worker_thread.h"

#include <exception>

namespace tk {

WorkerThread::WorkerThread(Diagnostics& diagnostics, std::chrono::milliseconds idleEnd)
    : m_diagnostics(diagnostics), m_idleEnd(idleEnd) {}

WorkerThread::~WorkerThread() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    std::lock_guard<std::mutex> threadLock(m_threadMutex);
    if (m_thread.joinable()) m_thread.join();
}

void WorkerThread::Submit(std::function<void()> job) {
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = std::move(job);
        start = !m_running;
        m_running = true;
    }
    if (!start) {
        m_wake.notify_all();
        return;
    }
    // The thread that ended when idle has left Run: joining it only waits for its exit.
    std::lock_guard<std::mutex> threadLock(m_threadMutex);
    if (m_thread.joinable()) m_thread.join();
    m_thread = std::thread([this] { Run(); });
}

bool WorkerThread::HasThread() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

void WorkerThread::Flush() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_pending && !m_busy; });
}

bool WorkerThread::FlushFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, limit, [this] { return !m_pending && !m_busy; });
}

void WorkerThread::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        if (!m_wake.wait_for(lock, m_idleEnd, [this] { return m_pending || m_stopping; })) {
            m_running = false;  // idle: the next job starts a thread again
            return;
        }
        if (!m_pending) break;  // stopping with nothing left to run
        std::function<void()> job = std::move(m_pending);
        m_pending = nullptr;
        m_busy = true;
        lock.unlock();
        try {
            job();
        } catch (const std::exception& e) {
            m_diagnostics.Warning("worker thread", e.what());
        }
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
    m_running = false;
}

}  // namespace tk
