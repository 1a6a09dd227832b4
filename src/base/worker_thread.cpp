#include "base/worker_thread.h"

#include <exception>

namespace tk {

WorkerThread::WorkerThread(Diagnostics& diagnostics)
    : m_diagnostics(diagnostics), m_thread([this] { Run(); }) {}

WorkerThread::~WorkerThread() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WorkerThread::Submit(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = std::move(job);
    }
    m_wake.notify_all();
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
        m_wake.wait(lock, [this] { return m_pending || m_stopping; });
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
}

}  // namespace tk
