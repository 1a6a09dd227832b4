#pragma once

#include <string>
#include <string>
#include <vector>

namespace tk {

// A file-manager or browser window as the shell reports it.
struct ShellWindow {
    std::string locationUrl;  // "file:///" + decoded absolute path, or a web address
    bool hasDocument = true;  // false when the window holds no document yet
};

struct ShellWindowsResult {
    bool ok = true;           // false: the pass failed; what was listed before the failure stays
    std::string error;
    std::vector<ShellWindow> windows;
    // The executables of the programs that showed these windows (the file manager that
    // answered, each browser whose session was read): recorded as their folders and pages,
    // never as programs of their own.
    std::vector<std::string> programs;
};

// The shell's folder and browser windows.
class ShellWindows {
public:
    virtual ~ShellWindows() = default;
    // Every folder and browser window with the location it shows.
    virtual ShellWindowsResult List() = 0;
    // Whether `executable` is a web browser's program: its windows are pages, listed here when
    // they can be read, and it is never recorded as a program, read or not.
    virtual bool IsBrowserProgram(const std::string& executable) {
        (void)executable;
        return false;
    }
    // Whether `executable` is a file manager's program: its windows are folders, listed here
    // when they can be read, and it is never recorded as a program, read or not.
    virtual bool IsFileManagerProgram(const std::string& executable) {
        (void)executable;
        return false;
    }
    // What the user can change so that more folder windows can be read, in Chinese; empty
    // when nothing.
    virtual std::string SettingsHint() { return {}; }
};

}  // namespace tk
