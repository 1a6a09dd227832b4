#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tk {

// Asks whether paths exist on threads of their own, several at once, so a path on a hung
// mount delays only its own answer. The threads are never joined: one stuck in the kernel
// is left behind when the probe goes, and whatever it answers then is dropped.
class PathProbe {
public:
    using Check = std::function<bool(const std::string&)>;
    explicit PathProbe(Check check, int threads = 4);
    ~PathProbe();
    PathProbe(const PathProbe&) = delete;
    PathProbe& operator=(const PathProbe&) = delete;

    // Starts asking about `paths` (once per run of the probe). `onLateAnswer` is called, on a
    // probe thread, after each answer that comes once WaitFor has given up.
    void Start(std::vector<std::string> paths, std::function<void()> onLateAnswer = nullptr);
    // Waits at most `limit` for every answer; true when all are in.
    bool WaitFor(std::chrono::milliseconds limit);
    // The answer for `path`, if it is in.
    std::optional<bool> Answer(const std::string& path) const;
    // The answers that came after WaitFor gave up, each once.
    std::vector<std::pair<std::string, bool>> TakeLateAnswers();

private:
    struct State;
    std::shared_ptr<State> m_state;
    int m_threads;
};

}  // namespace tk
