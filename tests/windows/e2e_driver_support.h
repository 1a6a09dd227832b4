// What the end-to-end driver needs of the program's windows from outside: checks, text in
// code pages, the program's windows and trees read across processes, real input, pictures.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

inline int g_failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromCodePage(const std::string& bytes, UINT codePage, bool* valid = nullptr) {
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (valid) *valid = n > 0;
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string ToCodePage(const std::wstring& wide, UINT codePage) {
    const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < end) {
        if (condition()) return true;
        ::Sleep(50);
    }
    return condition();
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    ::CloseHandle(file);
    return out;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

// ---- the program's windows -----------------------------------------------------------------

struct Found {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* caption;
    HWND hwnd = nullptr;

    // Of the class asked for (ignoring case) and, when one is asked for, with that caption.
    bool Matches(HWND candidate) const {
        wchar_t name[64] = {}, text[256] = {};
        ::GetClassNameW(candidate, name, 64);
        ::GetWindowTextW(candidate, text, 256);
        return lstrcmpiW(name, cls) == 0 && (caption == nullptr || lstrcmpW(text, caption) == 0);
    }
};

HWND FindTopLevel(DWORD pid, const wchar_t* cls, const wchar_t* caption) {
    Found found{pid, cls, caption};
    ::EnumWindows([](HWND hwnd, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner != f->pid) return TRUE;
        if (!f->Matches(hwnd)) return TRUE;
        f->hwnd = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

HWND FindChild(HWND parent, const wchar_t* cls, const wchar_t* caption) {
    Found found{0, cls, caption};
    ::EnumChildWindows(parent, [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        if (!f->Matches(hwnd)) return TRUE;
        f->hwnd = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found.hwnd;
}

// Memory in the program's process, for the messages whose answers point into it.
class Remote {
public:
    Remote(HANDLE process, std::size_t size) : m_process(process), m_size(size) {
        m_address = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~Remote() {
        if (m_address) ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;
    void* Address() const { return m_address; }
    // Hands the memory over for good (a drop is freed by its receiver).
    void* Release() {
        void* a = m_address;
        m_address = nullptr;
        return a;
    }
    bool Write(const void* data, std::size_t size, std::size_t offset = 0) {
        SIZE_T done = 0;
        return ::WriteProcessMemory(m_process, static_cast<char*>(m_address) + offset, data, size, &done) && done == size;
    }
    bool Read(void* data, std::size_t size, std::size_t offset = 0) const {
        SIZE_T done = 0;
        return ::ReadProcessMemory(m_process, static_cast<char*>(m_address) + offset, data, size, &done) && done == size;
    }

private:
    HANDLE m_process;
    std::size_t m_size;
    void* m_address = nullptr;
};

std::wstring ItemText(HANDLE process, HWND tree, HTREEITEM item) {
    Remote memory(process, sizeof(TVITEMW) + 520 * sizeof(wchar_t));
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory.Address()) + sizeof(TVITEMW));
    tv.cchTextMax = 512;
    memory.Write(&tv, sizeof tv);
    if (!::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.Address()))) return {};
    wchar_t text[520] = {};
    memory.Read(text, 512 * sizeof(wchar_t), sizeof(TVITEMW));
    return text;
}

// Whether the control shows the item with an expand button (it asks the program).
bool HasChildren(HANDLE process, HWND tree, HTREEITEM item) {
    Remote memory(process, sizeof(TVITEMW));
    TVITEMW tv{};
    tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = item;
    memory.Write(&tv, sizeof tv);
    if (!::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.Address()))) return false;
    memory.Read(&tv, sizeof tv, 0);
    return tv.cChildren > 0;
}

// The tree as text: one line per item, two blanks of indent per level. Every group is opened
// on the way: its children come into the control when it first opens.
void Walk(HANDLE process, HWND tree, HTREEITEM item, int depth, std::vector<std::string>& out) {
    for (; item != nullptr; item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        out.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + Utf8(ItemText(process, tree, item)));
        if (HasChildren(process, tree, item)) ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        auto child = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        Walk(process, tree, child, depth + 1, out);
    }
}

std::vector<std::string> ReadTree(HANDLE process, HWND tree) {
    std::vector<std::string> out;
    auto root = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    Walk(process, tree, root, 0, out);
    return out;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += "    [" + line + "]\n";
    return out;
}

bool CompareTree(const char* name, const std::vector<std::string>& got, const std::vector<std::string>& expected) {
    const bool same = got == expected;
    Check(same, std::string("tree ") + name + " as the history file builds it");
    if (!same) std::printf("  expected:\n%s  shown:\n%s", Joined(expected).c_str(), Joined(got).c_str());
    return same;
}

HTREEITEM FindItem(HANDLE process, HWND tree, const std::wstring& text) {
    auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (; item; item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        if (ItemText(process, tree, item) == text) return item;
    }
    return nullptr;
}

// A real click of the left button at a point of the screen.
void ClickAt(POINT screen) {
    ::SetCursorPos(screen.x, screen.y);
    ::Sleep(100);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

bool ItemCenter(HANDLE process, HWND tree, HTREEITEM item, POINT& out) {
    Remote memory(process, sizeof(RECT));
    RECT r{};
    *reinterpret_cast<HTREEITEM*>(&r) = item;
    memory.Write(&r, sizeof r);
    if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(memory.Address()))) return false;
    memory.Read(&r, sizeof r);
    out = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return ::ClientToScreen(tree, &out) != FALSE;
}

// Hands `files` to `target` as the shell hands a drop: a DROPFILES block in the receiver's
// memory, which it frees when it is done.
bool DropOn(HANDLE process, HWND target, const std::vector<std::wstring>& files) {
    std::wstring names;
    for (const std::wstring& file : files) names += file + L'\0';
    names += L'\0';
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    const std::size_t size = sizeof header + names.size() * sizeof(wchar_t);
    Remote memory(process, size);
    if (!memory.Write(&header, sizeof header) || !memory.Write(names.data(), names.size() * sizeof(wchar_t), sizeof header)) return false;
    return ::PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory.Release()), 0) != FALSE;
}

void SaveScreenshot(const std::wstring& path) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, dib);
    ::BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(h);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    bytes.append(static_cast<const char*>(bits), stride * static_cast<DWORD>(h));
    Check(WriteFileBytes(path, bytes), "screenshot of the desktop saved");
    ::DeleteObject(dib);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

bool Visible(HWND hwnd) { return ::IsWindowVisible(hwnd) != FALSE; }

int LeftOf(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r.left;
}

// A path from the command line: a Unix path is reached through Wine's Z: drive.
std::wstring WindowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        for (wchar_t& c : path) {
            if (c == L'/') c = L'\\';
        }
        path = L"Z:" + path;
    }
    return path;
}

bool CopyInto(const std::wstring& from, const std::wstring& to) { return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE; }

}  // namespace

namespace {

// A real key press and release, with Shift held when asked.
void PressKey(WORD vk, bool shift = false) {
    std::vector<INPUT> input;
    auto key = [&input](WORD code, bool up) {
        INPUT one{};
        one.type = INPUT_KEYBOARD;
        one.ki.wVk = code;
        one.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        input.push_back(one);
    };
    if (shift) key(VK_SHIFT, false);
    key(vk, false);
    key(vk, true);
    if (shift) key(VK_SHIFT, true);
    ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

// The stacks of `pid`'s threads, printed once, when the program stops answering: under Wine
// the debugger can walk them from outside.
void PrintStacksOnce(DWORD pid) {
    static bool printed = false;
    if (printed) return;
    printed = true;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    PROCESS_INFORMATION debugger{};
    std::wstring command = L"winedbg --command \"bt all\"";
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                          nullptr, &startup, &debugger) != FALSE;
    ::CloseHandle(writeEnd);
    std::string out;
    char chunk[4096];
    for (DWORD n = 0; started && ::ReadFile(readEnd, chunk, sizeof chunk, &n, nullptr) && n > 0;) out.append(chunk, n);
    ::CloseHandle(readEnd);
    if (started) {
        ::WaitForSingleObject(debugger.hProcess, 10000);
        ::CloseHandle(debugger.hThread);
        ::CloseHandle(debugger.hProcess);
    }
    // Only the sections of the program's own threads.
    char mark[64];
    std::snprintf(mark, sizeof mark, " in process %04lx ", static_cast<unsigned long>(pid));
    bool ours = false;
    std::size_t at = 0;
    std::printf("  the program's threads:\n");
    while (at < out.size()) {
        std::size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(at, end - at);
        if (line.rfind("Backtracing for thread", 0) == 0) ours = line.find(mark) != std::string::npos;
        if (ours) std::printf("    %s\n", line.c_str());
        at = end + 1;
    }
}

// The control with the keyboard focus in another process's thread.
HWND FocusOf(DWORD thread) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    return ::GetGUIThreadInfo(thread, &gui) ? gui.hwndFocus : nullptr;
}

std::string TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return Utf8(text);
}

}  // namespace
