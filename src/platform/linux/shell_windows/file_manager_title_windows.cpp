#include "platform/linux/shell_windows/file_manager_title_windows.h"

#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <utility>

#include <gio/gio.h>

#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/glib/desktop_settings.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/posix/user_folders.h"
#include "platform/linux/shell_windows/file_manager_titles.h"
#include "platform/linux/x11/x11_client_list.h"
#include "platform/linux/x11/x11_replies.h"

namespace tk {

namespace {

constexpr std::uint32_t kTitleLongs = 1024;  // 4 KiB: the longest title a path is read from
constexpr std::uint32_t kHostLongs = 64;
constexpr std::size_t kMaxConfigBytes = 1u << 20;

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    xcb_generic_error_t* error = nullptr;
    XcbPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), &error));
    XcbPtr<xcb_generic_error_t> owned(error);
    return reply ? reply->atom : XCB_ATOM_NONE;
}

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

FileManagerTitleWindows::FileManagerTitleWindows(std::string displayName,
                                                 DesktopEntryBrowsers::Folders folders)
    : m_displayName(std::move(displayName)),
      m_fileManagers(std::move(folders), DesktopEntryBrowsers::FileManagers()) {}

bool FileManagerTitleWindows::IsFileManagerProgram(const std::string& executable) {
    return m_fileManagers.IsBrowser(executable);
}

bool FileManagerTitleWindows::Connect() {
    if (m_x && !m_x->Broken()) return true;
    std::string error;
    m_x = std::make_unique<XConnection>();
    if (!m_x->Open(m_displayName, error)) {
        m_x.reset();
        return false;
    }
    xcb_connection_t* c = m_x->Get();
    m_netWmName = Intern(c, "_NET_WM_NAME");
    m_utf8String = Intern(c, "UTF8_STRING");
    m_netWmPid = Intern(c, "_NET_WM_PID");
    m_listAtoms = {Intern(c, "_NET_SUPPORTING_WM_CHECK"), Intern(c, "_NET_CLIENT_LIST_STACKING"),
                   Intern(c, "_NET_CLIENT_LIST"), Intern(c, "WM_STATE")};
    return !m_x->Broken();
}

ShellWindowsResult FileManagerTitleWindows::List() {
    ShellWindowsResult result;
    // No X display (a Wayland session without Xwayland, a console): no windows of this kind.
    if (!Connect()) return result;
    xcb_connection_t* c = m_x->Get();
    const std::string host = ThisHostName();
    const std::string home = xdg::HomeDir();
    for (xcb_window_t w : ListClientWindows(c, m_x->Root(), m_listAtoms)) {
        const auto pidCookie = GetProperty(c, w, m_netWmPid, XCB_ATOM_CARDINAL, 1);
        const auto hostCookie = GetProperty(c, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, kHostLongs);
        const auto nameCookie = GetProperty(c, w, m_netWmName, m_utf8String, kTitleLongs);
        xcb_generic_error_t* e1 = nullptr;
        xcb_generic_error_t* e2 = nullptr;
        xcb_generic_error_t* e3 = nullptr;
        XcbPtr<xcb_get_property_reply_t> pid(xcb_get_property_reply(c, pidCookie, &e1));
        XcbPtr<xcb_get_property_reply_t> machine(xcb_get_property_reply(c, hostCookie, &e2));
        XcbPtr<xcb_get_property_reply_t> name(xcb_get_property_reply(c, nameCookie, &e3));
        // A window gone meanwhile answers with errors: it is simply no longer there.
        if (Failed(pid.get(), e1) | Failed(machine.get(), e2) | Failed(name.get(), e3)) continue;
        const std::int64_t processId = ClaimedLocalPid(View(pid.get()), View(machine.get()), host);
        if (processId <= 0) continue;
        std::string exe = ExecutableOf(processId);
        if (exe.empty() || !m_fileManagers.IsBrowser(exe)) continue;
        result.programs.push_back(std::move(exe));
        const auto title = PropertyText(View(name.get()), m_utf8String);
        if (!title) continue;
        for (const std::string& folder : FolderCandidatesInTitle(*title, home)) {
            if (!IsFolder(folder)) continue;
            result.windows.push_back({SanitizeUtf8("file://" + folder), true});
            break;
        }
    }
    if (m_x->Broken()) {
        result.ok = false;
        result.error = "the X connection broke while reading file manager windows";
    }
    return result;
}

std::string FileManagerTitleWindows::SettingsHint() {
    // Each file manager whose windows can name their folder only when the user asks it to.
    std::vector<std::string> steps;
    const std::string config = xdg::ConfigHome();
    if (glib::ProgramInstalled("dolphin") &&
        !KdeConfigFlag(ReadConfig(config + "/dolphinrc"), "General", "ShowFullPathInTitlebar").value_or(false)) {
        steps.push_back("Dolphin：设置 → 配置 Dolphin → 界面 → 在标题栏显示完整路径");
    }
    if (glib::ProgramInstalled("nemo") &&
        !glib::SettingsFlag("org.nemo.preferences", "show-full-path-titles").value_or(true)) {
        steps.push_back("Nemo：编辑 → 首选项 → 显示 → 在标题栏和标签栏显示完整路径");
    }
    if (glib::ProgramInstalled("thunar") &&
        !XfconfChannelFlag(ReadConfig(config + "/xfce4/xfconf/xfce-perchannel-xml/thunar.xml"),
                           "misc-full-path-in-window-title")
             .value_or(false)) {
        steps.push_back("Thunar：编辑 → 首选项 → 显示 → 在窗口标题中显示完整路径");
    }
    if (steps.empty()) return {};
    std::string hint = "要记录文件管理器窗口里的文件夹，请让它在标题栏显示完整路径：";
    for (std::size_t i = 0; i < steps.size(); ++i) hint += (i == 0 ? "" : "；") + steps[i];
    return hint + "。";
}

}  // namespace tk
