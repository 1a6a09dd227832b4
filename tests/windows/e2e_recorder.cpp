// A program the history can hold: started, it leaves a mark beside itself and ends, so the
// end-to-end test sees that a click on its entry really started it.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring mark(self, n);
    mark = mark.substr(0, mark.find_last_of(L'\\') + 1) + L"recorder-started.txt";
    HANDLE file = ::CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(file, "started\r\n", 9, &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
