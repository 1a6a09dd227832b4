#include "platform/windows/win32_window_system.h"

#include <cstdint>
#include <windows.h>

#include "platform/windows/ansi_text.h"

namespace tk {

namespace {

using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExAFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

constexpr int kTextBufferSize = 129;       // 128 bytes of text and the NUL
constexpr int kModuleNameBufferSize = 256;
// A window whose thread does not answer is listed without text rather than stalling the sweep.
constexpr UINT kGetTextTimeoutMs = 500;

WindowHandle ToHandle(HWND hwnd) {
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(hwnd));
}

struct EnumContext {
    HWND desktop;
    std::int64_t ownPid;
    std::vector<WindowInfo>* windows;
};

BOOL CALLBACK ListWindowProc(HWND hwnd, LPARAM param) {
    auto& context = *reinterpret_cast<EnumContext*>(param);
    WindowInfo info;
    info.handle = ToHandle(hwnd);
    info.visible = ::IsWindowVisible(hwnd) != FALSE;
    // The Ptr forms: on 64-bit Windows a handle does not fit the 32-bit GetWindowLongA result.
    info.owner = static_cast<WindowHandle>(::GetWindowLongPtrA(hwnd, GWLP_HWNDPARENT));
    info.toolWindow = (::GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
    // Text and process only for the windows the sweep keeps: a message to every hidden window
    // of the session would cost the most and tell nothing.
    const bool listed = info.visible &&
                        (info.owner == 0 || info.owner == ToHandle(context.desktop)) &&
                        !info.toolWindow;
    if (listed) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        info.pid = pid;
        // The program's own windows are passed over before any message: the sweep never waits
        // on its own window's thread for a text it would drop.
        if (context.ownPid != 0 && info.pid == context.ownPid) return TRUE;
        char text[kTextBufferSize] = {};
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutA(hwnd, WM_GETTEXT, kTextBufferSize, reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG | SMTO_BLOCK, kGetTextTimeoutMs, &copied);
        text[kTextBufferSize - 1] = '\0';
        info.text = win32::AnsiToUtf8(text);
    }
    context.windows->push_back(std::move(info));
    return TRUE;  // never stop early
}

}  // namespace

PsapiLibrary::PsapiLibrary(std::string fileName) : m_fileName(std::move(fileName)) {}

PsapiLibrary::~PsapiLibrary() {
    if (m_module != nullptr) ::FreeLibrary(m_module);
}

bool PsapiLibrary::EnsureLoaded() {
    if (m_module != nullptr) return true;
    ++m_loadAttempts;
    HMODULE module = ::LoadLibraryA(m_fileName.c_str());
    // As the old convention has it, anything below 32 is an error code, not a module.
    if (reinterpret_cast<std::uintptr_t>(module) < 32) return false;
    m_enumProcessModules = reinterpret_cast<void*>(::GetProcAddress(module, "EnumProcessModules"));
    m_getModuleFileNameExA =
        reinterpret_cast<void*>(::GetProcAddress(module, "GetModuleFileNameExA"));
    m_module = module;
    return true;
}

std::optional<std::string> PsapiLibrary::FirstModuleFileName(void* process) {
    if (!EnsureLoaded() || m_enumProcessModules == nullptr || m_getModuleFileNameExA == nullptr) {
        return std::nullopt;
    }
    auto enumModules = reinterpret_cast<EnumProcessModulesFn>(m_enumProcessModules);
    auto moduleFileName = reinterpret_cast<GetModuleFileNameExAFn>(m_getModuleFileNameExA);
    HMODULE first = nullptr;
    DWORD needed = 0;
    // Room for exactly one module handle, whatever size a handle has here.
    if (!enumModules(process, &first, sizeof first, &needed)) return std::nullopt;
    char path[kModuleNameBufferSize] = {};
    if (moduleFileName(process, first, path, kModuleNameBufferSize) == 0) return std::nullopt;
    path[kModuleNameBufferSize - 1] = '\0';
    return std::string(path);
}

Win32WindowSystem::Win32WindowSystem(std::string psapiFileName)
    : m_psapi(std::move(psapiFileName)) {}

WindowSnapshot Win32WindowSystem::ListWindows() {
    WindowSnapshot snapshot;
    HWND desktop = ::GetDesktopWindow();
    snapshot.desktopWindow = ToHandle(desktop);
    EnumContext context{desktop, m_ownPid, &snapshot.windows};
    snapshot.ok = ::EnumWindows(ListWindowProc, reinterpret_cast<LPARAM>(&context)) != FALSE;
    if (!snapshot.ok) snapshot.error = "EnumWindows failed: " + std::to_string(::GetLastError());
    return snapshot;
}

std::optional<std::string> Win32WindowSystem::ExecutableOfProcess(std::int64_t pid) {
    if (pid <= 0 || pid > static_cast<std::int64_t>(MAXDWORD)) return std::nullopt;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                   static_cast<DWORD>(pid));
    if (process == nullptr) return std::nullopt;
    std::optional<std::string> path = m_psapi.FirstModuleFileName(process);
    ::CloseHandle(process);
    if (!path) return std::nullopt;
    return win32::AnsiToUtf8(*path);
}

}  // namespace tk
