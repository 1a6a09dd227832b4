#pragma once

#include <memory>

#include "base/diagnostics.h"
#include "desktop/autorun.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/shell.h"
#include "desktop/shell_windows.h"
#include "desktop/window_system.h"
#include "desktop/path_dialect.h"

namespace tk {

// Everything the core needs of the desktop it runs on, made by the backend chosen at build time.
struct PlatformDesktop {
    // Where the libraries beneath the backend log, while the desktop lives; first, so that it
    // ends after every part that might still log.
    std::shared_ptr<void> logRoute;
    std::unique_ptr<PathDialect> dialect;
    std::unique_ptr<FileSystem> files;
    std::unique_ptr<FileIcons> icons;
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<ShellWindows> shellWindows;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<AutoRunStore> autoRun;

    // False on a Wayland desktop whose compositor cannot be asked for its windows: only X11
    // programs' windows are recorded there. True everywhere else.
    bool SeesNativeWaylandWindows() const { return windows && windows->SeesAllWindows(); }
    // When they are not seen: what the user can do about it, in Chinese (such as enabling the
    // GNOME Shell extension); empty otherwise.
    std::string NativeWaylandWindowsHint() const {
        return windows ? windows->UnseenWindowsHint() : std::string();
    }
    // What the user can set so that folder windows are read, in Chinese; empty when nothing.
    std::string FolderWindowsHint() const {
        return shellWindows ? shellWindows->SettingsHint() : std::string();
    }
};

// Its parts, and the libraries beneath them, report to `diagnostics`, which must outlive it.
PlatformDesktop CreatePlatformDesktop(Diagnostics& diagnostics);
// The path rules alone, for reading a history without the desktop (no display needed).
std::unique_ptr<PathDialect> CreatePlatformPathDialect();

// The running executable's full path, and the folder it lives in.
std::string ExecutablePath();
std::string ExecutableDirectory();

// The user's own configuration folder, where the program keeps its history when it cannot
// write beside its executable ($XDG_CONFIG_HOME or ~/.config; %APPDATA% on Windows).
std::string PerUserConfigFolder();

}  // namespace tk
