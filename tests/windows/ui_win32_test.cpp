// The Windows window's own parts against the real controls and the real message loop, under
// Wine: the window's controls are the forms' rows, the tree views follow the core's trees, the
// image numbering survives insertions, the timers keep the program's old rules, and a second
// start for a history hands over.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <shobjidl.h>

#include "base/wide_text.h"
#include "controller/forms.h"
#include "fakes.h"
#include "recorded_diagnostics.h"
#include "platform/windows/ansi_text.h"
#include "ui_win32/single_instance.h"
#include "ui_win32/dialogs.h"
#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/main_window.h"
#include "ui_win32/timers.h"
#include "ui_win32/tree_view.h"
#include "ui_win32/web_strip.h"

namespace {

using tk::CategoryTree;
using tk::TreeNode;
using tk::TreeViewAdapter;

// Runs the thread's messages until `done` holds or `ms` pass.
template <typename F>
bool Pump(F done, int ms) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(ms);
    MSG msg;
    while (!done() && ::GetTickCount64() < end) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    return done();
}

// The tree's parent answers the control as the main window does: pictures and buttons when
// asked, a group's children when it opens.
TreeViewAdapter* g_tracked = nullptr;

LRESULT CALLBACK TreeHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && g_tracked != nullptr) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TVN_GETDISPINFOW) {
            g_tracked->FillDisplayInfo(*reinterpret_cast<NMTVDISPINFOW*>(lParam));
            return 0;
        }
        if (header->code == TVN_ITEMEXPANDINGW) {
            const auto* change = reinterpret_cast<NMTREEVIEWW*>(lParam);
            if (change->action & TVE_EXPAND) g_tracked->Expanding(change->itemNew.hItem);
            return FALSE;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
        ::InitCommonControlsEx(&init);
        WNDCLASSW host{};
        host.lpfnWndProc = TreeHostProc;
        host.hInstance = ::GetModuleHandleW(nullptr);
        host.lpszClassName = L"TkTreeHost";
        ::RegisterClassW(&host);
        m_host = ::CreateWindowExW(0, L"TkTreeHost", L"host", WS_OVERLAPPED, 0, 0, 320, 320, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        m_control = ::CreateWindowExW(0, WC_TREEVIEWW, L"tree", WS_CHILD | TVS_HASBUTTONS, 0, 0, 300, 300,
                                      m_host, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_control, nullptr);
    }
    void TearDown() override {
        g_tracked = nullptr;
        ::DestroyWindow(m_host);
    }
    static void Track(TreeViewAdapter& adapter) { g_tracked = &adapter; }

    // Whether the control shows the item with an expand button (it asks the parent).
    bool HasButton(HTREEITEM item) const {
        TVITEMW tv{};
        tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
        tv.hItem = item;
        return TreeView_GetItem(m_control, &tv) && tv.cChildren > 0;
    }

    // The control's items as text, children indented by two blanks, with each item's node;
    // every group is opened on the way, as a user would.
    std::vector<std::string> Shown(const TreeViewAdapter& adapter) const {
        std::vector<std::string> out;
        Walk(adapter, TreeView_GetRoot(m_control), 0, out);
        return out;
    }
    void Walk(const TreeViewAdapter& adapter, HTREEITEM item, int depth, std::vector<std::string>& out) const {
        for (; item; item = TreeView_GetNextSibling(m_control, item)) {
            wchar_t text[256] = {};
            TVITEMW tv{};
            tv.mask = TVIF_TEXT | TVIF_HANDLE;
            tv.hItem = item;
            tv.pszText = text;
            tv.cchTextMax = 256;
            TreeView_GetItem(m_control, &tv);
            TreeNode* node = TreeViewAdapter::NodeOf(m_control, item);
            EXPECT_EQ(adapter.ItemOf(node), item);
            out.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + tk::WideToUtf8(text));
            if (HasButton(item)) TreeView_Expand(m_control, item, TVE_EXPAND);
            Walk(adapter, TreeView_GetChild(m_control, item), depth + 1, out);
        }
    }

    HWND m_host = nullptr;
    HWND m_control = nullptr;
};

TEST_F(TreeViewTest, TheControlFollowsInsertionsRemovalsAndResets) {
    tk::ImageList images;
    tk::TreeImages shown(images, 16);
    CategoryTree tree("TVDocs");
    tree.AddLast("早先的", 0, 0);  // there before the control: shown when it attaches
    TreeViewAdapter adapter(m_control, tree, shown);
    Track(adapter);
    EXPECT_EQ(Shown(adapter), (std::vector<std::string>{"早先的"}));

    // Groups come at the top; children keep their order; a node in the middle stays there.
    // A closed group's children are not in the control yet, but its button is.
    TreeNode* group = tree.AddFirst("example.com", 1, 1);
    EXPECT_FALSE(HasButton(adapter.ItemOf(group)));
    tree.AddChildLast(group, "example.com/新闻", 1, 1);
    tree.AddChildLast(group, "example.com/体育", 1, 2);
    TreeNode* folder = tree.AddFirst("C:\\Data", 2, 3);
    tree.AddChildLast(folder, "C:\\Data\\报告", 2, 3);
    EXPECT_EQ(TreeView_GetCount(m_control), 3u);
    EXPECT_TRUE(HasButton(adapter.ItemOf(group)));
    EXPECT_EQ(adapter.ItemOf(group->Child(0)), nullptr);
    EXPECT_EQ(Shown(adapter), (std::vector<std::string>{"C:\\Data", "  C:\\Data\\报告", "example.com",
                                                        "  example.com/新闻", "  example.com/体育", "早先的"}));

    // A removed group takes its children with it, in the control and in the lookup.
    TreeNode* child = group->Child(0);
    tree.Remove(group);
    EXPECT_EQ(adapter.ItemOf(child), nullptr);
    EXPECT_EQ(Shown(adapter), (std::vector<std::string>{"C:\\Data", "  C:\\Data\\报告", "早先的"}));
    // An open group takes a new child at once; one that loses its last child loses its button.
    tree.AddChildLast(folder, "C:\\Data\\新的", 2, 5);
    EXPECT_NE(adapter.ItemOf(folder->Child(1)), nullptr);
    tree.Remove(folder->Child(1));
    tree.Remove(folder->Child(0));
    EXPECT_FALSE(HasButton(adapter.ItemOf(folder)));

    tree.Clear();
    EXPECT_EQ(TreeView_GetCount(m_control), 0u);
    tree.AddLast("之后", 0, 4);
    EXPECT_EQ(Shown(adapter), (std::vector<std::string>{"之后"}));
}

TEST_F(TreeViewTest, TheSelectionReachesTheCoreAsCurrentAndSelected) {
    tk::ImageList images;
    tk::TreeImages shown(images, 16);
    CategoryTree tree("TVApp");
    TreeViewAdapter adapter(m_control, tree, shown);
    Track(adapter);
    TreeNode* a = tree.AddLast("a.exe", 11, 0);
    TreeNode* b = tree.AddLast("b.exe", 12, 1);
    TreeView_SelectItem(m_control, adapter.ItemOf(b));
    adapter.SyncSelection();
    EXPECT_EQ(tree.Current(), b);
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{b}));
    TreeView_SelectItem(m_control, adapter.ItemOf(a));
    adapter.SyncSelection();
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{a}));
}

TEST_F(TreeViewTest, CtrlAndShiftChooseSeveralNodes) {
    tk::ImageList images;
    tk::TreeImages shown(images, 16);
    CategoryTree tree("TVDocs");
    TreeViewAdapter adapter(m_control, tree, shown);
    Track(adapter);
    TreeNode* group = tree.AddLast("example.com", 1, 0);
    TreeNode* page = tree.AddChildLast(group, "example.com/a", 1, 0);
    TreeNode* b = tree.AddLast("b.exe", 11, 1);
    TreeNode* c = tree.AddLast("c.exe", 12, 2);
    TreeNode* d = tree.AddLast("d.exe", 13, 3);
    TreeView_SelectItem(m_control, adapter.ItemOf(b));
    adapter.SyncSelection();

    adapter.ExtendSelection(adapter.ItemOf(d), false);  // Ctrl
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{b, d}));
    EXPECT_EQ(tree.Current(), b) << "the focus stays";
    adapter.ExtendSelection(adapter.ItemOf(d), false);  // Ctrl again unmarks
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{b}));

    // Shift marks the visible items between, whichever end is higher; a collapsed group's
    // children are not visible and stay out.
    adapter.ExtendSelection(adapter.ItemOf(group), true);
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{group, b}));
    TreeView_Expand(m_control, adapter.ItemOf(group), TVE_EXPAND);
    adapter.ExtendSelection(adapter.ItemOf(group), true);
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{group, page, b}));
    adapter.ExtendSelection(adapter.ItemOf(c), true);
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{group, page, b, c}));

    // A plain click leaves only the control's own selection.
    adapter.ClearMarks();
    adapter.SyncSelection();
    EXPECT_EQ(tree.SelectedNodes(), (std::vector<TreeNode*>{b}));
}

// Thousands of nodes come and go: the flat node -> item table answers as a plain map would.
TEST(TreeItemTable, ManyNodesComeAndGo) {
    tk::TreeItemTable table;
    std::map<const TreeNode*, HTREEITEM> reference;
    std::vector<TreeNode> nodes(3000);
    std::uint32_t seed = 12345;
    for (int step = 0; step < 40000; ++step) {
        seed = seed * 1664525u + 1013904223u;
        const TreeNode* node = &nodes[(seed >> 8) % nodes.size()];
        const auto item = reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(step + 1));
        switch ((seed >> 4) % 3) {
            case 0: table.Put(node, item); reference[node] = item; break;
            case 1: table.Erase(node); reference.erase(node); break;
            default: {
                const auto it = reference.find(node);
                ASSERT_EQ(table.Find(node), it == reference.end() ? nullptr : it->second) << step;
            }
        }
        ASSERT_EQ(table.Size(), reference.size()) << step;
    }
    std::size_t walked = 0;
    table.ForEach([&](const TreeNode* node, HTREEITEM item) {
        EXPECT_EQ(reference.at(node), item);
        ++walked;
    });
    EXPECT_EQ(walked, reference.size());
}

std::string TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return tk::WideToUtf8(text);
}

// A control as a line: "words @left,top WxH"; the size only where the form gives it.
std::string Row(const std::string& words, tk::forms::Point at, int width = 0, int height = 0) {
    std::string line = words + " @" + std::to_string(at.x) + "," + std::to_string(at.y);
    return width == 0 ? line : line + " " + std::to_string(width) + "x" + std::to_string(height);
}

// A page's controls in the order they were made; a check box is as wide as its caption.
std::vector<std::string> Controls(HWND page) {
    std::vector<std::string> out;
    for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
        wchar_t kind[32] = {};
        ::GetClassNameW(child, kind, 32);
        const bool box = ::lstrcmpiW(kind, L"Button") == 0 &&
                         (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        out.push_back(Row(TextOf(child), {r.left, r.top}, box ? 0 : r.right - r.left, r.bottom - r.top));
    }
    return out;
}

TEST(Win32MainWindowTest, ThePagesButtonsMenuAndSettingsAreTheFormRows) {
    using namespace tk::forms;
    tk::WindowsPathDialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::test::FakeWindowSystem windows;
    tk::test::FakeShellWindows shellWindows;
    tk::test::FakeShell shell;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::string ini = tk::WideToUtf8(temp) + "tk-forms-test.ini";
    tk::test::RecordedDiagnostics diagnostics;
    tk::Win32TimerFactory timers(diagnostics);
    {
        tk::AppController controller({dialect, files, icons, windows, shellWindows, shell, diagnostics, ini, ini,
                                      nullptr, {}},
                                     timers);
        tk::Win32MainWindow window(controller);
        // The window owns what the shell raises over a launch.
        controller.OpenTarget(tk::forms::kSystemDirectory);
        EXPECT_EQ(shell.calls, std::vector<std::string>{"Execute(" +
                                                        std::to_string(reinterpret_cast<std::uintptr_t>(window.Handle())) +
                                                        ",\"open\",\"C:\\WINDOWS\\system32\",NULL,NULL,5)"});
        std::vector<HWND> pages;
        for (HWND child = ::GetWindow(window.Handle(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t kind[32] = {};
            ::GetClassNameW(child, kind, 32);
            if (std::wstring(kind) == L"TkPage") pages.push_back(child);
        }
        ASSERT_EQ(pages.size(), std::size(kPages));
        for (int page = 0; page < tk::kPageCount; ++page) {
            EXPECT_EQ(TextOf(pages[page]), kPages[page].caption);
            if (kPages[page].tree) {
                EXPECT_EQ(TextOf(::GetWindow(pages[page], GW_CHILD)), kPages[page].caption);
            }
        }
        std::vector<std::string> rows;
        for (const SystemButtonRow& b : kSystemButtons) rows.push_back(Row(b.label, {b.left, b.top}, b.width, b.height));
        EXPECT_EQ(Controls(pages[kSystemPage]), rows);
        rows.clear();
        for (const GroupRow& g : kGroups) rows.push_back(Row(g.caption, {g.left, g.top}, g.width, g.height));
        for (const BoxRow& b : kBoxes) rows.push_back(Row(b.caption, OnPage(b.parent, b.left, b.top)));
        for (const PlacedRow* r : {&kCheckTimeLabelRow, &kCheckTimeBarRow}) {
            const std::string words = r->label ? r->label : tk::CheckTimeLabel(tk::kCheckTimeInitial);
            rows.push_back(Row(words, OnPage(r->parent, r->left, r->top), r->width, r->height));
        }
        for (const PictureButtonRow& b : kSettingsButtons) {
            rows.push_back(Row(b.label, OnPage(b.parent, b.left, b.top), b.width, b.height));
        }
        // The page is stacked in its Tab order, which is not the rows' order.
        std::vector<std::string> settings = Controls(pages[kSettingsPage]);
        std::sort(settings.begin(), settings.end());
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(settings, rows);

        // The 更多 menu as the user walks it: each submenu, then its items; " -" marks a disabled one.
        std::vector<std::string> shown;
        rows.clear();
        auto text = [](HMENU menu, int i) {
            wchar_t words[64] = {};
            ::GetMenuStringW(menu, static_cast<UINT>(i), words, 64, MF_BYPOSITION);
            return tk::WideToUtf8(words);
        };
        for (int i = 0; i < ::GetMenuItemCount(window.MoreMenu()); ++i) {
            shown.push_back(text(window.MoreMenu(), i));
            HMENU submenu = ::GetSubMenu(window.MoreMenu(), i);
            for (int j = 0; j < ::GetMenuItemCount(submenu); ++j) {
                const bool grayed = ::GetMenuState(submenu, static_cast<UINT>(j), MF_BYPOSITION) & MF_GRAYED;
                shown.push_back(text(submenu, j) + (grayed ? " -" : ""));
            }
        }
        for (int i = 0; i < static_cast<int>(std::size(kMoreSubmenus)); ++i) {
            rows.push_back(kMoreSubmenus[i].caption);
            for (const MoreItemRow& item : kMoreItems) {
                if (item.submenu == i) rows.push_back(std::string(item.caption) + (ItemEnabled(item) ? "" : " -"));
            }
        }
        EXPECT_EQ(shown, rows);
    }
    ::DeleteFileW(tk::Utf8ToWide(ini).c_str());
}

// 选择所有 selects every row, and so does its unchecking by the user's next pick in the list;
// the pick after that is a pick like any other.
struct SelectAllRun {
    tk::StartDocDialog* dialog = nullptr;
    std::vector<std::string> seen;  // the box and the number of rows selected, after each step
};
SelectAllRun* g_selectAll = nullptr;

void CALLBACK DriveStartDocDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    HWND dialog = g_selectAll->dialog->Handle();
    HWND list = ::GetDlgItem(dialog, 10), box = ::GetDlgItem(dialog, 12);
    auto note = [&] {
        g_selectAll->seen.push_back(std::string(::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked " : "unchecked ") +
                                    std::to_string(::SendMessageW(list, LB_GETSELCOUNT, 0, 0)));
    };
    auto pick = [&](int row) {
        RECT r{};
        ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
    };
    ::SendMessageW(box, BM_CLICK, 0, 0);
    note();
    pick(0);
    note();
    pick(0);
    note();
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST(StartDocDialogTest, TheFirstPickAfterSelectAllSelectsEveryRowAgain) {
    struct Form final : tk::StartDocsForm {
        std::vector<tk::StartDocRow> Rows() const override { return {{"甲", false}, {"乙", false}, {"丙", true}}; }
        bool DialogShown() override { return false; }
        void NotQueryClick(bool) override {}
        void BtnConfirmClick(const std::vector<bool>&) override {}
        void SpeedButton2Click(const std::vector<bool>&) override {}
        void LbSelectDocDblClick(int) override {}
    } form;
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    tk::StartDocDialog dialog;
    SelectAllRun run{&dialog, {}};
    g_selectAll = &run;
    ASSERT_NE(::SetTimer(nullptr, 0, 1, DriveStartDocDialog), 0u);
    dialog.Run(owner, form);  // returns once the timer's steps have closed it
    g_selectAll = nullptr;
    ::DestroyWindow(owner);
    EXPECT_EQ(run.seen, (std::vector<std::string>{"checked 3", "unchecked 3", "unchecked 1"}));
}

TEST(TabStripAccessibleTest, ScreenReadersMeetSixPageTabs) {
    static constexpr int kEdges[] = {0, 60, 120, 186, 246, 306, 370};
    static constexpr const char* kNames[] = {"全部", "软件", "文件夹", "网页", "系统", "设置"};
    HWND strip = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 50, 400, 24, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    int active = 2;
    std::vector<int> picked;
    tk::TabStripAccessible::Tabs tabs;
    tabs.count = 6;
    tabs.edges = kEdges;
    tabs.names = kNames;
    tabs.active = [&] { return active; };
    tabs.pick = [&](int index) { picked.push_back(index); };
    auto* object = new tk::TabStripAccessible(strip, tabs);
    auto child = [](long id) {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = id;
        return v;
    };

    long count = 0;
    object->get_accChildCount(&count);
    ASSERT_EQ(count, 6);
    std::vector<std::string> names;
    for (long i = 0; i <= 6; ++i) {
        BSTR name = nullptr;
        ASSERT_EQ(object->get_accName(child(i), &name), S_OK);
        names.push_back(tk::WideToUtf8(name));
        ::SysFreeString(name);
        VARIANT role;
        object->get_accRole(child(i), &role);
        EXPECT_EQ(role.lVal, i == 0 ? ROLE_SYSTEM_PAGETABLIST : ROLE_SYSTEM_PAGETAB);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"页面", "全部", "软件", "文件夹", "网页", "系统", "设置"}));
    BSTR none = nullptr;
    EXPECT_EQ(object->get_accName(child(7), &none), E_INVALIDARG);

    // The chosen tab is the selected one; the others are selectable.
    VARIANT state;
    object->get_accState(child(3), &state);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_SELECTED);
    object->get_accState(child(1), &state);
    EXPECT_FALSE(state.lVal & STATE_SYSTEM_SELECTED);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_SELECTABLE);

    // Places on the screen follow the picture's segments.
    long left = 0, top = 0, width = 0, height = 0;
    object->accLocation(&left, &top, &width, &height, child(3));
    EXPECT_EQ(left, 100 + 120);
    EXPECT_EQ(width, 66);
    VARIANT hit;
    object->accHitTest(100 + 190, 60, &hit);
    EXPECT_EQ(hit.lVal, 4);
    EXPECT_EQ(object->accHitTest(10, 10, &hit), S_FALSE);

    // The default action and a selection switch pages; the strip itself has none.
    object->accDoDefaultAction(child(6));
    object->accSelect(SELFLAG_TAKESELECTION, child(1));
    EXPECT_EQ(object->accDoDefaultAction(child(0)), E_INVALIDARG);
    EXPECT_EQ(picked, (std::vector<int>{5, 0}));
    VARIANT next;
    EXPECT_EQ(object->accNavigate(NAVDIR_NEXT, child(6), &next), S_FALSE);
    object->accNavigate(NAVDIR_FIRSTCHILD, child(0), &next);
    EXPECT_EQ(next.lVal, 1);
    object->Release();
    ::DestroyWindow(strip);
}

TEST(TreeImagesTest, AnIconInsertedInTheMiddleKeepsEveryNumberOnItsPicture) {
    tk::ImageList images;
    tk::TreeImages shown(images, 16);
    ASSERT_EQ(ImageList_GetImageCount(shown.Handle()), tk::ImageList::kBuiltInCount);
    tk::FileIcon red{{}, {}, 16, 16, std::vector<std::uint32_t>(256, 0xFFFF0000u)};
    tk::FileIcon big{{}, {}, 32, 32, std::vector<std::uint32_t>(1024, 0xFF00FF00u)};
    ASSERT_TRUE(images.Insert(11, red));
    const int redPicture = shown.Physical(11);
    // The core numbers the new icon 11 and moves the red one up: the control only appends.
    ASSERT_TRUE(images.Insert(11, big));
    EXPECT_EQ(shown.Physical(12), redPicture);
    EXPECT_NE(shown.Physical(11), redPicture);
    EXPECT_EQ(ImageList_GetImageCount(shown.Handle()), 13);
    EXPECT_EQ(shown.Physical(5), 5);  // the built-in pictures never move
    // A number the list never had draws the first picture rather than none.
    EXPECT_EQ(shown.Physical(99), 0);
    EXPECT_EQ(shown.Physical(-1), 0);
}

TEST(Win32TimersTest, TimersKeepTheOldRules) {
    tk::test::RecordedDiagnostics diagnostics;
    tk::Win32TimerFactory factory(diagnostics);
    int ticks = 0, shots = 0;
    auto repeating = factory.MakeTimer("repeating", 20, false, [&] { ++ticks; });
    auto single = factory.MakeTimer("single", 20, true, [&] {
        ++shots;
        // A single-shot timer is already stopped when it runs.
        EXPECT_FALSE(factory.MakeTimer("x", 1, true, [] {})->Enabled());
    });
    EXPECT_FALSE(repeating->Enabled());
    repeating->SetEnabled(true);
    single->SetEnabled(true);
    EXPECT_TRUE(Pump([&] { return ticks >= 3; }, 5000));
    EXPECT_EQ(shots, 1);
    EXPECT_FALSE(single->Enabled());
    repeating->SetEnabled(false);
    const int stopped = ticks;
    Pump([] { return false; }, 100);
    EXPECT_EQ(ticks, stopped);

    // The same interval again leaves the countdown running: a timer re-set more often than it
    // fires still fires.
    int slow = 0;
    auto countdown = factory.MakeTimer("countdown", 150, false, [&] { ++slow; });
    countdown->SetEnabled(true);
    for (int i = 0; i < 10; ++i) {
        countdown->SetInterval(150);
        countdown->SetEnabled(true);
        Pump([] { return false; }, 40);
    }
    EXPECT_GE(slow, 1);
}

TEST(Win32TimersTest, PostedWorkRunsOnTheWindowThreadInOrder) {
    tk::test::RecordedDiagnostics diagnostics;
    tk::Win32TimerFactory factory(diagnostics);
    const DWORD gui = ::GetCurrentThreadId();
    std::vector<int> order;
    std::atomic<bool> wrongThread{false};
    std::thread other([&] {
        for (int i = 0; i < 3; ++i) {
            factory.Post([&, i] {
                if (::GetCurrentThreadId() != gui) wrongThread = true;
                order.push_back(i);
            });
        }
    });
    other.join();
    EXPECT_TRUE(order.empty());  // never inside the caller
    EXPECT_TRUE(Pump([&] { return order.size() == 3; }, 5000));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(wrongThread);
    // An error in posted work stops neither the loop nor the work after it; it is told, as
    // information only.
    bool after = false;
    factory.Post([] { throw std::runtime_error("posted"); });
    factory.Post([&] { after = true; });
    EXPECT_TRUE(Pump([&] { return after; }, 5000));
    using Line = tk::test::RecordedDiagnostics::Line;
    EXPECT_EQ(diagnostics.Lines(), (std::vector<Line>{{tk::Severity::Info, "posted task", "posted"}}));
}

TEST(Win32TimersTest, WaitLetsTimersRunButNoInput) {
    tk::test::RecordedDiagnostics diagnostics;
    tk::Win32TimerFactory factory(diagnostics);
    int ticks = 0;
    auto timer = factory.MakeTimer("t", 10, false, [&] { ++ticks; });
    timer->SetEnabled(true);
    const ULONGLONG start = ::GetTickCount64();
    factory.Wait(200);
    EXPECT_GE(::GetTickCount64() - start, 190u);
    EXPECT_GE(ticks, 1);
}

TEST(SingleInstanceTest, OneHistoryOneProgramWhateverTheCaseOfItsPath) {
    const std::string key = "C:\\Programs\\TK\\defualt.ini";
    EXPECT_EQ(tk::Win32SingleInstance::MutexName(key), tk::Win32SingleInstance::MutexName("c:/programs/tk/DEFUALT.INI"));
    EXPECT_NE(tk::Win32SingleInstance::MutexName(key), tk::Win32SingleInstance::MutexName("C:\\Other\\defualt.ini"));

    HWND window = ::CreateWindowExW(0, L"STATIC", L"first", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    tk::Win32SingleInstance first(key);
    ASSERT_FALSE(first.HandedOver());
    first.Publish(window);
    {
        tk::Win32SingleInstance other("C:\\Other\\defualt.ini");
        EXPECT_FALSE(other.HandedOver());
    }
    // A second start runs on another thread, as another process would.
    bool handedOver = false;
    std::thread second([&] { handedOver = tk::Win32SingleInstance(key).HandedOver(); });
    second.join();
    EXPECT_TRUE(handedOver);
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, tk::kBringInMessage, tk::kBringInMessage, PM_REMOVE) != 0 &&
                msg.hwnd == window)
        << "the first instance's window was asked in";
    ::DestroyWindow(window);
}

}  // namespace

namespace {

// A frame of a page, for the strip's events: only its identity counts.
class FakeFrame final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = riid == IID_IUnknown || riid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

}  // namespace

// The strip's host answers its control as the control would call it: arguments in the events'
// own (reversed) order, Cancel through its reference. Each row is one event from the page.
TEST(WebStripHost, EventsAreCancelledOrPassedToTheUsersBrowserAsTheirRulesSay) {
    HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 193, 42, nullptr, nullptr, nullptr, nullptr);
    FakeFrame control, innerFrame;
    std::vector<std::string> opened;
    IUnknown* strip = tk::MakeStripHostStandIn(host, &control, "http://www.example.cn/strip/",
                                               [&](const std::string& address) { opened.push_back(address); });
    IDispatch* events = nullptr;
    ASSERT_EQ(strip->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&events)), S_OK);

    struct Row {
        const char* what;
        DISPID event;
        const wchar_t* address;
        bool topFrame, userClicked;
        bool cancelled;
        const char* opened;  // what reaches the user's browser, or nullptr
    };
    const Row rows[] = {
        {"the strip's own page", DISPID_BEFORENAVIGATE2, L"http://www.example.cn/strip/", true, false, false, nullptr},
        {"a redirect of the page elsewhere", DISPID_BEFORENAVIGATE2, L"http://elsewhere.example.net/", true, false, true, nullptr},
        {"a window the page opens by itself", DISPID_NEWWINDOW3, L"http://ads.example.net/", true, false, true, nullptr},
        {"a link the user clicks", DISPID_NEWWINDOW3, L"https://news.example.net/a", true, true, true, "https://news.example.net/a"},
        {"a second window for the same click", DISPID_NEWWINDOW3, L"https://news.example.net/b", true, false, true, nullptr},
        {"a click on a link to a file", DISPID_NEWWINDOW3, L"file:///C:/windows/win.ini", true, true, true, nullptr},
        {"an old-style new window", DISPID_NEWWINDOW2, L"", true, false, true, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        opened.clear();
        if (row.userClicked) {
            INPUT move{};
            move.type = INPUT_MOUSE;
            move.mi.dwFlags = MOUSEEVENTF_MOVE;  // a real input now: the click the page answers to
            ::SendInput(1, &move, sizeof move);
            ::Sleep(50);
        }
        VARIANT_BOOL cancel = VARIANT_FALSE;
        BSTR address = ::SysAllocString(row.address);
        VARIANT addressRef{};
        addressRef.vt = VT_BSTR;
        addressRef.bstrVal = address;
        std::vector<VARIANT> args;
        auto add = [&args](VARTYPE type, auto set) {
            VARIANT v{};
            v.vt = type;
            set(v);
            args.push_back(v);
        };
        IDispatch* newWindow = nullptr;
        if (row.event == DISPID_BEFORENAVIGATE2) {
            // (frame, URL, flags, target, post data, headers, Cancel), last first
            add(VT_BYREF | VT_BOOL, [&](VARIANT& v) { v.pboolVal = &cancel; });
            for (int i = 0; i < 4; ++i) add(VT_EMPTY, [](VARIANT&) {});
            add(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { v.pvarVal = &addressRef; });
            add(VT_DISPATCH, [&](VARIANT& v) { v.pdispVal = row.topFrame ? &control : &innerFrame; });
        } else if (row.event == DISPID_NEWWINDOW3) {
            // (new window, Cancel, flags, context, URL), last first
            add(VT_BSTR, [&](VARIANT& v) { v.bstrVal = address; });
            add(VT_BSTR, [](VARIANT& v) { v.bstrVal = nullptr; });
            add(VT_I4, [&](VARIANT& v) { v.lVal = row.userClicked ? NWMF_USERINITED | NWMF_FIRST : 0; });
            add(VT_BYREF | VT_BOOL, [&](VARIANT& v) { v.pboolVal = &cancel; });
            add(VT_BYREF | VT_DISPATCH, [&](VARIANT& v) { v.ppdispVal = &newWindow; });
        } else {
            add(VT_BYREF | VT_BOOL, [&](VARIANT& v) { v.pboolVal = &cancel; });
            add(VT_BYREF | VT_DISPATCH, [&](VARIANT& v) { v.ppdispVal = &newWindow; });
        }
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        EXPECT_EQ(events->Invoke(row.event, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(cancel == VARIANT_TRUE, row.cancelled);
        EXPECT_EQ(opened, row.opened ? std::vector<std::string>{row.opened} : std::vector<std::string>{});
        ::SysFreeString(address);
    }

    // The host's own answers: no context menu, no 3-D border, script errors passed over.
    IDocHostUIHandler* ui = nullptr;
    ASSERT_EQ(strip->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&ui)), S_OK);
    POINT at{10, 10};
    EXPECT_EQ(ui->ShowContextMenu(0, &at, nullptr, nullptr), S_OK) << "S_OK: the host shows no menu";
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    ASSERT_EQ(ui->GetHostInfo(&info), S_OK);
    EXPECT_TRUE(info.dwFlags & DOCHOSTUIFLAG_NO3DBORDER);
    IOleCommandTarget* commands = nullptr;
    ASSERT_EQ(strip->QueryInterface(IID_IOleCommandTarget, reinterpret_cast<void**>(&commands)), S_OK);
    const GUID docHostCommands = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
    VARIANT goOn{};
    EXPECT_EQ(commands->Exec(&docHostCommands, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &goOn), S_OK);
    EXPECT_TRUE(goOn.vt == VT_BOOL && goOn.boolVal == VARIANT_TRUE) << "scripts run on, without a box";
    tk::EndStripHostStandIn(strip);
    ::DestroyWindow(host);
}
