#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <set>
#include <string>
#include <vector>

#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/shell.h"
#include "detection/sweep.h"
#include "history/settings.h"

namespace tk::test {

class FakeFileSystem : public FileSystem {
public:
    std::set<std::string> files;
    std::set<std::string> dirs;
    // Called with every path a file test asks about, on the asking thread.
    std::function<void(const std::string&)> onAsk;
    bool FileExists(const std::string& path) const override {
        if (onAsk) onAsk(path);
        return files.count(path) != 0;
    }
    bool DirectoryExists(const std::string& path) const override { return dirs.count(path) != 0; }
    // Files that exist but are no programs.
    std::set<std::string> documents;
    bool IsProgramFile(const std::string& path) const override {
        return files.count(path) != 0 && documents.count(path) == 0;
    }
};

class FakeFileIcons : public FileIcons {
public:
    std::vector<std::string> asked;
    bool fail = false;
    std::optional<FileIcon> IconOf(const std::string& path) override {
        asked.push_back(path);
        if (fail) return std::nullopt;
        FileIcon icon;
        icon.filePath = path;
        return icon;
    }
};

// A desktop whose windows and processes the test sets.
class FakeWindowSystem : public WindowSystem {
public:
    WindowSnapshot snapshot{true, {}, 1, {}};
    std::map<std::int64_t, std::string> executables;
    std::int64_t failOnPid = 0;  // asking for this process throws
    std::vector<std::int64_t> asked;
    // Executable -> the launcher its windows' entry names.
    std::map<std::string, StartedProgram> started;
    WindowSnapshot ListWindows() override { return snapshot; }
    std::optional<StartedProgram> StartedProgramOf(const WindowInfo&,
                                                   const std::string& executable) override {
        auto it = started.find(executable);
        if (it == started.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> ExecutableOfProcess(std::int64_t pid) override {
        asked.push_back(pid);
        if (pid == failOnPid) throw std::runtime_error("process query failed");
        auto it = executables.find(pid);
        if (it == executables.end()) return std::nullopt;
        return it->second;
    }
    void Add(std::int64_t pid, std::string text, std::string exe, bool visible = true,
             WindowHandle owner = 0, bool tool = false) {
        WindowInfo w;
        w.handle = 100 + snapshot.windows.size();
        w.visible = visible;
        w.owner = owner;
        w.toolWindow = tool;
        w.text = std::move(text);
        w.pid = pid;
        snapshot.windows.push_back(w);
        if (!exe.empty()) executables[pid] = std::move(exe);
    }
};

class FakeShellWindows : public ShellWindows {
public:
    ShellWindowsResult result;
    int calls = 0;
    std::vector<std::string> browsers;  // programs the desktop calls web browsers
    ShellWindowsResult List() override {
        ++calls;
        return result;
    }
    bool IsBrowserProgram(const std::string& executable) override {
        return std::find(browsers.begin(), browsers.end(), executable) != browsers.end();
    }
};

// Records every shell request as one line: "Execute(owner,verb,file,params,dir,show)" with
// NULL for an absent text. With `refusal` set, every launch is refused with it, the recorded
// line after it.
class FakeShell : public Shell {
public:
    std::vector<std::string> calls;
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::optional<std::string> refusal;
    static std::string Text(const std::optional<std::string>& s) { return s ? '"' + *s + '"' : "NULL"; }
    ShellResult Execute(WindowHandle owner, const std::optional<std::string>& verb, const std::string& file,
                        const std::optional<std::string>& parameters,
                        const std::optional<std::string>& directory, int show) override {
        return Launch("Execute(" + std::to_string(owner) + "," + Text(verb) + ",\"" + file + "\"," +
                      Text(parameters) + "," + Text(directory) + "," + std::to_string(show) + ")");
    }
    ShellResult OpenSpecialFolder(int csidl, WindowHandle owner) override {
        return Launch("OpenSpecialFolder(" + std::to_string(csidl) + "," + std::to_string(owner) + ")");
    }
    ShellResult RunControlPanel(const std::string& commandLine, int show) override {
        return Launch("RunControlPanel(\"" + commandLine + "\"," + std::to_string(show) + ")");
    }
    ShellResult Launch(std::string call) {
        calls.push_back(call);
        if (!refusal) return {};
        return ShellResult::Refused(*refusal + " " + call);
    }
    void MinimizeAll() override { calls.push_back("MinimizeAll()"); }
    std::string SystemDirectory() override { return systemDirectory; }
    void MessageBeep() override { calls.push_back("MessageBeep()"); }
};

}  // namespace tk::test
