#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop/shell_windows.h"
#include "desktop/window_system.h"
#include "history/history.h"
#include "history/settings.h"

namespace tk {

// The detection sweep: programs behind the visible top-level windows, then the folders and
// pages the shell's windows show, each handed to AddDoc. Owned by the main window.
class Sweep {
public:
    Sweep(HistoryCore& history, WindowSystem& windows, ShellWindows& shell);

    // Both passes; never lets an error out.
    void CheckOpenDocs();
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
    void ListWindowProc(const WindowInfo& window, WindowHandle desktop);
    bool CheckShellDocs(const ShellWindowsResult& result);
    bool IsShellProgram(const std::string& path) const;

    HistoryCore& m_history;
    WindowSystem& m_windows;
    ShellWindows& m_shell;
    std::vector<std::string> m_openDocs;
    std::vector<std::pair<std::string, WindowHandle>> m_windowList;
    std::vector<std::int64_t> m_windowPids;
    std::vector<std::string> m_shellPrograms;  // during a sweep's window pass
};

// ---- the settings widgets of the sweep, as rules the window follows

// CbRefreshClick: the sweep timer runs exactly when the box is checked.
void CbRefreshClick(SettingsWindow& window);
// TimerCheckDocsTimer: sweeps only while the box is checked.
void TimerCheckDocsTimer(SettingsWindow& window, Sweep& sweep);
// SbCheckTimeChange's result for a scroll-bar position: the label and the interval.
struct CheckTimeChange {
    std::string label;
    std::uint32_t interval;
};
CheckTimeChange SbCheckTimeChange(int position);

}  // namespace tk
