// Native Wayland windows and XWayland windows side by side on a real headless sway and labwc:
// what the sweep records of each, through sway's IPC and through the plain toplevel list.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "desktop/file_icons.h"
#include "desktop/path_dialect.h"
#include "detection/sweep.h"
#include "test_history.h"
#include "platform/linux/merged_window_system.h"
#include "platform/linux/posix/files.h"
#include "platform/linux/posix/posix_file_system.h"
#include "platform/linux/posix/user_folders.h"
#include "platform/linux/wayland/foreign_toplevels.h"
#include "platform/linux/wayland/wlroots_window_lister.h"
#include "platform/linux/x11/x11_window_system.h"
#include "require.h"
#include "wlroots_session.h"
#include "virtual_desktop.h"

using namespace tk;
using tk::test::WlrootsSession;
using tk::test::WaitFor;

namespace {

class NoShellWindows final : public ShellWindows {
public:
    ShellWindowsResult List() override { return {}; }
};

class NoIcons final : public FileIcons {
public:
    std::optional<FileIcon> IconOf(const std::string&) override { return std::nullopt; }
};

int CountTitled(const WindowSnapshot& snapshot, const std::string& title) {
    return static_cast<int>(std::count_if(snapshot.windows.begin(), snapshot.windows.end(),
                                          [&](const WindowInfo& w) { return w.text == title; }));
}

class SwayDesktopTest : public ::testing::Test {
protected:
    virtual WlrootsSession::Compositor Compositor() const { return WlrootsSession::Compositor::Sway; }

    void SetUp() override {
        const bool sway = Compositor() == WlrootsSession::Compositor::Sway;
#ifndef TK_HAVE_LABWC
        if (!sway) GTEST_SKIP() << "labwc is not packaged for this release";
#endif
        for (const char* tool : {sway ? "sway" : "labwc", "Xwayland", "foot", "xterm"}) {
            TK_REQUIRE_TOOL(tool);
        }
        if (sway) TK_REQUIRE_TOOL("swaymsg");
        m_sway = std::make_unique<WlrootsSession>(Compositor());
        ASSERT_TRUE(m_sway->Ok()) << m_sway->Error();
        m_sway->ApplyToEnvironment();
    }

    // A foot and an xterm, each with a title of its own, once both are on screen.
    void StartBoth(WindowSystem& windows) {
        m_foot = m_sway->Spawn({"foot", "--title", kFootTitle, "--", "sleep", "600"});
        m_xterm = m_sway->Spawn({"xterm", "-T", kXtermTitle, "-e", "sleep", "600"});
        ASSERT_GT(m_foot, 0);
        ASSERT_GT(m_xterm, 0);
        ASSERT_TRUE(WaitFor(
            [&] {
                const WindowSnapshot s = windows.ListWindows();
                return CountTitled(s, kFootTitle) > 0 && CountTitled(s, kXtermTitle) > 0;
            },
            30000))
            << "foot and xterm never both showed";
    }

    static constexpr const char* kFootTitle = "tk-foot-window";
    static constexpr const char* kXtermTitle = "tk-xterm-window";
    std::unique_ptr<WlrootsSession> m_sway;
    pid_t m_foot = -1;
    pid_t m_xterm = -1;

    // The session's own window list sees both; the sweep records each once and forgets
    // neither when they close.
    void RecordsNativeAndXWaylandWindowsOnceEach();
};

void SwayDesktopTest::RecordsNativeAndXWaylandWindowsOnceEach() {
    std::unique_ptr<WindowSystem> windows = CreateSessionWindowSystem();
    EXPECT_TRUE(windows->SeesAllWindows());
    StartBoth(*windows);

    const WindowSnapshot snapshot = windows->ListWindows();
    ASSERT_TRUE(snapshot.ok) << snapshot.error;
    // The xterm is in the compositor's list and in XWayland's: reported once.
    EXPECT_EQ(CountTitled(snapshot, kFootTitle), 1);
    EXPECT_EQ(CountTitled(snapshot, kXtermTitle), 1);
    for (const WindowInfo& w : snapshot.windows) {
        if (w.text == kFootTitle && Compositor() == WlrootsSession::Compositor::Sway) {
            EXPECT_EQ(w.pid, m_foot);
        } else if (w.text == kFootTitle) {
            // No pid from the plain list: the desktop entry of foot's app id names it.
            EXPECT_EQ(w.executable, ProcessExecutable(m_foot).value_or("(foot has ended)"));
        } else if (w.text == kXtermTitle) {
            EXPECT_EQ(w.pid, m_xterm);
        }
    }
    EXPECT_TRUE(windows->SeesAllWindows());

    PosixPathDialect dialect(xdg::HomeDir());
    PosixFileSystem files;
    NoIcons icons;
    NoShellWindows shell;
    tk::test::TestHistory history(dialect, files, icons);
    Sweep sweep(history.records(), files, *windows, shell, history.diagnostics);
    sweep.CheckOpenDocs();
    const std::string foot = ProcessExecutable(m_foot).value_or("(foot has ended)");
    const std::string xterm = ProcessExecutable(m_xterm).value_or("(xterm has ended)");
    std::vector<std::pair<std::string, std::string>> recorded;
    for (const TMyDoc& doc : history.DocHistory()) {
        EXPECT_EQ(doc.DocType, kDocTypeProgram) << doc.Location;
        recorded.emplace_back(doc.Location, doc.Title);
    }
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(recorded,
              (std::vector<std::pair<std::string, std::string>>{{foot, "foot"}, {xterm, "xterm"}}));
    EXPECT_TRUE(sweep.IsDocOpen(foot));
    EXPECT_TRUE(sweep.IsDocOpen(xterm));

    m_sway->Kill(m_foot);
    m_sway->Kill(m_xterm);
    ASSERT_TRUE(WaitFor([&] {
        const WindowSnapshot s = windows->ListWindows();
        return s.ok && CountTitled(s, kFootTitle) == 0 && CountTitled(s, kXtermTitle) == 0;
    }));
    sweep.CheckOpenDocs();
    EXPECT_EQ(history.DocHistory().size(), 2u);
    EXPECT_FALSE(sweep.IsDocOpen(foot));
    EXPECT_FALSE(sweep.IsDocOpen(xterm));
}

TEST_F(SwayDesktopTest, NativeAndXWaylandWindowsAreRecordedOnceEachAndClosingChangesNothing) {
    RecordsNativeAndXWaylandWindowsOnceEach();
}

// labwc offers only the plain toplevel list, which names no process.
class LabwcDesktopTest : public SwayDesktopTest {
protected:
    WlrootsSession::Compositor Compositor() const override { return WlrootsSession::Compositor::Labwc; }
};

TEST_F(LabwcDesktopTest, NativeAndXWaylandWindowsAreRecordedOnceEachAndClosingChangesNothing) {
    RecordsNativeAndXWaylandWindowsOnceEach();
}

TEST_F(SwayDesktopTest, WithoutSwaysIpcTheDesktopEntryNamesTheProgram) {
    // Any wlroots compositor but sway: no pid, so foot's app id leads to foot.desktop; the
    // xterm, listed by the compositor under its class, is recognised in XWayland's list by title.
    X11WindowSystem::Options x11;
    MergedWindowSystem windows(
        std::make_unique<WlrootsWindowLister>(WlrootsWindowLister::Options{}),
        std::make_unique<X11WindowSystem>(x11), ::getpid(), RunningExecutablePath());
    StartBoth(windows);
    const WindowSnapshot snapshot = windows.ListWindows();
    EXPECT_EQ(CountTitled(snapshot, kFootTitle), 1);
    EXPECT_EQ(CountTitled(snapshot, kXtermTitle), 1);
    for (const WindowInfo& w : snapshot.windows) {
        if (w.text == kFootTitle) {
            EXPECT_EQ(w.pid, 0);
            EXPECT_EQ(w.executable, ProcessExecutable(m_foot).value_or("(foot has ended)"));
        }
        if (w.text == kXtermTitle) {
            EXPECT_EQ(w.pid, m_xterm);
        }
    }
}

TEST_F(SwayDesktopTest, TheMostRecentlyFocusedWindowComesFirst) {
    WlrootsWindowLister::Options options;
    options.swaySocket = m_sway->SwaySocket();
    WlrootsWindowLister lister(options);
    const pid_t first = m_sway->Spawn({"foot", "--title", "tk-first", "--", "sleep", "600"});
    const pid_t second = m_sway->Spawn({"foot", "--title", "tk-second", "--", "sleep", "600"});
    auto titles = [&] {
        std::vector<std::string> shown;
        for (const NativeWindow& w : lister.List().windows) shown.push_back(w.info.text);
        return shown;
    };
    ASSERT_TRUE(WaitFor([&] { return titles().size() == 2; }, 30000));
    for (pid_t focused : {first, second, first}) {
        ASSERT_TRUE(m_sway->Message({"[pid=" + std::to_string(focused) + "]", "focus"}));
        const std::string expected = focused == first ? "tk-first" : "tk-second";
        EXPECT_TRUE(WaitFor([&] { return titles().front() == expected; }))
            << "focused " << expected << ", listed first: " << titles().front();
    }
}

TEST_F(SwayDesktopTest, AGoneCompositorIsAFailedListingNotAHang) {
    const std::string socket = m_sway->WaylandSocket();
    m_sway.reset();
    const ForeignToplevelList listed = ReadForeignToplevels(socket);
    EXPECT_FALSE(listed.ok);
    EXPECT_FALSE(listed.error.empty());
}

}  // namespace
