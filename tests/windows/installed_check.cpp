// The installed program as a user meets it: its Start-menu shortcut leads to it and shows its
// icon, it starts, and closing it (yes to the question) leaves its history in
// %APPDATA%\TarvoKelmora, with nothing new beside the program in Program Files.
//
//   tk_installed_check.exe PROGRAM.exe SHORTCUT.lnk
//
// Prints one line per check and ends with 0 when every check held.
#include <objbase.h>
#include <shobjidl.h>

#include "e2e_driver_support.h"

namespace {

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tk_installed_check PROGRAM.exe SHORTCUT.lnk\n");
        return 2;
    }
    const std::wstring program = WindowsPath(argv[1]);
    const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
    wchar_t appData[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    const std::wstring history = std::wstring(appData) + L"\\TarvoKelmora\\defualt.ini";

    // The shortcut: not advertised, straight to the installed file, whose icon it shows.
    ::CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = 0;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(WindowsPath(argv[2]).c_str(), STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    }
    if (file) file->Release();
    if (link) link->Release();
    ::CoUninitialize();
    Check(lstrcmpiW(target, program.c_str()) == 0, "the shortcut opens " + Utf8(program) + " (got " + Utf8(target) + ")");
    const std::wstring iconFile = icon[0] != L'\0' ? icon : target;
    HICON shown = nullptr;
    Check(!iconFile.empty() && ::ExtractIconExW(iconFile.c_str(), iconIndex, &shown, nullptr, 1) >= 1 && shown != nullptr,
          "the shortcut shows the program's icon (from " + Utf8(iconFile) + ")");
    if (shown) ::DestroyIcon(shown);

    ::DeleteFileW(history.c_str());
    const std::vector<std::wstring> before = FolderEntries(folder);
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + program + L"\"";
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info)) {
        Check(false, "installed program started");
        return 1;
    }
    HWND window = nullptr;
    Check(WaitFor([&] { return (window = FindTopLevel(info.dwProcessId, L"TFrmMain", nullptr)) != nullptr && Visible(window); }, 30000),
          "the installed program shows its window");
    ::Sleep(1500);  // past the first run's sweep
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    if (WaitFor([&] { return (question = FindTopLevel(info.dwProcessId, L"#32770", L"提示")) != nullptr; }, 20000)) {
        ::PostMessageW(::GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    }
    DWORD exitCode = 1;
    Check(::WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(info.hProcess, &exitCode) && exitCode == 0,
          "closed with yes, it ends");
    if (::WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) ::TerminateProcess(info.hProcess, 1);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);

    Check(ReadFileBytes(history).find("[default]") != std::string::npos, "its history saved in " + Utf8(history));
    Check(FolderEntries(folder) == before, "nothing new beside the installed program");
    std::printf("%s\n", g_failures == 0 ? "PASSED" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}
