#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tk::test {

// A private X server (Xvfb, display number chosen by the server itself) with an optional
// window manager, started for one test and stopped, children reaped, when it goes away.
class VirtualDesktop {
public:
    struct Options {
        bool windowManager = true;  // openbox
        int width = 1280;
        int height = 800;
        bool clientIds = true;  // the X-Resource extension
    };
    VirtualDesktop();
    explicit VirtualDesktop(Options options);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    // ":N"
    const std::string& Display() const { return m_display; }

    // Starts a program on this display with extra environment entries ("NAME=value");
    // returns its pid, or -1. The desktop kills and reaps it at the end.
    pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    // Kills and reaps one spawned program now.
    void Kill(pid_t pid);

private:
    bool m_ok = false;
    std::string m_error;
    std::string m_display;
    pid_t m_xvfb = -1;
    std::vector<pid_t> m_children;
};

// Runs `predicate` every 20 ms until it is true or `timeoutMs` passes.
template <typename P>
bool WaitFor(P predicate, int timeoutMs = 10000);

}  // namespace tk::test

#include <chrono>
#include <thread>

template <typename P>
bool tk::test::WaitFor(P predicate, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return predicate();
}
