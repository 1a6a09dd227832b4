#include "detection/sweep.h"

#include <array>
#include <exception>

#include "base/text.h"

namespace tk {

namespace {

constexpr std::array<std::string_view, 5> kSpecialTitles = {"我的电脑", "网上邻居", "控制面板",
                                                            "性能和维护", "桌面"};
constexpr std::array<std::string_view, 4> kExcludedExecutables = {
    "IEXPLORE.EXE", "TTRAVELER.EXE", "EXPLORER.EXE", "QQ.EXE"};
constexpr std::size_t kMaxWindowText = 128;

// Called inside a catch block: the exception being handled, in words.
std::string CurrentError() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace

void Sweep::ReportFailedPass(FailedPass kind) const {
    static constexpr std::array<const char*, kFailedPassKinds> kNames = {
        "window pass failed: ", "shell pass failed: ", "sweep failed: "};
    const std::string what = CurrentError();
    if (m_failureReported[kind].exchange(true)) return;
    m_diagnostics.Warning("sweep", kNames[kind] + what);
}

Sweep::Sweep(DocRecords& records, const FileSystem& files, WindowSystem& windows,
             ShellWindows& shell, Diagnostics& diagnostics)
    : m_records(records),
      m_files(files),
      m_windows(windows),
      m_shell(shell),
      m_diagnostics(diagnostics) {}

bool Sweep::IsSpecialTitle(std::string_view title) {
    for (auto special : kSpecialTitles) {
        if (title == special) return true;
    }
    return false;
}

bool Sweep::IsExcludedExecutable(std::string_view path) {
    const std::string upper = UpperAscii(TrimView(path));
    for (auto name : kExcludedExecutables) {
        if (Contains(upper, name)) return true;
    }
    return false;
}

bool Sweep::IsDocOpen(std::string_view text) const {
    for (const auto& open : m_openDocs) {
        if (open == text) return true;
    }
    return false;
}

void Sweep::ListWindowProc(const WindowInfo& window, WindowHandle desktop,
                           SweepFindings& findings, std::vector<const WindowInfo*>& rows) const {
    if (!window.visible) return;
    if (window.owner != 0 && window.owner != desktop) return;
    if (window.toolWindow) return;
    std::string_view text = window.text;
    text = text.substr(0, text.find('\0'));
    findings.windowList.emplace_back(std::string(TruncateUtf8(text, kMaxWindowText)),
                                     window.handle);
    rows.push_back(&window);
}

void Sweep::GatherWindows(SweepFindings& findings) const {
    try {
        WindowSnapshot snapshot = m_windows.ListWindows();
        std::vector<const WindowInfo*> listed;
        for (const auto& window : snapshot.windows) {
            ListWindowProc(window, snapshot.desktopWindow, findings, listed);
        }
        if (!snapshot.ok) {
            findings.windowPassOk = false;
            return;
        }
        const FileSystem& files = m_files;
        for (const WindowInfo* window : listed) {
            SweepFindings::Row row;
            std::optional<std::string> path;
            if (window->pid > 0) {
                path = m_windows.ExecutableOfProcess(window->pid);
            } else if (!window->executable.empty()) {
                path = window->executable;
            }
            if (path && !path->empty()) {
                row.isFile = files.FileExists(*path);
                row.exists = row.isFile || files.DirectoryExists(*path);
                row.path = std::move(*path);
                row.started = m_windows.StartedProgramOf(*window, row.path);
                if (row.started && !files.FileExists(row.started->location)) row.started.reset();
                // A browser or file manager is known by its program, or by the entry that
                // starts it where the program is out of sight (a sandboxed one).
                const auto isOne = [this](const std::string& program) {
                    return m_shell.IsBrowserProgram(program) || m_shell.IsFileManagerProgram(program);
                };
                try {
                    row.browser = (row.exists && isOne(row.path)) ||
                                  (row.started && isOne(row.started->location));
                } catch (...) {
                    // Not known for a browser: recorded as any program is.
                }
            }
            findings.rows.push_back(std::move(row));
        }
    } catch (...) {
        // An error ends the window pass only; the rows gathered so far still count.
        findings.windowPassOk = false;
        ReportFailedPass(kWindowPass);
    }
}

void Sweep::ApplyWindows(const SweepFindings& findings) {
    m_windowList = findings.windowList;
    m_openDocs.clear();
    // The gather asked the disk already, off the window's thread; registration takes its word.
    const FileSystem& files = m_files;
    const PathAnswers answers = [&findings, &files](const std::string& path) -> std::optional<bool> {
        for (const SweepFindings::Row& row : findings.rows) {
            if (row.path == path) return row.isFile;
            if (row.started && row.started->location == path) return true;
        }
        return files.FileExists(path);  // a path registration spelled otherwise
    };
    try {
        for (std::size_t row = 0; row < findings.rows.size(); ++row) {
            const SweepFindings::Row& found = findings.rows[row];
            // A launcher found on disk stands for a process whose file this host cannot see
            // (a sandboxed app's).
            if (found.path.empty() || (!found.exists && !found.started)) continue;
            const std::string title = Trim(m_windowList[row].first);
            std::string name;
            std::string location = found.path;
            if (IsSpecialTitle(title)) {
                name = title;
            } else if (IsExcludedExecutable(found.path) || found.browser ||
                       IsShellProgram(found.path, findings)) {
                continue;
            } else if (found.started) {
                // Re-opening starts the launcher, under the name the user starts it by.
                location = found.started->location;
                name = found.started->name;
            } else {
                name = m_records.Dialect().FileNamePart(found.path);
            }
            if (!m_records.DocExists(name)) m_records.AddDoc(location, name, true, false, &answers);
            AddOpenDoc(location);
        }
    } catch (...) {
        // An error ends the window pass only; what was registered stays.
        ReportFailedPass(kWindowPass);
    }
}

bool Sweep::IsShellProgram(const std::string& path, const SweepFindings& findings) {
    for (const auto& program : findings.shell.programs) {
        if (program == path) return true;
    }
    return false;
}

void Sweep::ApplyShell(const SweepFindings& findings) {
    for (const auto& window : findings.shell.windows) {
        if (window.locationUrl.empty() || !window.hasDocument) continue;
        const std::string url = Trim(window.locationUrl);
        m_records.AddDoc(url, url, false, false);
        AddOpenDoc(url);
    }
}

void Sweep::CheckWindowDocs() {
    SweepFindings findings;
    GatherWindows(findings);
    ApplyWindows(findings);
}

bool Sweep::CheckShellDocs() {
    SweepFindings findings;
    findings.shell = m_shell.List();
    ApplyShell(findings);
    return findings.shell.ok;
}

SweepFindings Sweep::Gather() const {
    SweepFindings findings;
    // The shell is asked first: the programs behind its windows are passed over in the window
    // pass, whose entries still come first.
    try {
        findings.shell = m_shell.List();
    } catch (...) {
        findings.shell = {};
        findings.shell.ok = false;
        ReportFailedPass(kShellPass);
    }
    GatherWindows(findings);
    return findings;
}

void Sweep::Apply(const SweepFindings& findings) {
    ApplyWindows(findings);
    try {
        ApplyShell(findings);
    } catch (...) {
        // Everything registered so far is kept.
        ReportFailedPass(kShellPass);
    }
}

void Sweep::CheckOpenDocs() {
    try {
        Apply(Gather());
    } catch (...) {
        // Everything registered so far is kept.
        ReportFailedPass(kWholeSweep);
    }
}

}  // namespace tk
