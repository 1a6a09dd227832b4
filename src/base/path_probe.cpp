#include "base/path_probe.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace tk {

struct PathProbe::State {
    Check check;
    std::mutex mutex;
    std::condition_variable answered;
    std::deque<std::string> queue;
    std::unordered_map<std::string, bool> answers;
    std::size_t outstanding = 0;
    bool waitedOut = false;  // WaitFor gave up: answers from now on are late
    bool abandoned = false;
    std::vector<std::pair<std::string, bool>> late;
    std::function<void()> onLateAnswer;
};

PathProbe::PathProbe(Check check, int threads)
    : m_state(std::make_shared<State>()), m_threads(std::max(1, threads)) {
    m_state->check = std::move(check);
}

PathProbe::~PathProbe() {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->abandoned = true;
    m_state->queue.clear();
    m_state->onLateAnswer = nullptr;
}

void PathProbe::Start(std::vector<std::string> paths, std::function<void()> onLateAnswer) {
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        for (auto& path : paths) {
            if (m_state->answers.count(path) != 0) continue;
            m_state->queue.push_back(std::move(path));
            ++m_state->outstanding;
        }
        m_state->onLateAnswer = std::move(onLateAnswer);
    }
    const int threads = static_cast<int>(std::min<std::size_t>(
        static_cast<std::size_t>(m_threads), m_state->queue.size()));
    for (int i = 0; i < threads; ++i) {
        std::thread([state = m_state] {
            std::unique_lock<std::mutex> lock(state->mutex);
            while (!state->abandoned && !state->queue.empty()) {
                std::string path = std::move(state->queue.front());
                state->queue.pop_front();
                lock.unlock();
                bool exists = false;
                try {
                    exists = state->check(path);
                } catch (const std::exception&) {
                    exists = false;  // what cannot be asked shows as missing
                }
                lock.lock();
                if (state->abandoned) break;
                --state->outstanding;
                if (state->waitedOut) state->late.emplace_back(path, exists);
                state->answers.emplace(std::move(path), exists);
                state->answered.notify_all();
                // Told under the lock, so that a probe going away never races its listener.
                if (state->waitedOut && state->onLateAnswer) state->onLateAnswer();
            }
        }).detach();
    }
}

bool PathProbe::WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    const bool all = m_state->answered.wait_for(lock, limit, [this] { return m_state->outstanding == 0; });
    if (!all) m_state->waitedOut = true;
    return all;
}

std::optional<bool> PathProbe::Answer(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    const auto it = m_state->answers.find(path);
    if (it == m_state->answers.end()) return std::nullopt;
    return it->second;
}

std::vector<std::pair<std::string, bool>> PathProbe::TakeLateAnswers() {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return std::exchange(m_state->late, {});
}

}  // namespace tk
