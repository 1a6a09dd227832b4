#pragma once

#include <array>
#include <optional>
#include <atomic>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/diagnostics.h"
#include "desktop/shell_windows.h"
#include "desktop/window_system.h"
#include "desktop/file_system.h"
#include "history/doc_records.h"

namespace tk {

// What a sweep found on the desktop, before anything is recorded: gathered where it may be
// slow (window and process queries, file tests, D-Bus, session files), applied to the history
// on the window's thread in the order the desktop gave it.
struct SweepFindings {
    struct Row {
        std::string path;   // the window's executable; empty: none known
        bool exists = false;
        bool isFile = false;  // asked here so that registering it asks the disk no more
        bool browser = false;  // a browser's or file manager's program: its windows count, never itself
        // The program as the user starts it, when that is not `path`: recorded instead.
        std::optional<StartedProgram> started;
    };
    std::vector<std::pair<std::string, WindowHandle>> windowList;
    std::vector<Row> rows;   // one for each entry of windowList, up to where the pass stopped
    bool windowPassOk = true;
    ShellWindowsResult shell;  // not ok, and empty, when the shell pass failed
};

// The detection sweep: programs behind the visible top-level windows, then the folders and
// pages the shell's windows show, each handed to registration.
class Sweep {
public:
    // A pass that ends on an error is reported to `diagnostics`, from whichever thread gathers.
    Sweep(DocRecords& records, const FileSystem& files, WindowSystem& windows, ShellWindows& shell,
          Diagnostics& diagnostics);

    // Both passes; never lets an error out.
    void CheckOpenDocs();
    // The slow half of both passes: asks the desktop only, touches no history, so it may run
    // on another thread while the window goes on. Never lets an error out.
    SweepFindings Gather() const;
    // The other half, on the history's thread: registers what was found, in order.
    void Apply(const SweepFindings& findings);
    // The window pass: an error ends this pass only.
    void CheckWindowDocs();
    // The shell-window pass; false when it ended on an error.
    bool CheckShellDocs();

    void AddOpenDoc(std::string_view text) { m_openDocs.emplace_back(text); }
    // True when the last sweep saw exactly this text open (byte for byte, nothing trimmed).
    bool IsDocOpen(std::string_view text) const;
    const std::vector<std::string>& OpenDocs() const { return m_openDocs; }
    // (text, window) pairs of the last window pass, in enumeration order.
    const std::vector<std::pair<std::string, WindowHandle>>& WindowList() const {
        return m_windowList;
    }

    // The window texts that make a window count whatever its program.
    static bool IsSpecialTitle(std::string_view title);
    // True for the programs whose windows the shell pass covers.
    static bool IsExcludedExecutable(std::string_view path);

private:
    void ListWindowProc(const WindowInfo& window, WindowHandle desktop,
                        SweepFindings& findings, std::vector<const WindowInfo*>& rows) const;
    void GatherWindows(SweepFindings& findings) const;
    // The windows' programs, but for those the shell pass covers (the file manager behind its
    // folder windows, a browser behind its pages).
    void ApplyWindows(const SweepFindings& findings);
    void ApplyShell(const SweepFindings& findings);
    static bool IsShellProgram(const std::string& path, const SweepFindings& findings);

    // A pass that ended on an error is reported once per kind: a desktop that keeps failing
    // would otherwise repeat itself every few seconds. Gather runs on another thread.
    enum FailedPass { kWindowPass, kShellPass, kWholeSweep, kFailedPassKinds };
    void ReportFailedPass(FailedPass kind) const;
    mutable std::array<std::atomic<bool>, kFailedPassKinds> m_failureReported{};

    DocRecords& m_records;
    const FileSystem& m_files;
    WindowSystem& m_windows;
    ShellWindows& m_shell;
    Diagnostics& m_diagnostics;
    std::vector<std::string> m_openDocs;
    std::vector<std::pair<std::string, WindowHandle>> m_windowList;
};

}  // namespace tk
