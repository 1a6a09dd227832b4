#include "desktop/platform_desktop.h"
#include "desktop/search_result.h"

#include <windows.h>

#include "platform/windows/ansi_text.h"
#include "platform/windows/registry_run_store.h"
#include "platform/windows/shell_file_icons.h"
#include "platform/windows/win32_file_system.h"
#include "platform/windows/win32_shell.h"
#include "platform/windows/win32_shell_windows.h"
#include "platform/windows/win32_window_system.h"

namespace tk {

std::unique_ptr<PathDialect> CreatePlatformPathDialect() { return std::make_unique<WindowsPathDialect>(); }

// The Windows desktop's search has no place for the program's history.
std::unique_ptr<DesktopSearch> OfferDesktopSearch(DesktopSearchHandlers, Diagnostics&) {
    return nullptr;
}

PlatformDesktop CreatePlatformDesktop(Diagnostics& diagnostics) {
    PlatformDesktop desktop;
    desktop.dialect = CreatePlatformPathDialect();
    desktop.files = std::make_unique<Win32FileSystem>();
    desktop.icons = std::make_unique<ShellFileIcons>();
    auto windows = std::make_unique<Win32WindowSystem>();
    windows->SetOwnPid(::GetCurrentProcessId());
    desktop.windows = std::move(windows);
    desktop.shellWindows = std::make_unique<Win32ShellWindows>();
    desktop.shell = std::make_unique<Win32Shell>(diagnostics);
    desktop.autoRun = std::make_unique<MachineOrUserRunStore>();
    return desktop;
}

std::string ExecutablePath() {
    // The module file name as the system reports it, which is what the Run value must hold.
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return win32::AnsiToUtf8(std::string_view(buffer, n));
}

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string PerUserConfigFolder() {
    // The per-user roaming folder, read wide so that no character of the name is lost.
    wchar_t appData[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, appData, static_cast<int>(n), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, appData, static_cast<int>(n), out.data(), size, nullptr,
                          nullptr);
    return out;
}

}  // namespace tk
