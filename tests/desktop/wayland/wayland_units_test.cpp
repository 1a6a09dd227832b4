// The Wayland backend's parts that need no compositor: reading sway's tree, and merging a
// compositor's list with XWayland's.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/merged_window_system.h"
#include "platform/linux/session_titled_windows.h"
#include "platform/linux/shared_native_lister.h"
#include "platform/linux/wayland/compositor_window_list.h"
#include "platform/linux/wayland/sway_tree.h"

using namespace tk;

namespace {

std::vector<std::string> Titles(const std::vector<SwayView>& views) {
    std::vector<std::string> titles;
    for (const SwayView& v : views) titles.push_back(v.title);
    return titles;
}

TEST(SwayTreeTest, ViewsComeMostRecentlyFocusedFirstAcrossWorkspacesAndFloatingWindows) {
    // Workspace 2 was focused last; inside it the floating window, inside 1 the split's "b".
    const std::string tree = R"({"id":1,"type":"root","focus":[3],"nodes":[
      {"id":3,"type":"output","focus":[5,4],"nodes":[
        {"id":4,"type":"workspace","focus":[10,13],"nodes":[
          {"id":10,"type":"con","name":"split","focus":[12,11],"nodes":[
            {"id":11,"type":"con","name":"a","pid":100,"app_id":"foot","shell":"xdg_shell"},
            {"id":12,"type":"con","name":"b","pid":101,"app_id":"foot","shell":"xdg_shell"}]},
          {"id":13,"type":"con","name":"c","pid":102,"app_id":"org.x.C","shell":"xdg_shell"}]},
        {"id":5,"type":"workspace","focus":[21,20],"nodes":[
          {"id":20,"type":"con","name":"xt","pid":200,"app_id":null,"shell":"xwayland",
           "window":4194316,"window_properties":{"class":"XTerm","instance":"xterm"}}],
         "floating_nodes":[
          {"id":21,"type":"floating_con","name":"float","pid":300,"app_id":"f"}]}]}]})";
    auto views = ParseSwayTree(tree);
    ASSERT_TRUE(views);
    EXPECT_EQ(Titles(*views), (std::vector<std::string>{"float", "xt", "b", "a", "c"}));
    const SwayView& xt = (*views)[1];
    EXPECT_TRUE(xt.xwayland);
    EXPECT_EQ(xt.appId, "XTerm");  // the compositor lists an X11 window under its class
    EXPECT_EQ(xt.xWindow, 4194316u);
    EXPECT_EQ(xt.pid, 200);
    EXPECT_FALSE((*views)[2].xwayland);
    EXPECT_EQ((*views)[2].appId, "foot");
}

TEST(SwayTreeTest, BrokenRepliesGiveNothingAndBrokenNodesAreLeftOut) {
    EXPECT_FALSE(ParseSwayTree(""));
    EXPECT_FALSE(ParseSwayTree("[1,2]"));
    EXPECT_FALSE(ParseSwayTree(R"({"nodes":[)"));
    // A node with a pid that is no integer, children that are no objects, focus ids that
    // name nothing or repeat: skipped, the rest read.
    auto views = ParseSwayTree(R"({"type":"root","focus":[9,9,"x",2],"nodes":[
        5, {"id":2,"type":"con","name":"bad","pid":"12"},
        {"id":3,"type":"con","name":"good","pid":-4,"nodes":"no"}]})");
    ASSERT_TRUE(views);
    ASSERT_EQ(views->size(), 1u);
    EXPECT_EQ((*views)[0].title, "good");
    EXPECT_EQ((*views)[0].pid, 0);
    // Nesting far deeper than any real tree is cut off, not followed.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += R"({"type":"con","nodes":[)";
    auto cut = ParseSwayTree(deep + std::string(100000, ']'));
    EXPECT_FALSE(cut && !cut->empty());
}

class FakeLister final : public NativeWindowLister {
public:
    NativeWindowList list{true, {}, {}};
    std::string hint;
    int* calls = nullptr;  // counts the lists taken, when set
    NativeWindowList List() override {
        if (calls != nullptr) ++*calls;
        return list;
    }
    std::string Hint() const override { return hint; }
    void Add(std::string title, std::int64_t pid, bool xwayland = false, std::string exe = {}) {
        NativeWindow w;
        w.info.handle = 1000 + list.windows.size();
        w.info.visible = true;
        w.title = title;
        w.info.text = std::move(title);
        w.info.pid = pid;
        w.info.executable = std::move(exe);
        w.xwayland = xwayland;
        list.windows.push_back(w);
    }
};

class FakeX final : public WindowSystem {
public:
    WindowSnapshot snapshot{true, {}, 1, {}};
    WindowSnapshot ListWindows() override { return snapshot; }
    std::optional<std::string> ExecutableOfProcess(std::int64_t) override { return {}; }
    void Add(std::string title, std::int64_t pid) {
        WindowInfo w;
        w.handle = 50 + snapshot.windows.size();
        w.visible = true;
        w.text = std::move(title);
        w.pid = pid;
        snapshot.windows.push_back(w);
    }
};

struct MergeTest : ::testing::Test {
    static constexpr std::int64_t kOwnPid = 42;
    FakeLister* lister = nullptr;
    FakeX* x = nullptr;
    std::unique_ptr<MergedWindowSystem> merged;
    MergeTest() {
        auto l = std::make_unique<FakeLister>();
        auto xs = std::make_unique<FakeX>();
        lister = l.get();
        x = xs.get();
        merged = std::make_unique<MergedWindowSystem>(std::move(l), std::move(xs), kOwnPid,
                                                      "/opt/tk/tarvokelmora");
    }
    std::vector<std::string> Listed() {
        std::vector<std::string> out;
        for (const WindowInfo& w : merged->ListWindows().windows)
            out.push_back(w.text + "/" + std::to_string(w.pid));
        return out;
    }
};

TEST_F(MergeTest, EachWindowOnceNativeFirstAndNeverTheProgramsOwn) {
    lister->Add("foot", 10);
    lister->Add("xterm", 11, /*xwayland=*/true);        // sway says so
    lister->Add("same title", 12);                      // also in X: the same window
    lister->Add("same title", 13);                      // another process: a window of its own
    lister->Add("no pid", 0, false, "/usr/bin/gedit");  // pid unknown: the title decides
    lister->Add("mine native", kOwnPid);
    lister->Add("mine by path", 0, false, "/opt/tk/tarvokelmora");
    x->Add("xterm", 11);
    x->Add("same title", 12);
    x->Add("no pid", 14);
    x->Add("mine", kOwnPid);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"foot/10", "same title/13", "xterm/11",
                                                  "same title/12", "no pid/14"}));
    EXPECT_TRUE(merged->SeesAllWindows());
    EXPECT_EQ(merged->UnseenWindowsHint(), "");
}

TEST_F(MergeTest, OneSideFailingLeavesTheOther) {
    lister->Add("xterm", 11, /*xwayland=*/true);
    lister->Add("foot", 10);
    x->snapshot = WindowSnapshot{false, "cannot open X display", 0, {}};
    // Without XWayland's list the compositor's word on X11 windows is kept.
    EXPECT_EQ(Listed(), (std::vector<std::string>{"xterm/11", "foot/10"}));
    EXPECT_TRUE(merged->ListWindows().ok);

    x->snapshot = WindowSnapshot{true, {}, 1, {}};
    x->Add("xterm", 11);
    lister->list = NativeWindowList{false, "no compositor", {}};
    lister->hint = "启用扩展";
    EXPECT_EQ(Listed(), (std::vector<std::string>{"xterm/11"}));
    EXPECT_FALSE(merged->SeesAllWindows());
    EXPECT_EQ(merged->UnseenWindowsHint(), "启用扩展");

    x->snapshot = WindowSnapshot{false, "x gone", 0, {}};
    const WindowSnapshot none = merged->ListWindows();
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, "no compositor");
}

class FakeTitledX final : public TitledWindowLister {
public:
    TitledWindowList list;
    TitledWindowList List() override { return list; }
};

std::vector<std::string> Described(const TitledWindowList& list) {
    std::vector<std::string> out;
    for (const TitledWindow& w : list.windows) {
        out.push_back(w.title + "/" + std::to_string(w.pid) + "/" + w.executable);
    }
    return out;
}

TEST(SessionTitledWindowsTest, NativeWindowsWithWholeTitlesThenXWaylandsEachOnce) {
    // Longer than a window's 128 bytes of text: the title readers get it whole.
    const std::string longPath = "/home/u/" + std::string(200, 'd') + "/中文 目录 #1 50% - Thunar";
    auto native = std::make_unique<FakeLister>();
    auto x = std::make_unique<FakeTitledX>();
    FakeLister* n = native.get();
    FakeTitledX* xs = x.get();
    n->Add(longPath, 10);
    n->list.windows.back().info.text = longPath.substr(0, 128);
    n->Add("/tmp/x - Thunar", 11, /*xwayland=*/true);              // sway says it is X11's
    n->Add("/srv - Nemo", 12);                                      // X lists it too
    n->Add("/srv - Nemo", 13);                                      // another process
    n->Add("/opt - Thunar", 0, false, "/usr/bin/thunar");           // found by its app id
    n->Add("/var - Thunar", 0, false, "/usr/bin/thunar");           // pid unknown, title in X
    xs->list.windows = {{"/tmp/x - Thunar", 11, ""}, {"/srv - Nemo", 12, ""}, {"/var - Thunar", 14, ""}};
    SessionTitledWindows titled(std::move(native), std::move(x));

    TitledWindowList listed = titled.List();
    EXPECT_TRUE(listed.ok);
    EXPECT_EQ(Described(listed),
              (std::vector<std::string>{longPath + "/10/", "/srv - Nemo/13/", "/opt - Thunar/0//usr/bin/thunar",
                                        "/tmp/x - Thunar/11/", "/srv - Nemo/12/", "/var - Thunar/14/"}));

    // XWayland broken: the compositor's word on X11 windows is kept, and the failure told.
    xs->list = TitledWindowList{false, "x gone", {}};
    listed = titled.List();
    EXPECT_FALSE(listed.ok);
    EXPECT_EQ(listed.error, "x gone");
    EXPECT_EQ(listed.windows.size(), 6u);

    // A compositor that cannot be asked leaves XWayland's windows, and no failure here: the
    // window backend tells the user.
    xs->list = TitledWindowList{true, {}, {{"/tmp/x - Thunar", 11, ""}}};
    n->list = NativeWindowList{false, "no compositor", {}};
    listed = titled.List();
    EXPECT_TRUE(listed.ok);
    EXPECT_EQ(Described(listed), (std::vector<std::string>{"/tmp/x - Thunar/11/"}));

    SessionTitledWindows nothing(nullptr, nullptr);
    EXPECT_TRUE(nothing.List().ok);
    EXPECT_TRUE(nothing.List().windows.empty());
}

TEST(SharedNativeListerTest, ASweepsTwoAskersShareOneListButNeverReuseTheirOwn) {
    struct Case {
        std::chrono::milliseconds fresh;
        std::string asks;  // who asks, in order: t(itles) or w(indows)
        int lists;         // lists taken from the compositor
    };
    const std::vector<Case> cases = {
        {std::chrono::hours(1), "tw", 1},      // one sweep
        {std::chrono::hours(1), "twtwtw", 3},  // one per sweep
        {std::chrono::hours(1), "tttw", 3},    // titles alone: each time; the windows share
        {std::chrono::hours(1), "wtwt", 2},
        {std::chrono::milliseconds(0), "tw", 2},  // stale: asked again
    };
    for (const Case& c : cases) {
        int calls = 0;
        auto lister = std::make_unique<FakeLister>();
        lister->calls = &calls;
        lister->hint = "启用扩展";
        lister->Add("foot", 10);
        std::unique_ptr<NativeWindowLister> titles;
        std::unique_ptr<NativeWindowLister> windows;
        {
            SharedNativeLister shared(std::move(lister), c.fresh);
            titles = shared.Asker();
            windows = shared.Asker();
        }  // the askers keep the compositor's lister
        for (char who : c.asks) {
            const NativeWindowList list = (who == 't' ? titles : windows)->List();
            ASSERT_EQ(list.windows.size(), 1u) << c.asks;
            EXPECT_EQ(list.windows[0].title, "foot");
        }
        EXPECT_EQ(calls, c.lists) << c.asks;
        EXPECT_EQ(windows->Hint(), "启用扩展");
    }
}

TEST(MergeWithoutListerTest, OnlyX11WindowsAndTheUserIsToldWhy) {
    auto x = std::make_unique<FakeX>();
    x->Add("xterm", 11);
    MergedWindowSystem merged(nullptr, std::move(x), 0, "");
    EXPECT_EQ(merged.ListWindows().windows.size(), 1u);
    EXPECT_FALSE(merged.SeesAllWindows());
    EXPECT_NE(merged.UnseenWindowsHint(), "");
}

}  // namespace

namespace {

TEST(CompositorWindowListTest, TopFirstWithOwnersToolWindowsAndTruncatedTitles) {
    // Script engines send numbers as doubles; an owner may be off the list.
    const std::string longTitle(100, 'x');
    auto windows = ParseCompositorWindows(R"([
        {"id":"a","title":"bottom","pid":10.0,"stacking":0,"normal":true},
        {"id":"b","title":"dialog of a","pid":10,"stacking":5,"normal":false,"dialog":true,
         "transientFor":"a"},
        {"id":"c","title":"panel","pid":11,"stacking":9,"normal":false},
        {"id":"d","title":"skipped","pid":12,"stacking":3,"skipTaskbar":true},
        {"id":"e","title":"orphan","pid":13,"stacking":4,"transientFor":"gone","x11":true},
        {"id":"f","title":")" + longTitle +
                                          "窗口" + longTitle + R"(","pid":-5,"stacking":1}])");
    ASSERT_TRUE(windows);
    const std::vector<NativeWindow> native = ToNativeWindows(*windows, 1000);
    std::vector<std::string> titles;
    for (const NativeWindow& w : native) titles.push_back(w.info.text.substr(0, 12));
    EXPECT_EQ(titles, (std::vector<std::string>{"panel", "dialog of a", "orphan", "skipped",
                                                "xxxxxxxxxxxx", "bottom"}));
    EXPECT_TRUE(native[0].info.toolWindow);  // neither normal nor dialog
    EXPECT_FALSE(native[1].info.toolWindow);
    EXPECT_EQ(native[1].info.owner, 1000u);  // "a", the first listed
    EXPECT_NE(native[2].info.owner, 0u);     // owned, though its owner is not listed
    EXPECT_TRUE(native[2].xwayland);
    EXPECT_TRUE(native[3].info.toolWindow);  // kept off the task bar
    EXPECT_LE(native[4].info.text.size(), 128u);
    EXPECT_EQ(native[4].info.pid, 0);
    EXPECT_EQ(native[5].info.pid, 10);
    EXPECT_EQ(native[5].info.owner, 0u);
}

TEST(CompositorWindowListTest, OnlyAnArrayIsAList) {
    EXPECT_FALSE(ParseCompositorWindows(""));
    EXPECT_FALSE(ParseCompositorWindows("{}"));
    EXPECT_FALSE(ParseCompositorWindows("[{\"id\":"));
    auto mixed = ParseCompositorWindows(R"([1,"x",null,{"title":7,"pid":"9","minimized":"yes"}])");
    ASSERT_TRUE(mixed);
    ASSERT_EQ(mixed->size(), 1u);
    EXPECT_EQ((*mixed)[0].title, "");
    EXPECT_EQ((*mixed)[0].pid, 0);
    EXPECT_FALSE((*mixed)[0].minimized);
}

}  // namespace
