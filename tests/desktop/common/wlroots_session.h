#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tk::test {

// A private headless wlroots compositor (software rendering, no input devices) with XWayland,
// started for one test and stopped, with every program started on it, when it goes away: sway,
// or labwc, which has no IPC of its own. sway refuses to run as root, so under root the
// compositor and its clients run as the unprivileged "nobody".
class WlrootsSession {
public:
    enum class Compositor { Sway, Labwc };
    explicit WlrootsSession(Compositor compositor = Compositor::Sway);
    ~WlrootsSession();
    WlrootsSession(const WlrootsSession&) = delete;
    WlrootsSession& operator=(const WlrootsSession&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    // Absolute path of the Wayland socket: a WAYLAND_DISPLAY that needs no XDG_RUNTIME_DIR.
    const std::string& WaylandSocket() const { return m_wayland; }
    // sway's IPC socket; empty on labwc.
    const std::string& SwaySocket() const { return m_ipc; }
    // XWayland's display, ":N".
    const std::string& XDisplay() const { return m_xDisplay; }

    // Points this process's WAYLAND_DISPLAY, SWAYSOCK (unset on labwc) and DISPLAY at the session.
    void ApplyToEnvironment() const;

    // Starts a client on the session (Wayland and X11 both reachable); returns its pid, which
    // is the client's own even under root. The session kills and reaps it at the end.
    pid_t Spawn(const std::vector<std::string>& argv);
    void Kill(pid_t pid);
    // Runs swaymsg with these arguments and waits for it; true when it succeeded (sway only).
    bool Message(const std::vector<std::string>& args);

private:
    std::vector<std::string> ClientEnvironment() const;

    bool m_ok = false;
    std::string m_error;
    std::string m_runtimeDir;
    std::string m_wayland;
    std::string m_ipc;
    std::string m_xDisplay;
    pid_t m_compositor = -1;
    std::vector<pid_t> m_children;
};

}  // namespace tk::test
