// Drives the real tarvokelmora.exe from outside, as a user would, through Win32 messages to its
// windows: the trees read back across processes, a click that starts a program, the tray icon's
// click and the slide, a second start, a drop on the 文件夹 tree, the close question answered
// yes, and the history file as it was saved.
//
//   tk_e2e_driver.exe PROGRAM.exe RECORDER.exe [SCREENSHOT.bmp]
//
// Works in a folder of its own under the temporary folder; paths may be given as Unix paths.
//
// Prints one line per check and ends with 0 when every check held.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_failures = 0;

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

// The tree as text: one line per item, two blanks of indent per level.
void Walk(HANDLE process, HWND tree, HTREEITEM item, int depth, std::vector<std::string>& out) {
    for (; item != nullptr; item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        out.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + Utf8(ItemText(process, tree, item)));
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

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tk_e2e_driver PROGRAM.exe RECORDER.exe [SCREENSHOT.bmp]\n");
        return 2;
    }
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring work = std::wstring(temp) + L"tk-e2e";
    const std::wstring app = work + L"\\程序";
    const std::wstring dropFolder = work + L"\\拖放的文件夹";
    const std::wstring dropFile = work + L"\\拖放的文档.txt";
    ::CreateDirectoryW(work.c_str(), nullptr);
    ::CreateDirectoryW(app.c_str(), nullptr);
    ::CreateDirectoryW(dropFolder.c_str(), nullptr);
    WriteFileBytes(dropFile, "text\r\n");
    const std::wstring program = app + L"\\tarvokelmora.exe";
    const std::wstring recorder = app + L"\\记录程序.exe";
    Check(CopyInto(WindowsPath(argv[1]), program) && CopyInto(WindowsPath(argv[2]), recorder), "program and recorder copied, nothing beside them");
    ::DeleteFileW((app + L"\\recorder-started.txt").c_str());
    // The file carries the program's icon, the one Explorer and the taskbar show for it.
    {
        HMODULE image = ::LoadLibraryExW(program.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        HICON icon = image ? static_cast<HICON>(::LoadImageW(image, L"MAINICON", IMAGE_ICON, 32, 32, 0))
                           : nullptr;
        Check(icon != nullptr, "the program file carries its icon, readable at 32 x 32");
        Check(::ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0) >= 1, "the shell finds the file's icon");
        if (icon != nullptr) ::DestroyIcon(icon);
        if (image != nullptr) ::FreeLibrary(image);
    }

    // A history as the Windows program writes it: GBK, CRLF, with a section nothing reads and
    // one this program does not know.
    const std::wstring history = app + L"\\defualt.ini";
    const std::wstring ini =
        L"[default]\r\nRunSelectDoc=0\r\nCbRefresh=0\r\nQueryAutoRunDoc=0\r\nActivePageIndex=0\r\n"
        L"CheckDocInterval=30000\r\nwidth=500\r\nheight=480\r\n"
        L"[display]\r\npath0=C:\\报告\r\ndisplay0=旧的报告\r\n"
        L"[docs]\r\n"
        L"path0=" + recorder + L"\r\nname0=记录程序.exe\r\ndoctype0=2\r\nselected0=0\r\n"
        L"path1=file:///C:/windows/system32\r\nname1=file:///C:/windows/system32\r\ndoctype1=3\r\nselected1=0\r\n"
        L"path2=http://example.com/新闻\r\nname2=新闻 - 示例\r\ndoctype2=1\r\nselected2=0\r\n"
        L"path3=http://example.com/体育\r\nname3=体育 - 示例\r\ndoctype3=1\r\nselected3=1\r\n"
        L"[其他程序]\r\n键=值\r\n";
    Check(WriteFileBytes(history, ToCodePage(ini, 936)), "GBK history written beside the program");

    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + program + L"\"";
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, app.c_str(), &startup, &info)) {
        Check(false, "program started");
        return 1;
    }
    HWND window = nullptr;
    Check(WaitFor([&] { return (window = FindTopLevel(info.dwProcessId, L"TFrmMain", L"TarvoKelmora1.0")) != nullptr && Visible(window); }, 30000),
          "main window TFrmMain \"TarvoKelmora1.0\" shown");
    if (window == nullptr) {
        ::TerminateProcess(info.hProcess, 1);
        return 1;
    }
    HWND trees[4] = {FindChild(window, WC_TREEVIEWW, L"全部"), FindChild(window, WC_TREEVIEWW, L"软件"),
                     FindChild(window, WC_TREEVIEWW, L"文件夹"), FindChild(window, WC_TREEVIEWW, L"网页")};
    Check(trees[0] && trees[1] && trees[2] && trees[3], "the four trees 全部 软件 文件夹 网页 found");
    HWND strip = FindChild(window, L"TkTabStrip", nullptr);
    Check(strip != nullptr && FindChild(window, L"TkWebStrip", nullptr) != nullptr &&
              FindChild(window, L"SCROLLBAR", L"刷新间隔(秒)") != nullptr &&
              FindChild(window, L"Button", L"窗体总在最上方") != nullptr &&
              FindChild(window, L"Button", L"更多...") != nullptr,
          "tab strip, web strip, settings and system controls present");
    RECT outer{};
    ::GetWindowRect(window, &outer);
    Check(outer.right - outer.left == 500 && outer.bottom - outer.top == 480, "window opens 500 x 480");
    Check(outer.right == ::GetSystemMetrics(SM_CXSCREEN) - 30 && outer.bottom == ::GetSystemMetrics(SM_CYSCREEN) - 40,
          "window placed 30 from the right and 40 above the bottom");

    // The stored history comes after the first frame.
    WaitFor([&] { return ::SendMessageW(trees[0], TVM_GETCOUNT, 0, 0) >= 6; }, 30000);
    ::Sleep(500);
    const std::string recorderName = "记录程序.exe";
    CompareTree("全部", ReadTree(info.hProcess, trees[0]),
                {"example.com", "  example.com/新闻", "  example.com/体育", "C:\\windows", "  C:\\windows\\system32",
                 recorderName});
    CompareTree("软件", ReadTree(info.hProcess, trees[1]), {recorderName});
    CompareTree("文件夹", ReadTree(info.hProcess, trees[2]), {"C:\\windows", "  C:\\windows\\system32"});
    CompareTree("网页", ReadTree(info.hProcess, trees[3]), {"example.com", "  example.com/新闻", "  example.com/体育"});
    if (argc > 3) SaveScreenshot(WindowsPath(argv[3]));

    // On 全部 a click picks an entry and shows it in the hint strip; the next click opens it.
    POINT at{};
    HTREEITEM entry = FindItem(info.hProcess, trees[0], L"记录程序.exe");
    Check(entry && ItemCenter(info.hProcess, trees[0], entry, at), "program entry located on screen");
    ::SetForegroundWindow(window);
    ClickAt(at);
    HWND hint = ::FindWindowExW(window, nullptr, L"Static", nullptr);  // PnlHint, the one text strip
    wchar_t hintText[512] = {};
    Check(WaitFor([&] {
              ::GetWindowTextW(hint, hintText, 512);
              return std::wstring(hintText) == recorder;
          }, 10000),
          "the first click shows the entry in the hint strip");
    Check(::GetFileAttributesW((app + L"\\recorder-started.txt").c_str()) == INVALID_FILE_ATTRIBUTES,
          "the first click opens nothing");
    ::Sleep(::GetDoubleClickTime() + 300);
    ClickAt(at);
    Check(WaitFor([&] { return ::GetFileAttributesW((app + L"\\recorder-started.txt").c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000),
          "a click on the program entry started the program");

    // The tray icon's left button slides the window out and hides it, then brings it back.
    std::vector<int> lefts;
    ::PostMessageW(window, WM_USER + 1, 0, WM_LBUTTONDOWN);
    Check(WaitFor([&] {
              const int left = LeftOf(window);
              if (lefts.empty() || lefts.back() != left) lefts.push_back(left);
              return !Visible(window);
          }, 20000),
          "tray click: the window slid out and hid");
    Check(lefts.size() >= 3, "tray click: the window moved in steps (" + std::to_string(lefts.size()) + " places)");

    // A second start while the window is away brings it in, and ends.
    PROCESS_INFORMATION second{};
    STARTUPINFOW secondStartup{sizeof secondStartup};
    std::wstring secondCommand = command;
    if (::CreateProcessW(program.c_str(), secondCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, app.c_str(), &secondStartup, &second)) {
        DWORD code = 1;
        Check(::WaitForSingleObject(second.hProcess, 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(second.hProcess, &code) && code == 0,
              "a second start for the same history ended at once");
        ::CloseHandle(second.hThread);
        ::CloseHandle(second.hProcess);
    } else {
        Check(false, "second start");
    }
    Check(WaitFor([&] { return Visible(window) && outer.left == LeftOf(window); }, 20000) || Visible(window),
          "the second start brought the first window in");
    // The tray's left button again: the window slides out and back, in steps.
    ::PostMessageW(window, WM_USER + 1, 0, WM_LBUTTONDOWN);
    WaitFor([&] { return !Visible(window); }, 20000);
    lefts.clear();
    ::PostMessageW(window, WM_USER + 1, 0, WM_LBUTTONDOWN);
    ULONGLONG still = 0;
    Check(WaitFor([&] {
              const int left = LeftOf(window);
              if (!Visible(window)) return false;
              if (lefts.empty() || lefts.back() != left) {
                  lefts.push_back(left);
                  still = ::GetTickCount64();
              }
              return lefts.size() >= 3 && ::GetTickCount64() - still > 500;
          }, 20000),
          "tray click: the window slid back in");
    RECT back{};
    ::GetWindowRect(window, &back);
    Check(back.right <= ::GetSystemMetrics(SM_CXSCREEN), "tray click: the window is whole on the screen again");
    ::Sleep(300);

    // Files dropped on the 文件夹 tree are recorded.
    RECT stripRect{};
    ::GetClientRect(strip, &stripRect);
    ::PostMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 10));
    ::PostMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(150, 10));
    Check(WaitFor([&] { return Visible(trees[2]); }, 10000), "the 文件夹 tab shows its tree");
    Check(DropOn(info.hProcess, trees[2], {dropFolder, dropFile}), "a folder and a file dropped on the 文件夹 tree");
    const std::wstring dropLeaf = dropFolder;
    Check(WaitFor([&] {
              for (const std::string& line : ReadTree(info.hProcess, trees[2])) {
                  if (line.find(Utf8(dropLeaf)) != std::string::npos) return true;
              }
              return false;
          }, 10000),
          "the dropped folder shows in the 文件夹 tree");

    // The settings page: 窗体总在最上方 keeps the window on top; the interval bar's step is
    // shown in its label and saved.
    ::PostMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(330, 10));
    HWND onTop = FindChild(window, L"Button", L"窗体总在最上方");
    HWND bar = FindChild(window, L"SCROLLBAR", L"刷新间隔(秒)");
    Check(WaitFor([&] { return Visible(onTop) && Visible(bar); }, 10000), "the 设置 tab shows its controls");
    ::PostMessageW(onTop, BM_CLICK, 0, 0);
    Check(WaitFor([&] { return (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 10000),
          "窗体总在最上方 keeps the window on top");
    ::PostMessageW(onTop, BM_CLICK, 0, 0);
    Check(WaitFor([&] { return (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }, 10000),
          "unticked, the window is an ordinary one again");
    ::PostMessageW(::GetParent(bar), WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
    Check(WaitFor([&] { return FindChild(window, L"Static", L"每31秒刷新一次") != nullptr; }, 10000),
          "a step of the interval bar reads 每31秒刷新一次");

    // A log-off asks the same question; no refuses it and the program goes on.
    std::thread answerNo([&] {
        HWND asked = nullptr;
        if (WaitFor([&] { return (asked = FindTopLevel(info.dwProcessId, L"#32770", L"提示")) != nullptr; }, 20000)) {
            ::PostMessageW(::GetDlgItem(asked, IDNO), BM_CLICK, 0, 0);
        }
    });
    DWORD_PTR allowed = 1;
    const LRESULT answered = ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &allowed);
    answerNo.join();
    Check(answered != 0 && allowed == FALSE, "log-off: the question answered no refuses the log-off");
    Check(::WaitForSingleObject(info.hProcess, 500) == WAIT_TIMEOUT && Visible(window), "log-off refused: the program goes on");
    WaitFor([&] { return FindTopLevel(info.dwProcessId, L"#32770", L"提示") == nullptr; }, 5000);

    // Closing asks; yes ends the program and saves.
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    Check(WaitFor([&] { return (question = FindTopLevel(info.dwProcessId, L"#32770", L"提示")) != nullptr; }, 20000),
          "closing asks the question 提示");
    if (question) {
        Check(FindChild(question, L"Static", L"要退出系统吗?") != nullptr, "the question reads 要退出系统吗?");
        HWND yes = ::GetDlgItem(question, IDYES);
        Check(yes != nullptr, "the question has a yes button");
        ::PostMessageW(yes, BM_CLICK, 0, 0);
    }
    DWORD exitCode = 1;
    Check(::WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(info.hProcess, &exitCode) && exitCode == 0,
          "the program ended after yes");
    if (::WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) ::TerminateProcess(info.hProcess, 1);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);

    const std::string saved = ReadFileBytes(history);
    bool valid = false;
    const std::wstring text = FromCodePage(saved, 936, &valid);
    bool utf8 = false;
    FromCodePage(saved, CP_UTF8, &utf8);
    Check(valid && !utf8, "saved in GBK, not UTF-8");
    bool crlf = !saved.empty();
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i] == '\n' && (i == 0 || saved[i - 1] != '\r')) crlf = false;
    }
    Check(crlf, "every line ends in CRLF");
    auto has = [&text](const std::wstring& piece) { return text.find(piece) != std::wstring::npos; };
    Check(has(L"[display]\r\npath0=C:\\报告\r\ndisplay0=旧的报告\r\n") && has(L"[其他程序]\r\n键=值\r\n"),
          "foreign sections kept as they were");
    Check(has(L"=" + recorder + L"\r\n") && has(L"=http://example.com/新闻\r\n") && has(L"=新闻 - 示例\r\n"),
          "stored entries written back");
    Check(has(L"=" + dropFolder + L"\r\n") && has(L"=" + dropFile + L"\r\n"), "dropped folder and file saved");
    Check(has(L"selected3=1\r\n"), "the start-up mark kept");
    Check(has(L"CheckDocInterval=31000\r\n") && has(L"ActivePageIndex=5\r\n"), "the interval and the last tab saved");
    if (g_failures != 0) std::printf("saved file:\n%s\n", Utf8(text).c_str());
    std::printf("%s\n", g_failures == 0 ? "PASSED" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}
