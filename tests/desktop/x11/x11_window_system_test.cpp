#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_window_system.h"
#include "ready_desktop.h"
#include "test_client.h"

using namespace tk;
using tk::test::StartReadyDesktop;
using tk::test::TestClient;
using tk::test::VirtualDesktop;
using tk::test::WaitFor;

namespace {

// Publishes a check window, as a window manager does before it writes its client lists.
xcb_window_t ActAsWindowManager(TestClient& x) {
    const xcb_window_t check = x.Create();
    x.SetCard32(check, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
    x.SetCard32(x.root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
    return check;
}

X11WindowSystem::Options On(const VirtualDesktop& desktop) {
    X11WindowSystem::Options options;
    options.displayName = desktop.Display();
    return options;
}

const WindowInfo* Find(const WindowSnapshot& s, WindowHandle handle) {
    auto it = std::find_if(s.windows.begin(), s.windows.end(),
                           [&](const WindowInfo& w) { return w.handle == handle; });
    return it == s.windows.end() ? nullptr : &*it;
}

const WindowInfo* FindPid(const WindowSnapshot& s, std::int64_t pid) {
    auto it = std::find_if(s.windows.begin(), s.windows.end(),
                           [&](const WindowInfo& w) { return w.pid == pid; });
    return it == s.windows.end() ? nullptr : &*it;
}

std::vector<WindowHandle> Handles(const WindowSnapshot& s) {
    std::vector<WindowHandle> handles;
    for (const WindowInfo& w : s.windows) handles.push_back(w.handle);
    return handles;
}

// Sweeps until every one of `windows` is reported (the window manager manages them
// asynchronously) and returns that sweep.
WindowSnapshot SweepListing(X11WindowSystem& system, const std::vector<xcb_window_t>& windows,
                            int timeoutMs = 10000) {
    WindowSnapshot s;
    WaitFor(
        [&] {
            s = system.ListWindows();
            return std::all_of(windows.begin(), windows.end(),
                               [&](xcb_window_t w) { return Find(s, w); });
        },
        timeoutMs);
    return s;
}

// Positions of `windows` in the sweep, to compare their order.
std::vector<std::size_t> Positions(const WindowSnapshot& s,
                                   const std::vector<xcb_window_t>& windows) {
    std::vector<std::size_t> positions;
    for (xcb_window_t w : windows) {
        const WindowInfo* found = Find(s, w);
        positions.push_back(found ? static_cast<std::size_t>(found - s.windows.data()) : SIZE_MAX);
    }
    return positions;
}

}  // namespace

TEST(X11WindowSystem, XtermIsListedWithItsProcessAndExecutable) {
    const auto started = StartReadyDesktop();
    ASSERT_TRUE(started) << "no desktop with a working window manager";
    VirtualDesktop& desktop = *started;
    const pid_t pid = desktop.Spawn({"xterm", "-T", "plain title"}, {"LANG=C.UTF-8"});
    X11WindowSystem system(On(desktop));
    WindowSnapshot s;
    // Listed first, then mapped: the window manager takes a moment to finish.
    ASSERT_TRUE(WaitFor([&] {
        s = system.ListWindows();
        return FindPid(s, pid) && FindPid(s, pid)->visible;
    }));
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.desktopWindow, TestClient(desktop.Display()).root);
    const WindowInfo& w = *FindPid(s, pid);
    EXPECT_EQ(w.text, "plain title");
    EXPECT_EQ(w.owner, 0u);
    EXPECT_FALSE(w.toolWindow);
    EXPECT_EQ(system.ExecutableOfProcess(w.pid),
              std::filesystem::canonical("/usr/bin/xterm").string());

    // A process that ends between the list and the question has no executable any more.
    desktop.Kill(pid);
    EXPECT_EQ(system.ExecutableOfProcess(pid), std::nullopt);
}

TEST(X11WindowSystem, ChineseXtermTitleComesFromCompoundText) {
    const auto started = StartReadyDesktop();
    ASSERT_TRUE(started) << "no desktop with a working window manager";
    VirtualDesktop& desktop = *started;
    const pid_t pid = desktop.Spawn({"xterm", "-T", "中文标题"}, {"LANG=C.UTF-8"});
    X11WindowSystem system(On(desktop));
    WindowSnapshot s;
    ASSERT_TRUE(WaitFor([&] {
        s = system.ListWindows();
        return FindPid(s, pid) && !FindPid(s, pid)->text.empty();
    }));
    const WindowInfo& w = *FindPid(s, pid);
    EXPECT_EQ(w.text, "中文标题");
    // What makes this the decoder's test: xterm leaves the title in compound text only.
    TestClient x(desktop.Display());
    const auto handle = static_cast<xcb_window_t>(w.handle);
    EXPECT_EQ(x.TypeOf(handle, "WM_NAME"), x.Atom("COMPOUND_TEXT"));
    EXPECT_EQ(x.TypeOf(handle, "_NET_WM_NAME"), xcb_atom_t{XCB_ATOM_NONE});
}

TEST(X11WindowSystem, AClaimedProcessIdCountsOnlyFromAClientOnThisHost) {
    // No X-Resource: the server cannot say who a client is, and only the claim is left.
    VirtualDesktop::Options options;
    options.windowManager = false;
    options.clientIds = false;
    VirtualDesktop desktop(options);
    ASSERT_TRUE(desktop.Ok()) << desktop.Error();
    TestClient x(desktop.Display());
    const std::string host = ThisHostName();
    ASSERT_FALSE(host.empty());
    const auto pid = static_cast<uint32_t>(::getpid());
    struct Case {
        std::string title;
        std::optional<std::string> machine;
        std::int64_t pid;
    } cases[] = {
        {"here", host, pid},
        {"elsewhere", "elsewhere.invalid", 0},
        {"here as a prefix", host + ".elsewhere.invalid", 0},
        {"no machine said", std::nullopt, 0},
    };
    std::vector<xcb_window_t> windows;
    for (const Case& c : cases) {
        windows.push_back(x.Window(c.title, [&](xcb_window_t w) {
            x.SetCard32(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
            if (c.machine) x.SetText(w, "WM_CLIENT_MACHINE", "STRING", *c.machine);
            x.SetWmState(w, 1);
        }));
    }
    X11WindowSystem system(On(desktop));
    const WindowSnapshot s = SweepListing(system, windows);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        ASSERT_TRUE(Find(s, windows[i])) << cases[i].title;
        EXPECT_EQ(Find(s, windows[i])->pid, cases[i].pid) << cases[i].title;
    }
}

TEST(X11WindowSystem, OwnersAndToolWindows) {
    const auto started = StartReadyDesktop();
    ASSERT_TRUE(started) << "no desktop with a working window manager";
    VirtualDesktop& desktop = *started;
    TestClient x(desktop.Display());
    const xcb_window_t main = x.Window("main");
    auto transientFor = [&](xcb_window_t owner) {
        return [&x, owner](xcb_window_t w) {
            x.SetCard32(w, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW, {owner});
        };
    };
    auto types = [&](std::vector<const char*> names) {
        return [&x, names](xcb_window_t w) { x.SetAtoms(w, "_NET_WM_WINDOW_TYPE", names); };
    };
    const xcb_window_t dialog = x.Window("dialog", transientFor(main));
    const xcb_window_t rootOwned = x.Window("root owned", transientFor(x.root));
    const xcb_window_t skip = x.Window("skip taskbar", [&](xcb_window_t w) {
        x.SetAtoms(w, "_NET_WM_STATE", {"_NET_WM_STATE_SKIP_TASKBAR"});
    });
    const xcb_window_t utility = x.Window("utility", types({"_NET_WM_WINDOW_TYPE_UTILITY"}));
    const xcb_window_t toolbar = x.Window("toolbar", types({"_NET_WM_WINDOW_TYPE_TOOLBAR"}));
    const xcb_window_t dialogType = x.Window("dialog type", types({"_NET_WM_WINDOW_TYPE_DIALOG"}));
    const xcb_window_t vendorFirst =
        x.Window("vendor type first", types({"_TK_VENDOR_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL"}));

    X11WindowSystem system(On(desktop));
    const WindowSnapshot s = SweepListing(
        system, {main, dialog, rootOwned, skip, utility, toolbar, dialogType, vendorFirst});
    ASSERT_TRUE(Find(s, vendorFirst)) << testing::PrintToString(Handles(s));
    EXPECT_EQ(Find(s, main)->owner, 0u);
    EXPECT_EQ(Find(s, dialog)->owner, main);
    EXPECT_EQ(Find(s, rootOwned)->owner, 0u);
    for (xcb_window_t w : {main, dialog, rootOwned, dialogType, vendorFirst}) {
        EXPECT_FALSE(Find(s, w)->toolWindow) << Find(s, w)->text;
    }
    for (xcb_window_t w : {skip, utility, toolbar}) {
        EXPECT_TRUE(Find(s, w)->toolWindow) << Find(s, w)->text;
    }
    EXPECT_EQ(Find(s, dialog)->text, "dialog");
}

TEST(X11WindowSystem, MinimisedWindowStillCountsAsVisible) {
    const auto started = StartReadyDesktop();
    ASSERT_TRUE(started) << "no desktop with a working window manager";
    VirtualDesktop& desktop = *started;
    TestClient x(desktop.Display());
    const xcb_window_t w = x.Window("to minimise");
    X11WindowSystem system(On(desktop));
    ASSERT_TRUE(Find(SweepListing(system, {w}), w));

    x.SendToRoot(w, "WM_CHANGE_STATE", {3});  // IconicState, as a client asks for it
    ASSERT_TRUE(WaitFor([&] {
        auto state = x.Card32s(w, "WM_STATE");
        return !state.empty() && state[0] == 3;
    }));
    EXPECT_EQ(x.MapState(w), XCB_MAP_STATE_UNMAPPED);
    const WindowSnapshot s = system.ListWindows();
    ASSERT_TRUE(Find(s, w));
    EXPECT_TRUE(Find(s, w)->visible);
}

TEST(X11WindowSystem, TopOfTheStackComesFirst) {
    const auto started = StartReadyDesktop();
    ASSERT_TRUE(started) << "no desktop with a working window manager";
    VirtualDesktop& desktop = *started;
    TestClient x(desktop.Display());
    const xcb_window_t a = x.Window("a"), b = x.Window("b"), c = x.Window("c");
    X11WindowSystem system(On(desktop));
    WindowSnapshot s = SweepListing(system, {a, b, c});

    std::vector<std::size_t> at = Positions(s, {a, b, c});
    // Raised one after the other by a pager, the last raised comes first. (The order new
    // windows get is the window manager's business and varies under load.)
    for (xcb_window_t w : {a, b, c}) {
        x.SendToRoot(w, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});
        ASSERT_TRUE(WaitFor([&] {
            at = Positions(system.ListWindows(), {w});
            return at[0] == 0;
        }));
    }
    at = Positions(system.ListWindows(), {a, b, c});
    EXPECT_TRUE(at[2] < at[1] && at[1] < at[0]) << testing::PrintToString(at);

    x.SendToRoot(a, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});  // raised by a pager
    EXPECT_TRUE(WaitFor([&] {
        at = Positions(system.ListWindows(), {a, b, c});
        return at[0] < at[2] && at[2] < at[1];
    })) << testing::PrintToString(at);
}

TEST(X11WindowSystem, WindowDestroyedDuringTheSweepIsSkipped) {
    const auto started = StartReadyDesktop();
    ASSERT_TRUE(started) << "no desktop with a working window manager";
    VirtualDesktop& desktop = *started;
    TestClient x(desktop.Display());
    const xcb_window_t a = x.Window("a"), b = x.Window("b"), c = x.Window("c");
    {
        X11WindowSystem plain(On(desktop));
        ASSERT_TRUE(Find(SweepListing(plain, {a, b, c}), c));
    }
    X11WindowSystem::Options options = On(desktop);
    bool listed = false;
    options.afterListRead = [&](const std::vector<WindowHandle>& handles) {
        listed = std::find(handles.begin(), handles.end(), b) != handles.end();
        x.Destroy(b);
        x.Sync();
    };
    X11WindowSystem system(std::move(options));
    const WindowSnapshot s = system.ListWindows();
    EXPECT_TRUE(listed);
    EXPECT_TRUE(s.ok);
    EXPECT_FALSE(Find(s, b));
    ASSERT_TRUE(Find(s, a) && Find(s, c));
    EXPECT_EQ(Find(s, c)->text, "c");
    // The connection carries on untroubled.
    EXPECT_TRUE(system.ListWindows().ok);
    EXPECT_TRUE(system.IsAvailable());
}

TEST(X11WindowSystem, WithoutWindowManagerClientsAreFoundByWmState) {
    const auto started = StartReadyDesktop(false);
    ASSERT_TRUE(started) << "no desktop";
    VirtualDesktop& desktop = *started;
    TestClient x(desktop.Display());
    // Root children, bottom to top.
    const xcb_window_t top = x.Window("top level", [&](xcb_window_t w) { x.SetWmState(w, 1); });
    const xcb_window_t frame = x.Create();
    const xcb_window_t framed = x.Create(frame);
    x.SetText(framed, "WM_NAME", "STRING", "framed");
    x.SetWmState(framed, 1);
    x.Map(framed);
    x.Map(frame);
    const xcb_window_t bare = x.Window("no WM_STATE");
    const xcb_window_t withdrawn =
        x.Window("withdrawn", [&](xcb_window_t w) { x.SetWmState(w, 0); });
    const xcb_window_t iconic = x.Create();  // never mapped: what a manager does to an icon
    x.SetWmState(iconic, 3);
    x.Sync();

    X11WindowSystem system(On(desktop));
    const WindowSnapshot s = system.ListWindows();
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.desktopWindow, x.root);
    EXPECT_EQ(Handles(s), (std::vector<WindowHandle>{iconic, withdrawn, framed, top}));
    EXPECT_FALSE(Find(s, bare));
    EXPECT_TRUE(Find(s, iconic)->visible);
    EXPECT_FALSE(Find(s, withdrawn)->visible);
    EXPECT_TRUE(Find(s, framed)->visible);
    EXPECT_EQ(Find(s, framed)->text, "framed");
    EXPECT_EQ(Find(s, top)->pid, ::getpid());  // from the server, not from the client's word
}

TEST(X11WindowSystem, HostileListsAndTitles) {
    const auto started = StartReadyDesktop(false);
    ASSERT_TRUE(started) << "no desktop";
    VirtualDesktop& desktop = *started;
    TestClient x(desktop.Display());
    const xcb_window_t check = ActAsWindowManager(x);

    const xcb_window_t invalid = x.Window("bad \xff\xfe utf-8 \x01\x1b\t end");
    const xcb_window_t huge = x.Window(std::string(10 * 1024, 'x'));
    const xcb_window_t cut = x.Window(std::string(127, 'a') + "中");
    x.SetCard32(cut, "_NET_WM_PID", XCB_ATOM_CARDINAL, {1});  // the server knows better
    const xcb_window_t latin1 = x.Create();
    uint16_t wide[] = {0x41, 0x42};  // _NET_WM_NAME in a format it never has
    x.Set(latin1, "_NET_WM_NAME", x.Atom("UTF8_STRING"), 16, wide, 2);
    x.SetText(latin1, "WM_NAME", "STRING", "Caf\xe9");
    const xcb_window_t compound = x.Create();
    x.SetText(compound, "WM_NAME", "COMPOUND_TEXT", "\x1b$(A1jLb");
    const xcb_window_t wrongType = x.Create();
    x.SetText(wrongType, "_NET_WM_NAME", "STRING", "not utf8 typed");
    x.SetCard32(wrongType, "_NET_WM_PID", XCB_ATOM_WINDOW, {1});
    const xcb_window_t dead = x.Create();
    x.Destroy(dead);
    // Stored bottom to top, with a window twice, a dead one, the root and nothing.
    x.SetCard32(
        x.root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW,
        {0, x.root, wrongType, compound, latin1, invalid, dead, cut, huge, invalid, latin1});
    x.Sync();

    X11WindowSystem system(On(desktop));
    WindowSnapshot s = system.ListWindows();
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(Handles(s),
              (std::vector<WindowHandle>{latin1, invalid, huge, cut, compound, wrongType}));
    EXPECT_EQ(Find(s, invalid)->text, "bad \xEF\xBF\xBD\xEF\xBF\xBD utf-8 \x01\x1b\t end");
    EXPECT_EQ(Find(s, huge)->text, std::string(128, 'x'));
    EXPECT_EQ(Find(s, cut)->text, std::string(127, 'a'));
    EXPECT_EQ(Find(s, cut)->pid, ::getpid());
    EXPECT_EQ(Find(s, latin1)->text, "Café");
    EXPECT_EQ(Find(s, compound)->text, "标题");
    EXPECT_EQ(Find(s, wrongType)->text, "");
    EXPECT_EQ(Find(s, wrongType)->pid, ::getpid());
    EXPECT_TRUE(Find(s, invalid)->visible);
    EXPECT_FALSE(Find(s, compound)->visible);  // never mapped, and no WM_STATE

    // Our own windows are never reported.
    system.SetOwnPid(::getpid());
    s = system.ListWindows();
    EXPECT_TRUE(s.ok);
    EXPECT_TRUE(s.windows.empty());

    // A window manager that died leaves its list behind: the check window tells.
    system.SetOwnPid(0);
    x.Destroy(check);
    x.Sync();
    s = system.ListWindows();
    EXPECT_TRUE(s.ok);
    EXPECT_TRUE(s.windows.empty()) << "none of these windows has WM_STATE";
}

TEST(X11WindowSystem, AThousandWindowsSomeDestroyedMidSweep) {
    // openbox takes minutes to frame a thousand windows; what matters here is a list that
    // long, so the test writes it itself.
    const auto started = StartReadyDesktop(false);
    ASSERT_TRUE(started) << "no desktop";
    TestClient x(started->Display());
    ActAsWindowManager(x);
    std::vector<xcb_window_t> windows;
    for (int i = 0; i < 1000; ++i) {
        windows.push_back(x.Window("窗口 " + std::to_string(i)));
    }
    x.SetCard32(x.root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW,
                std::vector<uint32_t>(windows.begin(), windows.end()));
    x.Sync();

    X11WindowSystem::Options options = On(*started);
    options.afterListRead = [&](const std::vector<WindowHandle>&) {
        for (std::size_t i = 0; i < windows.size(); i += 3) x.Destroy(windows[i]);
        x.Sync();
    };
    X11WindowSystem system(std::move(options));
    const WindowSnapshot s = system.ListWindows();
    ASSERT_TRUE(s.ok) << s.error;
    std::vector<WindowHandle> expected;
    for (std::size_t i = windows.size(); i-- > 0;) {
        if (i % 3 != 0) expected.push_back(windows[i]);
    }
    EXPECT_EQ(Handles(s), expected);
    for (const WindowInfo& w : s.windows) {
        const auto i = static_cast<std::size_t>(
            std::find(windows.begin(), windows.end(), w.handle) - windows.begin());
        EXPECT_EQ(w.text, "窗口 " + std::to_string(i));
        EXPECT_EQ(w.pid, ::getpid());
        EXPECT_TRUE(w.visible);
    }
}
