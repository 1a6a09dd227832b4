// Drives the real tarvokelmora.exe from outside, as a user would, through Win32 messages to its
// windows: the trees read back across processes, a click that starts a program, the tray icon's
// click and the slide, a second start, a drop on the 文件夹 tree, the settings page from the
// keyboard, the about window never recorded, the close question answered yes, and the history
// file as it was saved.
//
//   tk_e2e_driver.exe PROGRAM.exe RECORDER.exe [SCREENSHOT.bmp]
//
// Works in a folder of its own under the temporary folder; paths may be given as Unix paths.
//
// Prints one line per check and ends with 0 when every check held.
#include <thread>

#include "e2e_driver_support.h"

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
    Check(WaitFor([&] { return ::IsChild(window, FocusOf(info.dwThreadId)) != FALSE; }, 5000),
          "after the slide-in the keyboard is in the window");
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

    // The keyboard as in any dialog: from the tab strip, Tab walks the settings page as it reads,
    // Shift+Tab walks back; Space ticks a box, the arrows and Home move the interval bar, and
    // Space on 关于我们 opens the about window.
    POINT tabAt{330, 10};
    ::ClientToScreen(strip, &tabAt);
    ClickAt(tabAt);
    Check(WaitFor([&] { return FocusOf(info.dwThreadId) == strip; }, 10000), "a click on the tab strip focuses it");
    // Where the keyboard is, for a failure's message: the focus's class and text, and the
    // foreground window's.
    auto whereKeys = [&] {
        HWND focus = FocusOf(info.dwThreadId);
        wchar_t cls[64] = {}, fgCls[64] = {};
        ::GetClassNameW(focus, cls, 64);
        HWND fg = ::GetForegroundWindow();
        ::GetClassNameW(fg, fgCls, 64);
        std::printf("  focus: %s \"%s\"; foreground: %s \"%s\"\n", Utf8(cls).c_str(), TextOf(focus).c_str(),
                    Utf8(fgCls).c_str(), TextOf(fg).c_str());
    };
    // Each key waits for the window's thread to answer: when it is held (under Wine, a page load
    // of the web strip waited 10 s for an RPC service that would not start), a key pressed then
    // is taken only later, which a short wait would read as a key that did nothing.
    auto key = [&](WORD vk, bool shift = false) {
        DWORD_PTR ignored = 0;
        const ULONGLONG asked = ::GetTickCount64();
        if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored)) {
            std::printf("  the window's thread has not answered for 30 s\n");
            PrintStacksOnce(info.dwProcessId);
        } else if (::GetTickCount64() - asked > 1000) {
            std::printf("  (the window's thread answered after %llu ms)\n", ::GetTickCount64() - asked);
        }
        PressKey(vk, shift);
    };
    constexpr DWORD kKeyWait = 15000;
    std::vector<std::string> walked;
    HWND refresh = FindChild(window, L"Button", L"刷新");
    // One Tab, and the text of the control it reached.
    auto tab = [&] {
        HWND before = FocusOf(info.dwThreadId);
        key(VK_TAB);
        WaitFor([&] { return FocusOf(info.dwThreadId) != before; }, kKeyWait);
        return TextOf(FocusOf(info.dwThreadId));
    };
    for (int i = 0; i < 10; ++i) walked.push_back(tab());
    const std::vector<std::string> settingsOrder = {"窗体总在最上方", "开机时自动启动", "刷新", "刷新间隔(秒)",
                                                    "自动启动文档时询问", "自动启动历史文档", "启动文档设置",
                                                    "删除所有历史文档", "帮助文档", "关于我们"};
    Check(walked == settingsOrder, "Tab walks the settings page in reading order");
    if (walked != settingsOrder) std::printf("  walked:\n%s", Joined(walked).c_str());
    key(VK_TAB, true);
    Check(WaitFor([&] { return TextOf(FocusOf(info.dwThreadId)) == "帮助文档"; }, kKeyWait), "Shift+Tab walks back");
    auto tabTo = [&](const std::string& words) {
        std::vector<std::string> path;
        for (int i = 0; i < 12 && TextOf(FocusOf(info.dwThreadId)) != words; ++i) path.push_back(tab());
        if (TextOf(FocusOf(info.dwThreadId)) == words) return true;
        std::printf("  tabbed through:\n%s", Joined(path).c_str());
        whereKeys();
        return false;
    };
    Check(tabTo("刷新"), "Tab reaches 刷新");
    key(VK_SPACE);
    Check(WaitFor([&] { return ::SendMessageW(refresh, BM_GETCHECK, 0, 0) == BST_CHECKED; }, kKeyWait),
          "Space ticks 刷新: the sweep runs");
    Check(tabTo("刷新间隔(秒)"), "Tab reaches the interval bar");
    auto barReads = [&](const wchar_t* words) {
        if (WaitFor([&] { return FindChild(window, L"Static", words) != nullptr; }, kKeyWait)) return true;
        std::printf("  the bar at %d\n", static_cast<int>(::SendMessageW(bar, SBM_GETPOS, 0, 0)));
        whereKeys();
        return false;
    };
    key(VK_RIGHT);
    Check(barReads(L"每32秒刷新一次"), "Right on the interval bar reads 每32秒刷新一次");
    key(VK_HOME);
    Check(barReads(L"每10秒刷新一次"), "Home on the interval bar reads 每10秒刷新一次");

    // The about window is the program's own: owned, so it has no taskbar button, and a sweep
    // never records the program itself.
    const std::vector<std::string> programs = ReadTree(info.hProcess, trees[1]);
    Check(tabTo("关于我们"), "Tab reaches 关于我们");
    key(VK_SPACE);
    HWND about = nullptr;
    Check(WaitFor([&] { return (about = FindTopLevel(info.dwProcessId, L"TFrmVersion", L"关于...")) != nullptr && Visible(about); }, kKeyWait),
          "Space on 关于我们 opens 关于...");
    Check(about && ::GetWindow(about, GW_OWNER) != nullptr && (::GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_APPWINDOW) == 0,
          "the about window is owned: no taskbar button");
    ::Sleep(12000);  // one sweep at 10 seconds, and some
    CompareTree("软件 after a sweep with 关于... open", ReadTree(info.hProcess, trees[1]), programs);
    key(VK_ESCAPE);
    Check(WaitFor([&] { return about && !Visible(about); }, kKeyWait), "Esc closes the about window");

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
    Check(has(L"CheckDocInterval=10000\r\n") && has(L"ActivePageIndex=5\r\n"), "the interval and the last tab saved");
    if (g_failures != 0) std::printf("saved file:\n%s\n", Utf8(text).c_str());
    std::printf("%s\n", g_failures == 0 ? "PASSED" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}
