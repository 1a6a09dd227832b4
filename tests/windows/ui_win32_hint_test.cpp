// 全部's hint under Wine, against the real tree view and tool tip: each node the mouse reaches
// becomes a tool of its own, so the tip shows afresh on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "base/wide_text.h"
#include "controller/forms.h"
#include "fakes.h"
#include "recorded_diagnostics.h"
#include "ui_win32/main_window.h"
#include "ui_win32/timers.h"

namespace {

using tk::CategoryTree;

std::string TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return tk::WideToUtf8(text);
}

}  // namespace

TEST(Win32MainWindowTest, AllsHintComesAfreshOnEachNode) {
    tk::WindowsPathDialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::test::FakeWindowSystem windows;
    tk::test::FakeShellWindows shellWindows;
    tk::test::FakeShell shell;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::string ini = tk::WideToUtf8(temp) + "tk-hint-test.ini";
    tk::test::RecordedDiagnostics diagnostics;
    tk::Win32TimerFactory timers(diagnostics);
    {
        tk::AppController controller({dialect, files, icons, windows, shellWindows, shell, diagnostics, ini, ini,
                                      nullptr, {}},
                                     timers);
        tk::Win32MainWindow window(controller);
        CategoryTree& all = *controller.TreeOfPage(0);
        all.AddLast("C:\\甲.exe", 0, 0);
        all.AddLast("C:\\乙.exe", 0, 1);
        HWND tree = nullptr;
        ::EnumChildWindows(window.Handle(), [](HWND child, LPARAM out) -> BOOL {
            if (TextOf(child) != "全部" || TextOf(::GetParent(child)) != "全部") return TRUE;
            *reinterpret_cast<HWND*>(out) = child;
            return FALSE;
        }, reinterpret_cast<LPARAM>(&tree));
        ASSERT_NE(tree, nullptr);
        ::MoveWindow(tree, 0, 0, 300, 200, FALSE);  // room for the nodes whatever the layout
        // The window's own tool tip: each tree has one of its own too, which holds no tools.
        HWND tip = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM out) -> BOOL {
            wchar_t kind[64] = {};
            ::GetClassNameW(w, kind, 64);
            if (std::wstring(kind) == TOOLTIPS_CLASSW && ::SendMessageW(w, TTM_GETTOOLCOUNT, 0, 0) > 0) {
                *reinterpret_cast<HWND*>(out) = w;
            }
            return TRUE;
        }, reinterpret_cast<LPARAM>(&tip));
        ASSERT_NE(tip, nullptr);
        // Which node tool lies where, and what it says.
        auto tools = [&] {
            std::vector<std::string> out;
            for (UINT id : {701u, 702u}) {
                wchar_t text[80] = {};
                TOOLINFOW info{};
                info.cbSize = sizeof info;
                info.hwnd = tree;
                info.uId = id;
                info.lpszText = text;
                ::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info));
                ::SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
                out.push_back(::IsRectEmpty(&info.rect) ? "-" : std::to_string(info.rect.top) + " " + tk::WideToUtf8(text));
            }
            return out;
        };
        auto moveTo = [&](int y) { ::SendMessageW(tree, WM_MOUSEMOVE, 0, MAKELPARAM(50, y)); };
        RECT first{}, second{};
        HTREEITEM root = TreeView_GetRoot(tree);
        ASSERT_TRUE(TreeView_GetItemRect(tree, root, &first, TRUE));
        ASSERT_TRUE(TreeView_GetItemRect(tree, TreeView_GetNextSibling(tree, root), &second, TRUE));
        const std::string hint = tk::forms::kTreeHint;
        EXPECT_EQ(tools(), (std::vector<std::string>{"-", "-"}));
        moveTo(first.top + 2);
        EXPECT_EQ(tools(), (std::vector<std::string>{"-", std::to_string(first.top) + " " + hint}));
        moveTo(first.top + 4);  // the same node: the same tool, not shown again
        EXPECT_EQ(tools(), (std::vector<std::string>{"-", std::to_string(first.top) + " " + hint}));
        moveTo(second.top + 2);  // another node is another tool, so the tip shows afresh
        EXPECT_EQ(tools(), (std::vector<std::string>{std::to_string(second.top) + " " + hint, "-"}));
        moveTo(second.bottom + 40);  // below the nodes the last one keeps it
        EXPECT_EQ(tools(), (std::vector<std::string>{std::to_string(second.top) + " " + hint, "-"}));
    }
    ::DeleteFileW(tk::Utf8ToWide(ini).c_str());
}
