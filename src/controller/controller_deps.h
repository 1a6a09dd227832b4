#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "base/diagnostics.h"
#include "base/worker_thread.h"
#include "desktop/autorun.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/path_dialect.h"
#include "desktop/shell.h"
#include "desktop/shell_windows.h"
#include "desktop/window_system.h"
#include "history/history.h"
#include "webpanel/web_panel.h"

namespace tk {

// What the controller is given: the platform behind the interfaces and where its file lives.
struct ControllerDeps {
    const PathDialect& dialect;
    const FileSystem& files;
    FileIcons& icons;
    WindowSystem& windows;
    ShellWindows& shellWindows;
    Shell& shell;
    // Where the controller and the core beneath it report what went wrong, from any thread.
    Diagnostics& diagnostics;
    std::string settingsLoadPath;
    std::string settingsSavePath;
    // Where the start-at-log-on registration lives; none: the box does nothing.
    AutoRunStore* autoRun = nullptr;
    // The running executable, the program the registration starts.
    std::string executablePath;
    // The site the web strip shows pages of.
    std::string webSite = std::string(kMakerSite);
    // Registers the stored history right after the first frame instead of before it, so a
    // long history does not hold up the window's first appearance.
    bool deferHistoryLoad = false;
    // Whether this program holds the history's single-instance lock.
    bool holdsInstanceLock = false;
    // The history file, already being read (the program starts reading before its toolkit).
    HistoryReading* historyReading = nullptr;
    // Where saves are written, off the window's thread; none: written at once.
    JobRunner* saveWriter = nullptr;
    // Where the timed sweep asks the desktop (any one-job-at-a-time thread, such as another
    // WorkerThread); none: on the window's thread.
    JobRunner* sweepThread = nullptr;
    // How many threads ask, at the history load, whether the programs' files are there; none:
    // asked on the window's thread.
    int probeThreads = 0;
};

// How long closing waits for the desktop's answer to its last sweep.
inline constexpr std::chrono::milliseconds kCloseSweepWait{2000};

}  // namespace tk
