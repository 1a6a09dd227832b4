#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "desktop/window_system.h"

namespace tk {

// Show commands as the launch requests carry them.
enum ShowCommand : int {
    kSwShowNormal = 1,
    kSwShow = 5,
    kSwRestore = 9,
};

// Special-folder identifiers, as the shell numbers them.
enum Csidl : int {
    kCsidlDesktop = 0x00,
    kCsidlPrograms = 0x02,
    kCsidlControls = 0x03,
    kCsidlPrinters = 0x04,
    kCsidlPersonal = 0x05,
    kCsidlFavorites = 0x06,
    kCsidlStartup = 0x07,
    kCsidlSendTo = 0x09,
    kCsidlBitBucket = 0x0A,
    kCsidlStartMenu = 0x0B,
    kCsidlDesktopDirectory = 0x10,
    kCsidlDrives = 0x11,
    kCsidlNetwork = 0x12,
    kCsidlNetHood = 0x13,
    kCsidlFonts = 0x14,
    kCsidlCommonStartMenu = 0x16,
    kCsidlCommonPrograms = 0x17,
    kCsidlCommonStartup = 0x18,
    kCsidlCommonDesktopDirectory = 0x19,
    kCsidlPrintHood = 0x1B,
    kCsidlCommonFavorites = 0x1F,
    kCsidlInternetCache = 0x20,
    kCsidlCookies = 0x21,
    kCsidlHistory = 0x22,
    kCsidlProgramFiles = 0x26,
    kCsidlCommonDocuments = 0x2E,
};

// What became of one launch. A refusal carries the reason in words a person can read (the
// same text the backend logs), so the window can say why nothing opened.
struct ShellResult {
    bool ok = true;
    std::string problem;
    static ShellResult Refused(std::string problem) { return {false, std::move(problem)}; }
};

// The shell: every launch the program makes. Texts are data, never code: no backend passes
// them through a command interpreter or lets them become options of the program it starts.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens `file` with `verb` (none: the file's default action), as ShellExecute takes it;
    // not ok when nothing could be started.
    virtual ShellResult Execute(WindowHandle owner, const std::optional<std::string>& verb,
                                const std::string& file,
                                const std::optional<std::string>& parameters,
                                const std::optional<std::string>& directory, int show) = 0;
    // Opens a special folder by its identifier.
    virtual ShellResult OpenSpecialFolder(int csidl, WindowHandle owner) = 0;
    // Runs the control-panel command line.
    virtual ShellResult RunControlPanel(const std::string& commandLine, int show) = 0;
    // Minimises every window, showing the desktop.
    virtual void MinimizeAll() = 0;
    // The system's own program folder.
    virtual std::string SystemDirectory() = 0;
    // The default sound for a refused action.
    virtual void MessageBeep() = 0;
};

}  // namespace tk
