#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <unordered_map>

#include <xcb/xcb.h>

// Sees from outside when a program's window shows its first frame: every top-level window
// created after Arm() gets a Damage object, and the first damage to the window with the
// awaited title is the program's first paint into it (Qt windows have no server-painted
// background, so nothing else damages them).
namespace tk::bench {

struct FirstFrame {
    bool ok = false;
    std::string error;
    double mappedMs = 0;  // from the start to the MapNotify of the window
    double frameMs = 0;   // from the start to the first damage to the window
    long peakRssKiB = 0;  // VmHWM at the first frame
    int width = 0;
    int height = 0;
};

class FrameWatcher {
public:
    using Clock = std::chrono::steady_clock;

    // Waiting ends early once `*stop` is set (from a signal handler).
    FrameWatcher(const std::string& display, const volatile std::sig_atomic_t* stop);
    ~FrameWatcher();
    FrameWatcher(const FrameWatcher&) = delete;
    FrameWatcher& operator=(const FrameWatcher&) = delete;

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    // Forgets the windows of earlier runs; call before starting the program.
    void Arm(const std::string& title);
    // Waits for the first frame of `pid`'s window, started at `start`, and stops the process
    // (SIGSTOP) the moment it is seen, so that its memory is read at that very frame.
    FirstFrame WaitForFirstFrame(pid_t pid, Clock::time_point start, int timeoutMs);
    // Waits until the awaited window is destroyed (its program has been killed).
    void WaitGone(int timeoutMs);

private:
    struct Tracked {
        bool titleKnown = false;
        bool isTarget = false;
        bool mapped = false;
    };

    void Handle(xcb_generic_event_t* event, pid_t pid, Clock::time_point start, FirstFrame& result);
    bool IsTarget(xcb_window_t window, Tracked& tracked);
    std::string TitleOf(xcb_window_t window);
    xcb_atom_t Atom(const char* name);
    // Waits for events until `done` or the timeout; false on a timeout or a lost connection.
    template <typename Done>
    bool Pump(int timeoutMs, Done done, pid_t pid, Clock::time_point start, FirstFrame& result);

    const volatile std::sig_atomic_t* m_stop;
    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    std::uint8_t m_damageEvent = 0;
    xcb_atom_t m_netWmName = 0;
    xcb_atom_t m_utf8String = 0;
    std::string m_error;
    std::string m_title;
    std::unordered_map<xcb_window_t, Tracked> m_windows;
    xcb_window_t m_target = 0;
    bool m_targetGone = false;
};

// VmHWM of a process, in KiB; 0 when it cannot be read.
long PeakRssKiB(pid_t pid);

}  // namespace tk::bench
