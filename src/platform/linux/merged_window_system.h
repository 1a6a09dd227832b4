#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "desktop/window_system.h"
#include "platform/linux/icons/window_entries.h"
#include "platform/linux/native_windows.h"
#include "platform/linux/titled_windows.h"

namespace tk {

// The windows of a Wayland session: the compositor's native windows, then the X11 programs'
// windows from XWayland. An X11 program's window the compositor lists too is reported once,
// from the X server, which knows its process for certain.
class MergedWindowSystem final : public WindowSystem {
public:
    // `native` null: the compositor cannot be asked, only X11 programs' windows are seen.
    // `x11` must report every window, the program's own included: they are needed to recognise
    // the program's own windows in the compositor's list, and are left out here.
    MergedWindowSystem(std::unique_ptr<NativeWindowLister> native,
                       std::unique_ptr<WindowSystem> x11, std::int64_t ownPid,
                       std::string ownExecutable);

    WindowSnapshot ListWindows() override;
    std::optional<std::string> ExecutableOfProcess(std::int64_t pid) override;
    std::optional<StartedProgram> StartedProgramOf(const WindowInfo& window,
                                                   const std::string& executable) override;
    bool SeesAllWindows() const override;
    std::string UnseenWindowsHint() const override;

private:
    std::unique_ptr<NativeWindowLister> m_native;
    std::unique_ptr<WindowSystem> m_x11;
    std::int64_t m_ownPid;
    std::string m_ownExecutable;
    DesktopEntryCatalog m_entries;
    // Written by the sweep's thread, read by the window's.
    std::atomic<bool> m_nativeWorked = true;
};

// The window backend for this session: X11 alone on an X11 desktop; on a Wayland desktop the
// compositor's lister chosen by what it offers (the wlroots toplevel list, KWin's scripting,
// the GNOME Shell extension), merged with XWayland's windows.
std::unique_ptr<WindowSystem> CreateSessionWindowSystem();

// The session's windows twice over: for the window pass, and with whole titles for the
// sources that read folders from titles. On Wayland both ask the same compositor lister,
// which a sweep's two passes share.
struct SessionWindows {
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<TitledWindowLister> titled;
};
SessionWindows CreateSessionWindows();

}  // namespace tk
