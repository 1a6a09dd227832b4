#include "launch/launcher.h"

#include <algorithm>
#include <iterator>

#include "base/text.h"

namespace tk {

namespace {

constexpr std::string_view kMyComputerParameter = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
constexpr std::string_view kControlPanelCommand = "rundll32.exe   shell32.dll,Control_RunDLL";

}  // namespace

Launcher::Launcher(Shell& shell, const FileSystem& files, const PathDialect& dialect,
                   std::function<void(const std::string&)> showMessage)
    : m_shell(shell), m_files(files), m_dialect(dialect), m_showMessage(std::move(showMessage)) {}

std::string Launcher::MissingPathMessage(std::string_view location) {
    return "本机已不存在此路径:" + std::string(location);
}

LaunchResult Launcher::LaunchDoc(std::string_view location, std::string_view name) {
    if (location.empty()) return {};
    if (name == "我的电脑") {
        return m_shell.Execute(m_mainWindow, "open", "explorer.exe",
                               std::string(kMyComputerParameter), std::nullopt, kSwShow);
    }
    if (name == "桌面") {
        m_shell.MinimizeAll();
        return {};
    }
    if (name == "网上邻居") return OpenSpecialFolder(kCsidlNetwork, 0);
    if (name == "控制面板") {
        return m_shell.RunControlPanel(std::string(kControlPanelCommand), kSwRestore);
    }
    const std::string path(location);
    const std::string extension = m_dialect.Extension(location);
    if (extension.empty()) {
        if (m_files.DirectoryExists(path) ||
            (m_dialect.FilesMayLackExtensions() && m_files.FileExists(path))) {
            return OpenLocation(location);
        }
        if (m_showMessage) m_showMessage(MissingPathMessage(location));
        return {};
    }
    if (extension == ".lnk") return RunFile(location);
    return OpenLocation(location);
}

LaunchResult Launcher::OpenLocation(std::string_view location) {
    const std::string lowered = LowerAscii(location);
    if (m_dialect.NeedsNoWebPrefix(lowered)) {
        if (Contains(lowered, "http:")) {
            return m_shell.Execute(m_mainWindow, "open", "explorer.exe", std::string(location),
                                   std::nullopt, kSwShow);
        }
        return m_shell.Execute(m_mainWindow, "open", std::string(location), std::nullopt,
                               std::nullopt, kSwShow);
    }
    const std::string address = "http://" + std::string(location);
    if (Contains(address, "=")) {
        return m_shell.Execute(m_mainWindow, "open", address, std::nullopt, std::nullopt, kSwShow);
    }
    return m_shell.Execute(m_mainWindow, "open", "explorer.exe", address, std::nullopt, kSwShow);
}

LaunchResult Launcher::OpenWebAddress(std::string_view address) {
    std::string full(address);
    if (!Contains(full, "http://")) full = "http://" + full;
    return m_shell.Execute(m_mainWindow, "open", "Explorer.exe", full, std::nullopt,
                           kSwShowNormal);
}

LaunchResult Launcher::OpenStoredDoc(std::string_view location, int docType) {
    if (docType == kDocTypeProgram) return RunRecordedProgram(location);
    if (docType != kDocTypeWebPage) return OpenLocation(location);
    // The history may come from anywhere: a page is only ever the address of a place.
    if (!IsWebPageAddress(location)) return NotAPage(location);
    const std::size_t scheme = location.find("://");
    if (LowerAscii(location.substr(0, scheme)) != "http") {
        return m_shell.Execute(m_mainWindow, "open", "Explorer.exe", std::string(location),
                               std::nullopt, kSwShowNormal);
    }
    return OpenWebAddress(location);
}

LaunchResult Launcher::OpenRecordedPage(std::string_view address) {
    if (!IsWebPageAddress(address)) return NotAPage(address);
    // The tree shows an http page without its scheme, and that text always took the colon-free
    // road: an address with "=" (a query) goes to the shell itself, not to Explorer.
    const std::size_t scheme = address.find("://");
    if (LowerAscii(address.substr(0, scheme)) == "http" && Contains(address, "=")) {
        return m_shell.Execute(m_mainWindow, "open", std::string(address), std::nullopt,
                               std::nullopt, kSwShow);
    }
    return OpenLocation(address);
}

LaunchResult Launcher::EnterOnRecordedPage(std::string_view address) {
    if (!IsWebPageAddress(address)) return NotAPage(address);
    return OpenLocation(address);
}

LaunchResult Launcher::RunRecordedProgram(std::string_view path) {
    const std::string file(TrimView(path));
    const bool specialName = file == "我的电脑" || file == "桌面" || file == "网上邻居" || file == "控制面板";
    if (!specialName && !m_files.IsProgramFile(file)) {
        return LaunchResult::Refused("不是可执行程序，未运行：" + std::string(path));
    }
    return LaunchDoc(path, path);
}

LaunchResult Launcher::NotAPage(std::string_view address) {
    return LaunchResult::Refused("不是网页地址：" + std::string(address.substr(0, 300)));
}

bool Launcher::IsWebPageAddress(std::string_view address) {
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == '\\') return false;
    }
    const std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos) return false;
    // Places a browser or a file manager shows and the sweep records as pages; never a scheme
    // that acts (mail, calls, custom handlers).
    static constexpr std::string_view kPlaces[] = {"http", "https", "ftp", "ftps", "sftp", "smb", "dav", "davs"};
    const std::string name = LowerAscii(address.substr(0, scheme));
    if (std::find(std::begin(kPlaces), std::end(kPlaces), name) == std::end(kPlaces)) return false;
    const std::string_view rest = address.substr(scheme + 3);
    return !rest.empty() && rest.front() != '/';
}

LaunchResult Launcher::RunFile(std::string_view fileName) {
    return m_shell.Execute(m_mainWindow, std::nullopt, std::string(fileName), std::nullopt,
                           std::nullopt, kSwShowNormal);
}

LaunchResult Launcher::LaunchCurDoc(std::string_view text) {
    if (text.empty()) return {};
    const std::string lowered = LowerAscii(text);
    if (m_dialect.IsLocalPath(lowered)) return OpenLocation(text);
    if (Contains(lowered, ":")) {
        if (Contains(lowered, "http://")) return OpenWebAddress(text);
        return OpenLocation(text);
    }
    return OpenWebAddress(text);
}

LaunchResult Launcher::OpenSpecialFolder(int csidl, WindowHandle owner) {
    return m_shell.OpenSpecialFolder(csidl, owner);
}

std::string Launcher::GetSystemDir() {
    std::string dir = m_shell.SystemDirectory();
    return dir.substr(0, dir.find('\0'));
}

LaunchResult Launcher::OpenSystemDirectory() { return OpenLocation(GetSystemDir()); }

LaunchResult Launcher::OpenTaskManager() {
    return m_shell.Execute(0, "open", "taskmgr", std::string(), std::string(), kSwShowNormal);
}

}  // namespace tk
