#include "desktop/platform_desktop.h"

#include "platform/linux/autorun/xdg_autostart_store.h"
#include "platform/linux/glib/glib_log.h"
#include "platform/linux/icons/desktop_entry_browsers.h"
#include "platform/linux/icons/desktop_entry_icons.h"
#include "platform/linux/merged_shell_windows.h"
#include "platform/linux/merged_window_system.h"
#include "platform/linux/posix/files.h"
#include "platform/linux/posix/posix_file_system.h"
#include "platform/linux/posix/user_folders.h"
#include "platform/linux/shell/linux_shell.h"
#include "platform/linux/shell_windows/accessible_folder_windows.h"
#include "platform/linux/shell_windows/browser_session_shell_windows.h"
#include "platform/linux/shell_windows/file_manager_shell_windows.h"
#include "platform/linux/shell_windows/file_manager_title_windows.h"

namespace tk {

std::unique_ptr<PathDialect> CreatePlatformPathDialect() {
    return std::make_unique<PosixPathDialect>(xdg::HomeDir());
}

PlatformDesktop CreatePlatformDesktop(Diagnostics& diagnostics) {
    PlatformDesktop desktop;
    // Before any GLib call below can log: everything reaches the sink given.
    desktop.logRoute = std::make_shared<glib::LogRoute>(diagnostics);
    desktop.dialect = CreatePlatformPathDialect();
    desktop.files = std::make_unique<PosixFileSystem>();
    desktop.icons = std::make_unique<DesktopEntryIcons>();
    SessionWindows session = CreateSessionWindows();
    desktop.windows = std::move(session.windows);
    // Folder windows first, then the pages of running browsers.
    auto shellWindows = std::make_unique<MergedShellWindows>();
    const auto fileManagers = DesktopEntryBrowsers::FileManagerIndex();
    shellWindows->Add(std::make_unique<FileManagerShellWindows>())
        .Add(std::make_unique<FileManagerTitleWindows>(std::move(session.titled), fileManagers))
        .Add(std::make_unique<AccessibleFolderWindows>(std::string(), fileManagers))
        .Add(std::make_unique<BrowserSessionShellWindows>());
    desktop.shellWindows = std::move(shellWindows);
    desktop.shell = std::make_unique<LinuxShell>(diagnostics);
    desktop.autoRun = std::make_unique<XdgAutostartStore>();
    return desktop;
}

std::string ExecutablePath() { return RunningExecutablePath(); }

std::string ExecutableDirectory() {
    const std::string path = RunningExecutablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string PerUserConfigFolder() { return xdg::ConfigHome(); }

}  // namespace tk
