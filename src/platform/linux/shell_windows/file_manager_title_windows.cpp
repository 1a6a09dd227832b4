#include "platform/linux/shell_windows/file_manager_title_windows.h"

#include <sys/stat.h>
#include <utility>

#include <gio/gio.h>

#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/glib/desktop_settings.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/posix/user_folders.h"
#include "platform/linux/shell_windows/file_manager_titles.h"

namespace tk {

namespace {

constexpr std::size_t kMaxConfigBytes = 1u << 20;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableOf(std::int64_t pid) {
    glib::String exe(g_file_read_link(("/proc/" + std::to_string(pid) + "/exe").c_str(), nullptr));
    return exe ? std::string(exe.get()) : std::string();
}

std::string ReadConfig(const std::string& path) {
    std::string text;
    bool missing = false;
    if (!ReadWholeFile(path, text, missing, kMaxConfigBytes).ok || missing) return {};
    return text;
}

}  // namespace

FileManagerTitleWindows::FileManagerTitleWindows(std::unique_ptr<TitledWindowLister> windows,
                                                 std::shared_ptr<DesktopEntryBrowsers> fileManagers)
    : m_windows(std::move(windows)),
      m_fileManagers(fileManagers ? std::move(fileManagers) : DesktopEntryBrowsers::FileManagerIndex()) {}

bool FileManagerTitleWindows::IsFileManagerProgram(const std::string& executable) {
    return m_fileManagers->IsBrowser(executable);
}

ShellWindowsResult FileManagerTitleWindows::List() {
    ShellWindowsResult result;
    if (!m_windows) return result;
    TitledWindowList listed = m_windows->List();
    const std::string home = xdg::HomeDir();
    for (const TitledWindow& window : listed.windows) {
        std::string exe = window.pid > 0 ? ExecutableOf(window.pid) : window.executable;
        if (exe.empty() || !m_fileManagers->IsBrowser(exe)) continue;
        result.programs.push_back(std::move(exe));
        for (const std::string& folder : FolderCandidatesInTitle(window.title, home)) {
            if (!IsFolder(folder)) continue;
            result.windows.push_back({SanitizeUtf8("file://" + folder), true});
            break;
        }
    }
    if (!listed.ok) {
        result.ok = false;
        result.error = listed.error;
    }
    return result;
}

std::string FileManagerTitleWindows::SettingsHint() {
    // Dolphin is the one whose windows can name their folder only when the user asks it to:
    // the others' folders are read from their widgets as well.
    if (!glib::ProgramInstalled("dolphin") ||
        KdeConfigFlag(ReadConfig(xdg::ConfigHome() + "/dolphinrc"), "General", "ShowFullPathInTitlebar")
            .value_or(false)) {
        return {};
    }
    return "要记录 Dolphin 窗口里的文件夹，请让它在标题栏显示完整路径：设置 → 配置 Dolphin → 界面 → "
           "在标题栏显示完整路径。";
}

}  // namespace tk
