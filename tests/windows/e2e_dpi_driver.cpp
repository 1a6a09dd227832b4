// The real program on a high-DPI desktop: Wine takes the DPI from LogPixels under
// HKCU\Control Panel\Desktop when a process starts, so the value is set before the program
// starts (and put back after). Every part of the window must measure its 96-DPI number
// scaled, the settings and system pages' controls too, and the tree's rows must hold the
// scaled pictures.
//
//   tk_e2e_dpi_driver.exe PROGRAM.exe DPI [SCREENSHOT.bmp]
//
// Prints one line per check and ends with 0 when every check held.
#include "e2e_driver_support.h"

namespace {

// LogPixels as it was, back when the driver ends whatever happened.
class LogPixelsFor {
public:
    explicit LogPixelsFor(DWORD dpi) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &m_key, nullptr);
        DWORD size = sizeof m_old;
        m_had = ::RegQueryValueExW(m_key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&m_old), &size) ==
                ERROR_SUCCESS;
        ::RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~LogPixelsFor() {
        if (m_had) ::RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_old), sizeof m_old);
        else ::RegDeleteValueW(m_key, L"LogPixels");
        ::RegCloseKey(m_key);
    }

private:
    HKEY m_key = nullptr;
    DWORD m_old = 0;
    bool m_had = false;
};

// `hwnd`'s rectangle in `parent`'s client coordinates.
RECT RectIn(HWND hwnd, HWND parent) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Measure(const char* what, int got, int at96, int dpi) {
    const int want = ::MulDiv(at96, dpi, 96);
    std::printf("    %-34s %5d  (96 DPI: %4d, want %4d)\n", what, got, at96, want);
    Check(got == want, std::string(what) + " scaled");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tk_e2e_dpi_driver PROGRAM.exe DPI [SCREENSHOT.bmp]\n");
        return 2;
    }
    // The driver reads the program's windows in real pixels, whatever its own DPI.
    using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")))) {
        set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
    const int dpi = _wtoi(argv[2]);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring app = std::wstring(temp) + L"tk-e2e-dpi";
    ::CreateDirectoryW(app.c_str(), nullptr);
    const std::wstring program = app + L"\\tarvokelmora.exe";
    Check(CopyInto(WindowsPath(argv[1]), program), "program copied");
    const std::wstring ini =
        L"[default]\r\nRunSelectDoc=0\r\nCbRefresh=0\r\nQueryAutoRunDoc=0\r\nActivePageIndex=0\r\n"
        L"CheckDocInterval=30000\r\nwidth=500\r\nheight=480\r\n[docs]\r\n"
        L"path0=file:///C:/windows/system32\r\nname0=file:///C:/windows/system32\r\ndoctype0=3\r\nselected0=0\r\n"
        L"path1=http://example.com/新闻\r\nname1=新闻 - 示例\r\ndoctype1=1\r\nselected1=0\r\n";
    Check(WriteFileBytes(app + L"\\defualt.ini", ToCodePage(ini, 936)), "history written");

    PROCESS_INFORMATION info{};
    {
        LogPixelsFor logPixels(static_cast<DWORD>(dpi));
        STARTUPINFOW startup{sizeof startup};
        std::wstring command = L"\"" + program + L"\"";
        if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, app.c_str(),
                              &startup, &info)) {
            Check(false, "program started");
            return 1;
        }
        ::WaitForInputIdle(info.hProcess, 20000);
        HWND window = nullptr;
        Check(WaitFor([&] { return (window = FindTopLevel(info.dwProcessId, L"TFrmMain", L"TarvoKelmora1.0")) != nullptr && Visible(window); }, 30000),
              "main window shown");
        if (window == nullptr) {
            ::TerminateProcess(info.hProcess, 1);
            return 1;
        }
        ::Sleep(1500);  // the history and the first frame
        std::printf("  at %d DPI:\n", dpi);
        RECT outer{}, client{};
        ::GetWindowRect(window, &outer);
        ::GetClientRect(window, &client);
        Measure("window width", outer.right - outer.left, 500, dpi);
        Measure("window height", outer.bottom - outer.top, 480, dpi);
        HWND strip = FindChild(window, L"TkTabStrip", nullptr);
        HWND hint = ::GetDlgItem(window, 601);  // PnlHint
        HWND splitter = FindChild(window, L"TkSplitter", nullptr);
        HWND web = FindChild(window, L"TkWebStrip", nullptr);
        Check(strip && hint && splitter && web, "tab strip, hint strip, splitter and web strip found");
        if (strip && hint && splitter && web) {
            const RECT s = RectIn(strip, window), h = RectIn(hint, window), p = RectIn(splitter, window),
                       w = RectIn(web, window);
            Measure("frame: left edge", s.left, 10, dpi);
            Measure("frame: top strip", s.top, 13, dpi);
            Measure("frame: right edge", client.right - s.right, 3, dpi);
            Measure("frame: bottom strip", client.bottom - w.bottom, 10, dpi);
            Measure("tab strip height", s.bottom - s.top, 24, dpi);
            Measure("hint strip height", h.bottom - h.top, 19, dpi);
            Measure("splitter height", p.bottom - p.top, 5, dpi);
            Measure("web strip height", w.bottom - w.top, 47, dpi);
        }
        // 刷新 lies at 6, 19 in its group at 7, 29; 我的电脑 at 17, 14, 86 × 25 on its page.
        HWND settings = FindChild(window, L"TkPage", L"设置");
        HWND refresh = settings ? FindChild(settings, L"Button", L"刷新") : nullptr;
        HWND system = FindChild(window, L"TkPage", L"系统");
        HWND computer = system ? ::GetWindow(system, GW_CHILD) : nullptr;
        while (computer && ::GetDlgCtrlID(computer) != 401) computer = ::GetWindow(computer, GW_HWNDNEXT);
        Check(refresh && computer, "刷新 and 我的电脑 found");
        if (refresh && computer) {
            const RECT r = RectIn(refresh, settings), c = RectIn(computer, system);
            Measure("刷新: left on its page", r.left, 13, dpi);
            Measure("刷新: top on its page", r.top, 48, dpi);
            Measure("刷新: height", r.bottom - r.top, 17, dpi);
            Measure("我的电脑: left", c.left, 17, dpi);
            Measure("我的电脑: top", c.top, 14, dpi);
            Measure("我的电脑: width", c.right - c.left, 86, dpi);
            Measure("我的电脑: height", c.bottom - c.top, 25, dpi);
        }
        HWND tree = FindChild(window, WC_TREEVIEWW, L"全部");
        const int rowHeight = tree ? static_cast<int>(::SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0)) : 0;
        const int indent = tree ? static_cast<int>(::SendMessageW(tree, TVM_GETINDENT, 0, 0)) : 0;
        std::printf("    %-34s %5d  (the pictures are %d high)\n", "全部: row height", rowHeight, ::MulDiv(16, dpi, 96));
        Check(rowHeight >= ::MulDiv(16, dpi, 96), "全部's rows hold the scaled pictures");
        Measure("全部: indent", indent, 19, dpi);
        // The about window: its outer size and its close button, as designed at 96 DPI and where
        // the Qt window has it.
        HWND aboutButton = settings ? FindChild(settings, L"Button", L"关于我们") : nullptr;
        if (!aboutButton && system) aboutButton = FindChild(system, L"Button", L"关于我们");
        Check(aboutButton != nullptr, "关于我们 found");
        if (aboutButton) ::PostMessageW(aboutButton, BM_CLICK, 0, 0);
        HWND about = nullptr;
        Check(WaitFor([&] { return (about = FindTopLevel(info.dwProcessId, L"TFrmVersion", L"关于...")) != nullptr && Visible(about); }, 10000),
              "关于... opened");
        if (about) {
            RECT a{};
            ::GetWindowRect(about, &a);
            Measure("关于...: width", a.right - a.left, 388, dpi);
            Measure("关于...: height", a.bottom - a.top, 281, dpi);
            HWND close = FindChild(about, L"Button", L"关闭");
            Check(close != nullptr, "关于...'s 关闭 found");
            if (close) {
                const RECT c = RectIn(close, about);
                Measure("关于...: 关闭 left", c.left, 252, dpi);
                Measure("关于...: 关闭 top", c.top, 205, dpi);
                Measure("关于...: 关闭 width", c.right - c.left, 57, dpi);
            }
        }
        ::Sleep(700);  // painted before the picture is taken
        if (argc > 3) SaveScreenshot(WindowsPath(argv[3]));
        ::TerminateProcess(info.hProcess, 0);
        ::WaitForSingleObject(info.hProcess, 10000);
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    std::printf(g_failures == 0 ? "all checks held\n" : "%d checks failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
