#include "detection/sweep.h"

#include <array>

#include "base/text.h"

namespace tk {

namespace {

constexpr std::array<std::string_view, 5> kSpecialTitles = {"我的电脑", "网上邻居", "控制面板",
                                                            "性能和维护", "桌面"};
constexpr std::array<std::string_view, 4> kExcludedExecutables = {
    "IEXPLORE.EXE", "TTRAVELER.EXE", "EXPLORER.EXE", "QQ.EXE"};
constexpr std::size_t kMaxWindowText = 128;

}  // namespace

Sweep::Sweep(HistoryCore& history, WindowSystem& windows, ShellWindows& shell)
    : m_history(history), m_windows(windows), m_shell(shell) {}

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

void Sweep::ListWindowProc(const WindowInfo& window, WindowHandle desktop) {
    if (!window.visible) return;
    if (window.owner != 0 && window.owner != desktop) return;
    if (window.toolWindow) return;
    std::string_view text = window.text;
    text = text.substr(0, text.find('\0'));
    m_windowList.emplace_back(std::string(TruncateUtf8(text, kMaxWindowText)), window.handle);
    m_windowPids.push_back(window.pid);
}

void Sweep::CheckWindowDocs() {
    m_windowList.clear();
    m_windowPids.clear();
    m_openDocs.clear();
    try {
        WindowSnapshot snapshot = m_windows.ListWindows();
        for (const auto& window : snapshot.windows) ListWindowProc(window, snapshot.desktopWindow);
        if (!snapshot.ok) return;
        const std::size_t rows = m_windowList.size();
        for (std::size_t row = 0; row < rows; ++row) {
            const std::int64_t pid = m_windowPids[row];
            if (pid <= 0) continue;
            std::optional<std::string> path = m_windows.ExecutableOfProcess(pid);
            if (!path || path->empty()) continue;
            const std::string title = Trim(m_windowList[row].first);
            const FileSystem& files = m_history.Files();
            if (!files.FileExists(*path) && !files.DirectoryExists(*path)) continue;
            std::string name;
            if (IsSpecialTitle(title)) {
                name = title;
            } else if (IsExcludedExecutable(*path) || IsShellProgram(*path)) {
                continue;
            } else {
                name = m_history.Dialect().FileNamePart(*path);
            }
            if (!m_history.DocExists(name)) m_history.AddDoc(*path, name, true, false);
            AddOpenDoc(*path);
        }
    } catch (...) {
        // An error ends the window pass only; what was registered stays.
    }
}

bool Sweep::CheckShellDocs() { return CheckShellDocs(m_shell.List()); }

bool Sweep::IsShellProgram(const std::string& path) const {
    for (const auto& program : m_shellPrograms) {
        if (program == path) return true;
    }
    return false;
}

bool Sweep::CheckShellDocs(const ShellWindowsResult& result) {
    for (const auto& window : result.windows) {
        if (window.locationUrl.empty() || !window.hasDocument) continue;
        const std::string url = Trim(window.locationUrl);
        m_history.AddDoc(url, url, false, false);
        AddOpenDoc(url);
    }
    return result.ok;
}

void Sweep::CheckOpenDocs() {
    try {
        // The shell is asked first: the programs behind its windows are passed over in the
        // window pass, whose entries still come first.
        ShellWindowsResult shell;
        try {
            shell = m_shell.List();
        } catch (...) {
            shell.ok = false;
        }
        m_shellPrograms = std::move(shell.programs);
        CheckWindowDocs();
        m_shellPrograms.clear();
        CheckShellDocs(shell);
    } catch (...) {
        // The sweep stays silent; everything registered so far is kept.
    }
}

void CbRefreshClick(SettingsWindow& window) {
    window.SetSweepTimerEnabled(window.BoxChecked(SettingsBox::Refresh));
}

void TimerCheckDocsTimer(SettingsWindow& window, Sweep& sweep) {
    if (window.BoxChecked(SettingsBox::Refresh)) sweep.CheckOpenDocs();
}

CheckTimeChange SbCheckTimeChange(int position) {
    return {CheckTimeLabel(position), static_cast<std::uint32_t>(position) * 1000u};
}

}  // namespace tk
