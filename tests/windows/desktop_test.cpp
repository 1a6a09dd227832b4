#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "desktop/platform_desktop.h"
#include "detection/sweep.h"
#include "test_history.h"
#include "platform/windows/ansi_text.h"
#include "platform/windows/shell_file_icons.h"
#include "platform/windows/win32_file_system.h"
#include "platform/windows/win32_shell.h"
#include "platform/windows/win32_shell_windows.h"
#include "platform/windows/win32_window_system.h"
#include "require.h"

namespace {

using namespace std::chrono_literals;

tk::WindowHandle H(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

// Windows of this process, made with the "A" calls so their titles are ANSI bytes.
struct OwnWindows : ::testing::Test {
    std::vector<HWND> made;

    HWND Make(const char* ansiTitle, DWORD exStyle = 0, HWND owner = nullptr) {
        HWND hwnd = ::CreateWindowExA(exStyle, "STATIC", ansiTitle, WS_OVERLAPPEDWINDOW, 10, 10,
                                      200, 100, owner, nullptr, nullptr, nullptr);
        if (hwnd != nullptr) {
            ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
            made.push_back(hwnd);
        }
        return hwnd;
    }
    void TearDown() override {
        for (auto it = made.rbegin(); it != made.rend(); ++it) ::DestroyWindow(*it);
    }
};

const tk::WindowInfo* Find(const tk::WindowSnapshot& s, HWND hwnd) {
    for (const auto& w : s.windows) {
        if (w.handle == H(hwnd)) return &w;
    }
    return nullptr;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(),
                                                    -1, b.c_str(), -1) == CSTR_EQUAL;
}

class NoShellWindows : public tk::ShellWindows {
public:
    tk::ShellWindowsResult List() override { return {}; }
};

class NoIcons : public tk::FileIcons {
public:
    std::optional<tk::FileIcon> IconOf(const std::string&) override { return std::nullopt; }
};

}  // namespace

TEST(Ansi, CodePageIsChineseAndTextConvertsOnce) {
    // Wine takes the ANSI code page from the locale; the tests below rely on GBK titles.
    ASSERT_EQ(::GetACP(), 936u) << "run with LANG=zh_CN.UTF-8";
    EXPECT_EQ(tk::win32::AnsiToUtf8("\xD6\xD0\xCE\xC4"), "中文");
    EXPECT_EQ(tk::win32::Utf8ToAnsi("中文"), "\xD6\xD0\xCE\xC4");
    // "乗" ends in the byte of "\": it stays one character, never a path separator.
    EXPECT_EQ(tk::win32::Utf8ToAnsi("乗"), "\x81\x5C");
    EXPECT_EQ(tk::win32::AnsiToUtf8("C:\\\x81\x5C"), "C:\\乗");
    // A buffer cut inside a character loses the half, not the text before it.
    EXPECT_EQ(tk::win32::AnsiToUtf8("ab\xD6"), "ab");
}

TEST_F(OwnWindows, ListedWithTheirExecutableOwnedAndToolWindowsAreNot) {
    HWND gbk = Make("\xD6\xD0\xCE\xC4\xB4\xB0\xBF\xDA \x81\x5C");  // "中文窗口 乗"
    TK_REQUIRE(gbk != nullptr, "no display for Wine's windows");
    HWND owned = Make("owned", 0, gbk);
    HWND tool = Make("tool", WS_EX_TOOLWINDOW);
    HWND hidden = ::CreateWindowExA(0, "STATIC", "hidden", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                    nullptr, nullptr, nullptr, nullptr);
    made.push_back(hidden);
    HWND longAscii = Make(std::string(200, 'x').c_str());
    std::string longGbk;
    for (int i = 0; i < 100; ++i) longGbk += "\xD6\xD0";
    HWND longChinese = Make(longGbk.c_str());

    tk::Win32WindowSystem system;
    tk::WindowSnapshot snapshot = system.ListWindows();
    ASSERT_TRUE(snapshot.ok);
    EXPECT_EQ(snapshot.desktopWindow, H(::GetDesktopWindow()));

    const tk::WindowInfo* mine = Find(snapshot, gbk);
    ASSERT_NE(mine, nullptr);
    EXPECT_TRUE(mine->visible);
    EXPECT_EQ(mine->owner, 0u);
    EXPECT_FALSE(mine->toolWindow);
    EXPECT_EQ(mine->text, "中文窗口 乗");
    EXPECT_EQ(mine->pid, static_cast<std::int64_t>(::GetCurrentProcessId()));
    EXPECT_EQ(system.ExecutableOfProcess(mine->pid), tk::ExecutablePath());

    const tk::WindowInfo* ownedInfo = Find(snapshot, owned);
    ASSERT_NE(ownedInfo, nullptr);
    EXPECT_EQ(ownedInfo->owner, H(gbk));
    EXPECT_TRUE(ownedInfo->text.empty());  // never asked: the sweep passes it over
    const tk::WindowInfo* toolInfo = Find(snapshot, tool);
    ASSERT_NE(toolInfo, nullptr);
    EXPECT_TRUE(toolInfo->toolWindow);
    const tk::WindowInfo* hiddenInfo = Find(snapshot, hidden);
    ASSERT_NE(hiddenInfo, nullptr);
    EXPECT_FALSE(hiddenInfo->visible);

    // WM_GETTEXT into 129 bytes: 128 bytes of title, in the ANSI code page.
    EXPECT_EQ(Find(snapshot, longAscii)->text, std::string(128, 'x'));
    std::string chinese64;
    for (int i = 0; i < 64; ++i) chinese64 += "中";
    EXPECT_EQ(Find(snapshot, longChinese)->text, chinese64);

    // The real sweep over the real windows: this program once, by its executable path.
    tk::WindowsPathDialect dialect;
    tk::Win32FileSystem files;
    NoIcons icons;
    tk::test::TestHistory history(dialect, files, icons);
    NoShellWindows noShell;
    tk::Sweep sweep(history.records(), files, system, noShell, history.diagnostics);
    sweep.CheckOpenDocs();
    const std::string self = tk::ExecutablePath();
    EXPECT_EQ(std::count(sweep.OpenDocs().begin(), sweep.OpenDocs().end(), self), 3)
        << "the GBK window and the two long ones; owned, tool and hidden windows are not listed";
    ASSERT_EQ(std::count_if(history.DocHistory().begin(), history.DocHistory().end(),
                            [&](const tk::TMyDoc& d) { return d.Location == self; }),
              1);

    // As the program lists them: its own windows are passed over, so it never records itself.
    system.SetOwnPid(::GetCurrentProcessId());
    const tk::WindowSnapshot withoutOwn = system.ListWindows();
    EXPECT_EQ(Find(withoutOwn, gbk), nullptr);
    EXPECT_EQ(Find(withoutOwn, longAscii), nullptr);
    tk::test::TestHistory fresh(dialect, files, icons);
    tk::Sweep ownSweep(fresh.records(), files, system, noShell, fresh.diagnostics);
    ownSweep.CheckOpenDocs();
    EXPECT_EQ(std::count(ownSweep.OpenDocs().begin(), ownSweep.OpenDocs().end(), self), 0);
    EXPECT_TRUE(std::none_of(fresh.DocHistory().begin(), fresh.DocHistory().end(),
                             [&](const tk::TMyDoc& d) { return d.Location == self; }));
}

TEST(WineProgram, NotepadIsListedWithItsExecutablePath) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    char commandLine[] = "notepad.exe";
    ASSERT_TRUE(::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    ::WaitForInputIdle(process.hProcess, 10000);
    tk::Win32WindowSystem system;
    // Notepad shows its window before it gives it a title: wait for the title too.
    std::optional<tk::WindowInfo> found;
    // A loaded machine's Wine may take a while over a first notepad: up to 30 s.
    for (int i = 0; i < 300 && (!found || found->text.empty()); ++i) {
        if (i > 0) std::this_thread::sleep_for(100ms);
        for (const auto& w : system.ListWindows().windows) {
            if (w.pid == static_cast<std::int64_t>(process.dwProcessId) && w.visible &&
                w.owner == 0 && !w.toolWindow) {
                found = w;
            }
        }
    }
    const bool haveDisplay = found.has_value();
    std::optional<std::string> path = system.ExecutableOfProcess(process.dwProcessId);
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 5000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    TK_REQUIRE(haveDisplay, "no display for Wine's windows");
    EXPECT_FALSE(found->text.empty());
    ASSERT_TRUE(path.has_value());
    char systemDir[MAX_PATH];
    ::GetSystemDirectoryA(systemDir, MAX_PATH);
    EXPECT_TRUE(SameTextIgnoringCase(*path, std::string(systemDir) + "\\notepad.exe") ||
                SameTextIgnoringCase(*path, "C:\\windows\\notepad.exe"))
        << *path;
    EXPECT_TRUE(tk::Win32FileSystem().FileExists(*path));
}

TEST(Psapi, LoadedOnceAndTriedAgainAfterAFailure) {
    tk::Win32WindowSystem system;
    const auto self = static_cast<std::int64_t>(::GetCurrentProcessId());
    EXPECT_EQ(system.ExecutableOfProcess(self), tk::ExecutablePath());
    EXPECT_EQ(system.ExecutableOfProcess(self), tk::ExecutablePath());
    EXPECT_EQ(system.Psapi().LoadAttempts(), 1);

    tk::Win32WindowSystem missing("no-such-psapi.dll");
    EXPECT_EQ(missing.ExecutableOfProcess(self), std::nullopt);
    EXPECT_EQ(missing.ExecutableOfProcess(self), std::nullopt);
    EXPECT_EQ(missing.Psapi().LoadAttempts(), 2);

    EXPECT_EQ(system.ExecutableOfProcess(0x7FFFFFF0), std::nullopt);  // no such process
}

TEST(Shell, SpecialFolderRequests) {
    tk::test::RecordedDiagnostics said;
    tk::Win32Shell shell(said);
    static std::vector<tk::Win32Shell::SpecialFolderRequest> executed;
    executed.clear();
    shell.SetExecuteExHookForTesting([](const tk::Win32Shell::SpecialFolderRequest& r) {
        executed.push_back(r);
        return true;
    });
    for (int csidl : {tk::kCsidlDrives, tk::kCsidlPersonal, tk::kCsidlBitBucket,
                      tk::kCsidlControls}) {
        EXPECT_TRUE(shell.OpenSpecialFolder(csidl, 0).ok);
    }
    ASSERT_EQ(executed.size(), 4u);
    for (const auto& r : executed) {
        EXPECT_TRUE(r.haveItemList);
        EXPECT_EQ(r.mask, 0x104u);
        EXPECT_EQ(r.verb, "open");
        EXPECT_EQ(r.show, 1);
        EXPECT_EQ(r.recordSize, sizeof(SHELLEXECUTEINFOA));
    }
    EXPECT_EQ(executed[1].csidl, tk::kCsidlPersonal);
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), sizeof(void*) == 8 ? 112u : 60u);

    // An identifier the shell does not know gives no item list, and no call that could hang;
    // the refusal says which.
    const tk::ShellResult unknown = shell.OpenSpecialFolder(0x7F, 0);
    EXPECT_FALSE(shell.LastSpecialFolderRequest().haveItemList);
    EXPECT_FALSE(shell.LastSpecialFolderRequest().executed);
    EXPECT_EQ(executed.size(), 4u);
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.problem, "no special folder 127");

    // A folder the shell will not open is refused too.
    shell.SetExecuteExHookForTesting([](const tk::Win32Shell::SpecialFolderRequest&) { return false; });
    const tk::ShellResult refused = shell.OpenSpecialFolder(tk::kCsidlPersonal, 0);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.problem.rfind("cannot open special folder 5: ", 0), 0u) << refused.problem;
    EXPECT_EQ(said.Messages(), (std::vector<std::string>{unknown.problem, refused.problem}));
}

// What ShellExecuteA and WinExec cannot start comes back refused, with the reason in words,
// and the same words are warned about.
TEST(Shell, RefusedLaunchesSayWhy) {
    tk::test::RecordedDiagnostics said;
    tk::Win32Shell shell(said);
    const tk::ShellResult missing =
        shell.Execute(0, std::string("open"), "C:\\no\\such\\file.txt", std::nullopt, std::nullopt, SW_SHOWNORMAL);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.problem, "cannot open C:\\no\\such\\file.txt: file not found");
    const tk::ShellResult page = shell.Execute(0, std::string("open"), "C:\\no\\such\\explorer.exe",
                                               std::string("http://h/p"), std::nullopt, SW_SHOWNORMAL);
    EXPECT_EQ(page.problem.rfind("cannot open C:\\no\\such\\explorer.exe http://h/p: ", 0), 0u) << page.problem;
    const tk::ShellResult panel = shell.RunControlPanel("C:\\no\\such\\rundll32.exe x", SW_RESTORE);
    EXPECT_FALSE(panel.ok);
    EXPECT_EQ(panel.problem.rfind("cannot run C:\\no\\such\\rundll32.exe x: ", 0), 0u) << panel.problem;
    using Line = tk::test::RecordedDiagnostics::Line;
    EXPECT_EQ(said.Lines(), (std::vector<Line>{{tk::Severity::Warning, "launch", missing.problem},
                                               {tk::Severity::Warning, "launch", page.problem},
                                               {tk::Severity::Warning, "launch", panel.problem}}));
}

// Visible windows of other processes, and the first that was not there before `open` ran.
struct NewWindowOfAnotherProcess {
    static std::vector<tk::WindowInfo> Others() {
        std::vector<tk::WindowInfo> out;
        for (const auto& w : tk::Win32WindowSystem().ListWindows().windows) {
            if (w.visible && w.pid != static_cast<std::int64_t>(::GetCurrentProcessId())) out.push_back(w);
        }
        return out;
    }
    static bool HaveDisplay() {
        HWND probe = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (probe == nullptr) return false;
        ::DestroyWindow(probe);
        return true;
    }
    template <typename Open>
    static std::optional<tk::WindowInfo> After(Open open) {
        std::vector<tk::WindowHandle> before;
        for (const auto& w : Others()) before.push_back(w.handle);
        open();
        for (int i = 0; i < 600; ++i) {  // up to a minute: a fresh prefix starts slowly
            for (const auto& w : Others()) {
                if (std::find(before.begin(), before.end(), w.handle) == before.end()) return w;
            }
            std::this_thread::sleep_for(100ms);
        }
        return std::nullopt;
    }
    static void Close(const tk::WindowInfo& w) {
        ::PostMessageA(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w.handle)), WM_CLOSE, 0, 0);
    }
};

TEST(Shell, SpecialFolderOpensAWindow) {
    TK_REQUIRE(NewWindowOfAnotherProcess::HaveDisplay(), "no display for Wine's windows");
    // The personal folder exists in every prefix and the shell opens it in a window of its own.
    const auto opened = NewWindowOfAnotherProcess::After(
        [] { tk::Win32Shell(tk::StderrDiagnostics()).OpenSpecialFolder(tk::kCsidlPersonal, 0); });
    ASSERT_TRUE(opened.has_value());
    NewWindowOfAnotherProcess::Close(*opened);
}

TEST(Shell, ControlPanelAndProgramsOpenTheirWindows) {
    TK_REQUIRE(NewWindowOfAnotherProcess::HaveDisplay(), "no display for Wine's windows");
    tk::Win32Shell shell(tk::StderrDiagnostics());
    // The control panel through WinExec, with the command line as the program has it.
    const auto panel = NewWindowOfAnotherProcess::After(
        [&] { shell.RunControlPanel("rundll32.exe   shell32.dll,Control_RunDLL", SW_RESTORE); });
    ASSERT_TRUE(panel.has_value());
    NewWindowOfAnotherProcess::Close(*panel);

    // A program through ShellExecuteA, found again by its executable.
    const auto notepad = NewWindowOfAnotherProcess::After(
        [&] { shell.Execute(0, std::string("open"), "notepad.exe", std::nullopt, std::nullopt, SW_SHOWNORMAL); });
    ASSERT_TRUE(notepad.has_value());
    const auto exe = tk::Win32WindowSystem().ExecutableOfProcess(notepad->pid);
    ASSERT_TRUE(exe.has_value());
    EXPECT_NE(exe->find("notepad"), std::string::npos) << *exe;
    NewWindowOfAnotherProcess::Close(*notepad);

    // Wine's "Shell.Application" has no working MinimizeAll; the call must end quietly either
    // way (the launcher's request for it is checked through the shell fake).
    shell.MinimizeAll();
}

TEST(Shell, SystemDirectoryAndBeep) {
    tk::Win32Shell shell(tk::StderrDiagnostics());
    char expected[MAX_PATH];
    ::GetSystemDirectoryA(expected, MAX_PATH);
    EXPECT_EQ(shell.SystemDirectory(), tk::win32::AnsiToUtf8(expected));
    EXPECT_TRUE(tk::Win32FileSystem().DirectoryExists(shell.SystemDirectory()));
    EXPECT_FALSE(tk::Win32FileSystem().FileExists(shell.SystemDirectory()));
    shell.MessageBeep();
}

TEST(ShellWindows, AFailingCollectionEndsThePass) {
    tk::ShellWindowsResult result = tk::Win32ShellWindows().List();
    // Wine 8's collection is a stub: its reads fail, which ends the pass as any failing read
    // does. On Windows the pass succeeds and lists only windows with a location.
    if (!result.ok) {
        EXPECT_FALSE(result.error.empty());
        EXPECT_TRUE(result.windows.empty());
    }
    for (const auto& w : result.windows) EXPECT_FALSE(w.locationUrl.empty());
}

TEST(FileIcons, ProgramIconAsPixels) {
    char systemDir[MAX_PATH];
    ::GetSystemDirectoryA(systemDir, MAX_PATH);
    tk::ShellFileIcons icons;
    std::optional<tk::FileIcon> icon =
        icons.IconOf(tk::win32::AnsiToUtf8(systemDir) + "\\notepad.exe");
    ASSERT_TRUE(icon.has_value());
    EXPECT_GT(icon->width, 0);
    EXPECT_EQ(icon->argb.size(), static_cast<std::size_t>(icon->width * icon->height));
    EXPECT_TRUE(std::any_of(icon->argb.begin(), icon->argb.end(),
                            [](std::uint32_t px) { return (px >> 24) != 0; }));
    EXPECT_EQ(icons.IconOf("C:\\no\\such\\file.exe"), std::nullopt);
}
