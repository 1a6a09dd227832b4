#include "platform/windows/win32_shell.h"

#include <cstdint>
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/windows/ansi_text.h"

namespace tk {

namespace {

HWND ToHwnd(WindowHandle handle) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
}

// An optional text in the ANSI code page; nothing stays NULL, as the shell tells the two apart.
struct AnsiArg {
    explicit AnsiArg(const std::optional<std::string>& text)
        : present(text.has_value()), bytes(text ? win32::Utf8ToAnsi(*text) : std::string()) {}
    const char* Get() const { return present ? bytes.c_str() : nullptr; }
    bool present;
    std::string bytes;
};

// ShellExecute's and WinExec's small error numbers, in words.
std::string Reason(unsigned long code) {
    switch (code) {
        case 0:
        case SE_ERR_OOM: return "out of memory";
        case SE_ERR_FNF: return "file not found";
        case SE_ERR_PNF: return "path not found";
        case SE_ERR_ACCESSDENIED: return "access denied";
        case ERROR_BAD_FORMAT: return "not a program";
        case SE_ERR_SHARE: return "sharing violation";
        case SE_ERR_ASSOCINCOMPLETE:
        case SE_ERR_NOASSOC: return "no application is associated with it";
        case SE_ERR_DDETIMEOUT:
        case SE_ERR_DDEFAIL:
        case SE_ERR_DDEBUSY: return "the application did not answer";
        case SE_ERR_DLLNOTFOUND: return "a library is missing";
        default: return "error " + std::to_string(code);
    }
}

// The same words reach standard error, as on the other desktop.
ShellResult Refuse(Diagnostics& diagnostics, std::string problem) {
    diagnostics.Warning("launch", problem);
    return ShellResult::Refused(std::move(problem));
}

}  // namespace

ShellResult Win32Shell::Execute(WindowHandle owner, const std::optional<std::string>& verb,
                                const std::string& file,
                                const std::optional<std::string>& parameters,
                                const std::optional<std::string>& directory, int show) {
    const AnsiArg verbArg(verb), fileArg(file), parametersArg(parameters), directoryArg(directory);
    const auto code = reinterpret_cast<std::uintptr_t>(
        ::ShellExecuteA(ToHwnd(owner), verbArg.Get(), fileArg.Get(), parametersArg.Get(),
                        directoryArg.Get(), show));
    if (code > 32) return {};
    const std::string what = parameters && !parameters->empty() ? file + " " + *parameters : file;
    return Refuse(m_diagnostics,
                  "cannot open " + what + ": " + Reason(static_cast<unsigned long>(code)));
}

ShellResult Win32Shell::OpenSpecialFolder(int csidl, WindowHandle owner) {
    SHELLEXECUTEINFOA info{};
    // The real record's size: 60 bytes only in a 32-bit process.
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_IDLIST | SEE_MASK_FLAG_DDEWAIT;
    info.hwnd = ToHwnd(owner);
    info.lpVerb = "open";
    info.nShow = SW_SHOWNORMAL;
    ::SHGetSpecialFolderLocation(info.hwnd, csidl, reinterpret_cast<LPITEMIDLIST*>(&info.lpIDList));

    m_lastRequest = {};
    m_lastRequest.csidl = csidl;
    m_lastRequest.haveItemList = info.lpIDList != nullptr;
    m_lastRequest.mask = info.fMask;
    m_lastRequest.verb = info.lpVerb;
    m_lastRequest.show = info.nShow;
    m_lastRequest.recordSize = info.cbSize;
    // An unknown folder gives no item list; the shell would then open the verb on nothing, and
    // some shells wait on that for good, so the call is left out.
    ShellResult result;
    if (info.lpIDList == nullptr) {
        result = Refuse(m_diagnostics, "no special folder " + std::to_string(csidl));
    } else {
        m_lastRequest.executed = true;
        const bool opened = m_executeExHook != nullptr ? m_executeExHook(m_lastRequest)
                                                       : ::ShellExecuteExA(&info) != FALSE;
        if (!opened) {
            result = Refuse(m_diagnostics, "cannot open special folder " + std::to_string(csidl) +
                                               ": " + Reason(::GetLastError()));
        }
    }
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(info.lpIDList);
        allocator->Release();
    }
    return result;
}

ShellResult Win32Shell::RunControlPanel(const std::string& commandLine, int show) {
    const UINT code = ::WinExec(win32::Utf8ToAnsi(commandLine).c_str(), static_cast<UINT>(show));
    if (code > 31) return {};
    return Refuse(m_diagnostics, "cannot run " + commandLine + ": " + Reason(code));
}

void Win32Shell::MinimizeAll() {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid;
    IDispatch* shell = nullptr;
    if (SUCCEEDED(::CLSIDFromProgID(L"Shell.Application", &clsid)) &&
        SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                     IID_IDispatch, reinterpret_cast<void**>(&shell)))) {
        wchar_t name[] = L"MinimizeAll";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        if (SUCCEEDED(shell->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
            DISPPARAMS none{};
            shell->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                          nullptr, nullptr);
        }
        shell->Release();
    }
    if (SUCCEEDED(init)) ::CoUninitialize();
}

std::string Win32Shell::SystemDirectory() {
    char buffer[255] = {};
    ::GetSystemDirectoryA(buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return win32::AnsiToUtf8(buffer);
}

void Win32Shell::MessageBeep() { ::MessageBeep(MB_ICONASTERISK); }

}  // namespace tk
