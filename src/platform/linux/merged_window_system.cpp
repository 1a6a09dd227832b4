#include "platform/linux/merged_window_system.h"

#include <cstdlib>
#include <unistd.h>
#include <utility>

#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/gnome_shell/gnome_shell_window_lister.h"
#include "platform/linux/kwin/kwin_window_lister.h"
#include "platform/linux/posix/files.h"
#include "platform/linux/session_titled_windows.h"
#include "platform/linux/shared_native_lister.h"
#include "platform/linux/wayland/foreign_toplevels.h"
#include "platform/linux/wayland/sway_ipc.h"
#include "platform/linux/wayland/wlroots_window_lister.h"
#include "platform/linux/x11/x11_titled_windows.h"
#include "platform/linux/x11/x11_window_system.h"

namespace tk {

namespace {

constexpr const char* kNoListerHint =
    "此桌面不提供窗口列表，只能记录通过 XWayland 运行的 X11 程序；文件夹和网页照常记录。";

}  // namespace

MergedWindowSystem::MergedWindowSystem(std::unique_ptr<NativeWindowLister> native,
                                       std::unique_ptr<WindowSystem> x11, std::int64_t ownPid,
                                       std::string ownExecutable)
    : m_native(std::move(native)),
      m_x11(std::move(x11)),
      m_ownPid(ownPid),
      m_ownExecutable(std::move(ownExecutable)) {
    // Known from the start, so whether to tell the user can be settled before the first sweep.
    if (m_native) m_nativeWorked = m_native->List().ok;
}

WindowSnapshot MergedWindowSystem::ListWindows() {
    m_entries.Refresh();
    WindowSnapshot x = m_x11 ? m_x11->ListWindows() : WindowSnapshot{};
    NativeWindowList native;
    if (m_native) {
        native = m_native->List();
        m_nativeWorked = native.ok;
    }

    WindowSnapshot merged;
    merged.ok = x.ok || native.ok;
    if (!merged.ok) {
        merged.error = !native.error.empty() ? native.error : x.error;
        return merged;
    }
    merged.desktopWindow = x.desktopWindow;

    XListedWindows byX;
    for (const WindowInfo& w : x.windows) byX.Add(w.text, w.pid);
    for (NativeWindow& w : native.windows) {
        // Without XWayland's own list the compositor's word is all there is.
        if (w.xwayland && x.ok) continue;
        if (byX.Lists(w.info.text, w.info.pid)) continue;
        if (m_ownPid != 0 && w.info.pid == m_ownPid) continue;
        if (!m_ownExecutable.empty() && w.info.pid <= 0 && w.info.executable == m_ownExecutable) {
            continue;
        }
        merged.windows.push_back(std::move(w.info));
    }
    for (WindowInfo& w : x.windows) {
        if (m_ownPid != 0 && w.pid == m_ownPid) continue;
        merged.windows.push_back(std::move(w));
    }
    return merged;
}

std::optional<std::string> MergedWindowSystem::ExecutableOfProcess(std::int64_t pid) {
    return ProcessExecutable(pid);
}

std::optional<StartedProgram> MergedWindowSystem::StartedProgramOf(const WindowInfo& window,
                                                                   const std::string& executable) {
    return StartedProgramOfWindow(window, executable, m_entries);
}

bool MergedWindowSystem::SeesAllWindows() const { return m_native && m_nativeWorked; }

std::string MergedWindowSystem::UnseenWindowsHint() const {
    if (SeesAllWindows()) return {};
    if (m_native) {
        std::string hint = m_native->Hint();
        if (!hint.empty()) return hint;
    }
    return kNoListerHint;
}

namespace {

bool IsWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display != nullptr && display[0] != '\0') return true;
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return type != nullptr && std::string_view(type) == "wayland";
}

std::unique_ptr<NativeWindowLister> ChooseNativeLister() {
    // A compositor with the wlroots toplevel list is asked through it, whatever its name.
    const ForeignToplevelList probe = ReadForeignToplevels({});
    if (probe.ok) {
        WlrootsWindowLister::Options options;
        options.swaySocket = SwaySocketPath();
        return std::make_unique<WlrootsWindowLister>(std::move(options));
    }
    const std::string bus = glib::SessionBusAddress();
    if (KWinWindowLister::IsRunning(bus)) return std::make_unique<KWinWindowLister>(bus);
    if (glib::BusNameHasOwner(bus, "org.gnome.Shell")) {
        return std::make_unique<GnomeShellWindowLister>(bus);
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<WindowSystem> CreateSessionWindowSystem() { return CreateSessionWindows().windows; }

SessionWindows CreateSessionWindows() {
    SessionWindows session;
    if (!IsWaylandSession()) {
        session.windows = CreatePlatformWindowSystem();
        session.titled = std::make_unique<X11TitledWindows>();
        return session;
    }
    std::unique_ptr<NativeWindowLister> forWindows;
    std::unique_ptr<NativeWindowLister> forTitles;
    if (std::unique_ptr<NativeWindowLister> native = ChooseNativeLister()) {
        SharedNativeLister shared(std::move(native));
        forWindows = shared.Asker();
        forTitles = shared.Asker();
    }
    // Every X11 window, the program's own included; the merge leaves ours out.
    X11WindowSystem::Options x11;
    x11.ownPid = 0;
    session.windows = std::make_unique<MergedWindowSystem>(
        std::move(forWindows), std::make_unique<X11WindowSystem>(std::move(x11)), ::getpid(),
        RunningExecutablePath());
    session.titled = std::make_unique<SessionTitledWindows>(std::move(forTitles),
                                                            std::make_unique<X11TitledWindows>());
    return session;
}

}  // namespace tk
