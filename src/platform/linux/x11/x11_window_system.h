#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/window_system.h"
#include "platform/linux/icons/window_entries.h"

namespace tk {

class X11Connection;

// Top-level windows of an X11 desktop, read through a connection of our own (the UI toolkit's
// connection stays untouched, and the backend needs no toolkit at all).
//
// One sweep costs a fixed handful of round trips whatever the number of windows: the window
// list, then every per-window query sent at once and the replies collected afterwards. A
// window destroyed while we ask is skipped; nothing else in the sweep is disturbed.
class X11WindowSystem final : public WindowSystem {
public:
    struct Options {
        // The X display to open; empty means $DISPLAY.
        std::string displayName;
        // Windows of this process are never reported, so the program never records itself.
        // 0 reports every window; CreatePlatformWindowSystem() passes the current process.
        std::int64_t ownPid = 0;
        // Test seam: called once per sweep with the windows just read from the window list,
        // before any of them is queried, so a test can destroy some in between.
        std::function<void(const std::vector<WindowHandle>&)> afterListRead;
    };

    X11WindowSystem();
    explicit X11WindowSystem(Options options);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    // True while the display is open; a sweep tries to reopen a lost one.
    bool IsAvailable() const;
    // Windows of `pid` are left out of later snapshots; 0 leaves nothing out.
    void SetOwnPid(std::int64_t pid);

    WindowSnapshot ListWindows() override;
    // Reads /proc/PID/exe; nothing for a process that is gone, unreadable or whose file was
    // deleted.
    std::optional<std::string> ExecutableOfProcess(std::int64_t pid) override;
    // The window's desktop entry, by its GTK application id or WM_CLASS, when that starts
    // another file than the process runs.
    std::optional<StartedProgram> StartedProgramOf(const WindowInfo& window,
                                                   const std::string& executable) override;

private:
    bool Connect(std::string& error);

    Options m_options;
    std::unique_ptr<X11Connection> m_connection;
    DesktopEntryCatalog m_entries;
};

// The executable behind a process id, as /proc gives it; shared with anything else that needs it.
std::optional<std::string> ProcessExecutable(std::int64_t pid);

// This platform's window backend, on the default display, leaving out the calling process.
std::unique_ptr<WindowSystem> CreatePlatformWindowSystem();

}  // namespace tk
