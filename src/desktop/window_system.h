#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tk {

using WindowHandle = std::uint64_t;

// One top-level window as the sweep sees it.
struct WindowInfo {
    WindowHandle handle = 0;
    bool visible = false;       // listed and not withdrawn (a minimised window counts)
    WindowHandle owner = 0;     // 0 when unowned
    bool toolWindow = false;    // skip-taskbar, or a window type other than normal/dialog
    std::string text;           // UTF-8 title, at most 128 bytes, cut on a character boundary
    std::int64_t pid = 0;       // 0 when unknown
    // The program's executable when the desktop names no process for the window (found
    // through the window's application id instead); empty otherwise.
    std::string executable;
    // The names the desktop knows the window's program by, to find its launcher (desktop
    // entry): the application id (GTK's on X11, the Wayland app id), the WM_CLASS pair.
    std::string appId;
    std::string wmClass;
    std::string wmInstance;
};

// A window's program as the user starts it, when that is another file than the one its
// process runs (a script under its interpreter, a client of a terminal server).
struct StartedProgram {
    std::string location;  // what re-opening starts: a launcher the shell runs
    std::string name;      // the command the user knows it by
};

struct WindowSnapshot {
    bool ok = false;            // false when the desktop could not be asked at all
    std::string error;
    WindowHandle desktopWindow = 0;
    std::vector<WindowInfo> windows;  // top to bottom, as EnumWindows reports them
};

// Top-level windows and the processes behind them.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // A snapshot of every top-level window in enumeration order.
    virtual WindowSnapshot ListWindows() = 0;
    // The full path of a process's executable; nothing when it cannot be read or was deleted.
    virtual std::optional<std::string> ExecutableOfProcess(std::int64_t pid) = 0;
    // The launcher that starts `window`'s program when it starts a different file than
    // `executable`, the process's; nothing for a program started as it runs.
    virtual std::optional<StartedProgram> StartedProgramOf(const WindowInfo& /*window*/,
                                                           const std::string& /*executable*/) {
        return std::nullopt;
    }
    // False when some kinds of the desktop's windows are out of sight (native windows on a
    // desktop whose compositor cannot be asked), so the user can be told.
    virtual bool SeesAllWindows() const { return true; }
    // How the user can let the program see those windows, in Chinese; empty when there is
    // nothing the user can do.
    virtual std::string UnseenWindowsHint() const { return {}; }
};

}  // namespace tk
