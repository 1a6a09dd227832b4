#include "desktop/platform_desktop.h"

#include <cstdlib>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/linux/posix_file_system.h"
#include "platform/linux/shell/desktop_entry_icons.h"
#include "platform/linux/shell/file_manager_shell_windows.h"
#include "platform/linux/x11/x11_window_system.h"

namespace tk {

namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

}  // namespace

PlatformDesktop CreatePlatformDesktop() {
    PlatformDesktop desktop;
    desktop.dialect = std::make_unique<PosixPathDialect>(HomeDirectory());
    desktop.files = std::make_unique<PosixFileSystem>();
    desktop.icons = std::make_unique<DesktopEntryIcons>();
    desktop.windows = CreatePlatformWindowSystem();
    desktop.shell = std::make_unique<FileManagerShellWindows>();
    return desktop;
}

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace tk
