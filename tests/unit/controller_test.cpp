#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "controller/app_controller.h"
#include "controller_fakes.h"
#include "controller_insides.h"
#include "desktop/path_dialect.h"
#include "fakes.h"
#include "recorded_diagnostics.h"

namespace {

using namespace tk;
using namespace tk::test;
namespace fs = std::filesystem;

// A writer the test runs by hand: what the thread would do, when the test says.
class ManualWriter : public JobRunner {
public:
    std::vector<std::function<void()>> jobs;
    int submitted = 0, flushes = 0;
    void Submit(std::function<void()> job) override {
        ++submitted;
        jobs.assign(1, std::move(job));  // a waiting job gives way to the newer one
    }
    void Flush() override {
        ++flushes;
        RunAll();
    }
    void RunAll() {
        for (auto& job : jobs) job();
        jobs.clear();
    }
};

// One program's worth of controller over fakes of the desktop and of the window.
class ControllerTest : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("tk-controller-" + std::to_string(::getpid()));
    std::string path = (dir / "defualt.ini").string();
    PosixPathDialect dialect{"/home/u"};
    FakeFileSystem files;
    FakeFileIcons icons;
    FakeWindowSystem windows;
    FakeShellWindows shellWindows;
    FakeShell shell;
    FakeAutoRunStore autoRun;
    FakeTimers timers;
    FakeView view;
    FakeWebPort web;
    RecordedDiagnostics diagnostics;
    // The threads, when a test gives them; declared before the controller, which outlives
    // neither.
    ManualWriter manualWriter, manualSweeps;
    JobRunner* writer = nullptr;
    JobRunner* sweepThread = nullptr;
    int probeThreads = 0;
    std::unique_ptr<AppController> controller;

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override {
        controller.reset();
        fs::remove_all(dir);
    }
    void WriteIni(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string ReadIni() {
        std::ifstream in(path, std::ios::binary);
        std::stringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // Makes the controller, attaches the window and runs its creation, as a window does.
    void Start(bool deferHistory = true, bool withAutoRun = false) {
        ControllerDeps deps{dialect, files, icons, windows, shellWindows, shell, diagnostics, path, path,
                            withAutoRun ? &autoRun : nullptr, "/opt/tk/tarvokelmora"};
        deps.webSite = "http://site.test";
        deps.deferHistoryLoad = deferHistory;
        deps.saveWriter = writer;
        deps.sweepThread = sweepThread;
        deps.probeThreads = probeThreads;
        controller = std::make_unique<AppController>(deps, timers);
        controller->Attach(view, &web);
        controller->FormCreate();
    }
};

TEST_F(ControllerTest, WholeRunFromStartToSave) {
    files.files = {"/usr/bin/xterm"};
    WriteIni("[default]\nCheckDocInterval=30000\nActivePageIndex=2\nwidth=600\nheight=400\n"
             "[docs]\npath0=http://a.com/x\nname0=x\n");
    view.frame = 12;  // a window manager's frame
    Start();
    // Settings reach the widgets and the sweep timer; the history waits for the first frame.
    EXPECT_EQ(view.CheckTime(), 30);
    EXPECT_EQ(timers["TimerCheckDocs"].interval, 30000u);
    EXPECT_EQ(view.Page(), 2);
    // A stored size always opens at 500 x 480, frame included.
    EXPECT_EQ(view.WindowWidth(), 500);
    EXPECT_EQ(view.WindowHeight(), 480);
    EXPECT_EQ(view.left, 1024 - 500 - 30);  // placed against the screen's corner
    EXPECT_EQ(view.top, 768 - 480 - 40);
    EXPECT_TRUE(controller->Records().DocHistory().empty());
    EXPECT_TRUE(timers["TimerFirstRun"].enabled);

    controller->AfterFirstFrame();
    ASSERT_EQ(controller->Records().DocHistory().size(), 1u);
    EXPECT_TRUE(controller->Records().IsFilteredDoc("C:\\logon.scr"));
    EXPECT_EQ(web.created, 0);  // the browser comes one turn later
    timers.RunPosted();
    EXPECT_EQ(web.created, 1);

    // The first run sweeps and asks the strip for its first page.
    windows.Add(7, "terminal", "/usr/bin/xterm");
    timers["TimerFirstRun"].Fire();
    EXPECT_FALSE(timers["TimerFirstRun"].enabled);
    EXPECT_TRUE(controller->Records().DocExists("/usr/bin/xterm"));
    EXPECT_EQ(web.navigations, std::vector<std::string>{"http://site.test/kelmora/first/"});

    // The sweep timer records what opened since.
    shellWindows.result.windows = {{"http://b.org/page", true}};
    timers["TimerCheckDocs"].Fire();
    EXPECT_TRUE(controller->Records().DocExists("http://b.org/page"));

    // "No" keeps the program; the last sweep and the exit page ran all the same.
    shellWindows.result.windows = {{"http://c.org/last", true}};
    view.answers = {false};
    EXPECT_FALSE(controller->CloseRequested());
    EXPECT_EQ(view.messages, std::vector<std::string>{"要退出系统吗?"});
    EXPECT_TRUE(controller->Records().DocExists("http://c.org/last"));
    EXPECT_EQ(web.navigations.back(), "http://site.test/kelmora/next/");
    EXPECT_EQ(view.ends, 0);
    EXPECT_TRUE(controller->CloseRequested());
    EXPECT_EQ(view.ends, 1);

    controller->TVAllDocsChange(3);
    controller->FormDestroy();
    controller->FormDestroy();  // once only
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("ActivePageIndex=3\n"), std::string::npos);
    EXPECT_NE(ini.find("CheckDocInterval=30000\n"), std::string::npos);
    EXPECT_NE(ini.find("width=500\nheight=480\n"), std::string::npos) << ini;
    for (const char* entry : {"http://a.com/x", "/usr/bin/xterm", "http://b.org/page", "http://c.org/last"}) {
        EXPECT_NE(ini.find(entry), std::string::npos) << entry;
    }
}

TEST_F(ControllerTest, EndingBeforeTheFirstFrameStillSavesTheWholeHistory) {
    WriteIni("[docs]\npath0=http://a.com/x\nname0=x\npath1=http://a.com/y\nname1=y\n");
    Start();
    controller->Detach();  // the window goes: the history is saved with it
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("path0=http://a.com/x"), std::string::npos);
    EXPECT_NE(ini.find("path1=http://a.com/y"), std::string::npos);
}

TEST_F(ControllerTest, SettingsWidgetsRunTheirRulesOnlyOnAChange) {
    WriteIni("[default]\nCbRefresh=0\nCheckDocInterval=500000\n");
    Start(false);
    EXPECT_FALSE(view.BoxChecked(SettingsBox::Refresh));
    EXPECT_FALSE(timers["TimerCheckDocs"].enabled);  // the box's rule ran
    EXPECT_EQ(view.CheckTime(), 100);                // clamped
    EXPECT_EQ(timers["TimerCheckDocs"].interval, 100000u);

    // The user's ticks reach the sweep timer; a sweep with the box off does nothing.
    controller->SettingsBoxClick(SettingsBox::Refresh, true);
    EXPECT_TRUE(timers["TimerCheckDocs"].enabled);
    const int restarts = timers["TimerCheckDocs"].restarts;
    controller->SbCheckTimeChange(100);  // the interval it has: the countdown goes on
    EXPECT_EQ(timers["TimerCheckDocs"].restarts, restarts);
    controller->SbCheckTimeChange(15);
    EXPECT_EQ(view.CheckTime(), 15);
    EXPECT_EQ(timers["TimerCheckDocs"].interval, 15000u);
    controller->SbCheckTimeChange(500);  // clamped both ways
    EXPECT_EQ(timers["TimerCheckDocs"].interval, 100000u);
    controller->SbCheckTimeChange(-1);
    EXPECT_EQ(timers["TimerCheckDocs"].interval, 10000u);
    EXPECT_EQ(CheckTimeLabel(37), "每37秒刷新一次");
    // The box off: the sweep timer stops, and a due sweep would do nothing.
    controller->SettingsBoxClick(SettingsBox::Refresh, false);
    EXPECT_FALSE(timers["TimerCheckDocs"].enabled);

    controller->Do(forms::Action::OnTop, true);
    EXPECT_TRUE(view.onTop);
}

TEST_F(ControllerTest, SlideOutAndBackCountsItsOwnSteps) {
    Start(false);
    view.shown = true;
    view.width = 500, view.height = 480;
    controller->PlaceAtStart();
    EXPECT_EQ(view.left, 494);
    controller->TrayIconClick();
    EXPECT_EQ(view.trayCaption, "打开Kelmora");
    controller->TrayIconClick();  // ignored while sliding
    int ticks = 0;
    while (timers["timerHide"].enabled && ticks < 1000) timers["timerHide"].Fire(), ++ticks;
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(ticks, (1024 - 494 + 14) / 15 + 1);

    controller->BringIn();  // a second start brings a hidden window in
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(view.trayCaption, "隐藏Kelmora");
    EXPECT_EQ(view.left, 1024);
    EXPECT_EQ(view.top, 768 - 50 - 480);
    ticks = 0;
    while (timers["timerShow"].enabled && ticks < 1000) timers["timerShow"].Fire(), ++ticks;
    EXPECT_EQ(ticks, 36);
    EXPECT_EQ(view.left, 499);
    EXPECT_FALSE(timers["timerShow"].enabled);
}

TEST_F(ControllerTest, StartUpReopeningAsksWaitsAndSkipsWhatIsOpen) {
    WriteIni("[default]\nRunSelectDoc=1\nQueryAutoRunDoc=1\n[docs]\n"
             "path0=http://a.com/x\nname0=x\nselected0=1\n"
             "path1=https://a.com/y\nname1=y\nselected1=1\n"
             "path2=http://a.com/z\nname2=z\n"
             "path3=file:///home/u/C# notes\nname3=/home/u/C# notes\ndoctype3=3\nselected3=1\n");
    files.dirs = {"/home/u/C# notes"};
    Start();
    controller->AfterFirstFrame();
    shellWindows.result.windows = {{"http://a.com/x", true}};
    timers["TimerCheckDocs"].Fire();
    view.onStartDialog = [&] { EXPECT_TRUE(shell.calls.empty()); };
    shell.calls.clear();
    timers["TimerFirstRun"].Fire();
    EXPECT_EQ(view.startDialogs, 1);
    EXPECT_EQ(timers.waits, (std::vector<int>{100, 100, 100}));
    // The open page is not opened again; the others open as stored: a page keeps its own
    // scheme, a folder keeps its raw location.
    EXPECT_EQ(shell.calls,
              (std::vector<std::string>{
                  "Execute(0,\"open\",\"Explorer.exe\",\"https://a.com/y\",NULL,1)",
                  "Execute(0,\"open\",\"file:///home/u/C# notes\",NULL,NULL,5)"}));
    EXPECT_EQ(view.hint.rfind("正在打开", 0), 0u);
}

TEST_F(ControllerTest, WebStripChecksTheLoadedPage) {
    Start(false);
    controller->WebStrip().Navigate("http://site.test/early");  // before the browser: kept
    controller->AfterFirstFrame();
    timers.RunPosted();
    EXPECT_EQ(web.navigations, std::vector<std::string>{"http://site.test/early"});

    FakeTimer& check = timers["TimerCheckBrowser"];
    check.enabled = false;
    web.location = "http://site.test/kelmora/";
    web.body = "<body>新闻</body>";
    const int restarts = check.restarts;
    controller->WebStrip().NavigateComplete();
    EXPECT_TRUE(check.enabled);
    controller->WebStrip().NavigateComplete();  // two within the second make one check
    EXPECT_EQ(check.restarts, restarts + 1);
    check.Fire();
    EXPECT_FALSE(check.enabled);
    ASSERT_EQ(web.placements.size(), 1u);
    EXPECT_EQ(web.placements[0].kind, BrowserPlacement::Kind::OverStrip);
    EXPECT_EQ(web.placements[0].width, 608);

    web.body = "<BODY>Not Found</BODY>";
    check.enabled = true;
    check.Fire();
    EXPECT_EQ(web.placements.back().kind, BrowserPlacement::Kind::OutOfView);
    // Offline under another language: the engine's error page has none of the markers, but
    // the load failed.
    web.body = "<body>Hmm. We're having trouble finding that site.</body>";
    web.loaded = false;
    check.enabled = true;
    check.Fire();
    ASSERT_EQ(web.placements.size(), 3u);
    EXPECT_EQ(web.placements.back().kind, BrowserPlacement::Kind::OutOfView);
    web.location.clear();  // nothing loaded: nothing moves
    check.enabled = true;
    check.Fire();
    EXPECT_EQ(web.placements.size(), 3u);

    timers["TimerCheckRadom"].Fire();
    EXPECT_EQ(web.navigations.size(), 2u);
    shell.calls.clear();
    controller->Do(forms::Action::Home);
    controller->Do(forms::Action::AboutSite);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{
                               "Execute(0,\"open\",\"Explorer.exe\",\"http://site.test/\",NULL,1)",
                               "Execute(0,\"open\",\"Explorer.exe\",\"http://site.test\",NULL,1)"}));
}

TEST_F(ControllerTest, NoBrowserOnThisDesktopLeavesTheBanner) {
    web.available = false;
    Start(false);
    controller->AfterFirstFrame();
    timers.RunPosted();
    timers["TimerFirstRun"].Fire();
    timers["TimerCheckBrowser"].Fire();
    EXPECT_TRUE(web.navigations.empty());
    EXPECT_TRUE(web.placements.empty());
}

TEST_F(ControllerTest, LogOffAsksTheCloseQuestion) {
    Start(false);
    view.answers = {false, true};
    EXPECT_FALSE(controller->CommitData());
    EXPECT_TRUE(controller->CommitData());
    EXPECT_EQ(view.ends, 0);  // the session manager ends the program, not the question
    controller->Do(forms::Action::Exit);
    EXPECT_EQ(view.ends, 1);
    EXPECT_EQ(shellWindows.calls, 2);  // the tray's exit asks without sweeping
}

TEST_F(ControllerTest, StartAtLogOnFollowsTheStore) {
    autoRun.entries["TarvoKelmora"] = "/old/place/tarvokelmora";
    Start(false, true);
    // A present registration ticks the box and is written again for this executable.
    EXPECT_TRUE(view.shownSettings.autoRun);
    EXPECT_EQ(autoRun.entries["TarvoKelmora"], "/opt/tk/tarvokelmora");
    // A refused removal leaves the box showing what the store holds.
    autoRun.refuseRemoves = true;
    view.shownSettings.autoRun = false;
    controller->Do(forms::Action::AutoRun, false);
    EXPECT_TRUE(view.shownSettings.autoRun);
}

TEST_F(ControllerTest, TreesDropsAndRemovals) {
    files.files = {"/usr/bin/a"};
    files.dirs = {"/home/u/Data"};
    WriteIni("[docs]\npath0=/usr/bin/a\nname0=a\ndoctype0=2\npath1=file:///home/u/Data\nname1=x\n");
    Start();
    // A drop before the first frame registers the stored history first.
    EXPECT_TRUE(controller->DropFiles({"  /home/u/报告.txt ", "/home/u/报告.txt"}));
    ASSERT_EQ(controller->Records().DocHistory().size(), 3u);
    EXPECT_EQ(controller->Records().DocHistory()[2].Location, "file:///home/u/报告.txt");
    EXPECT_EQ(shell.calls, std::vector<std::string>{"MessageBeep()"});
    // The last dropped name is the current text: Enter opens it, not an earlier pick.
    EXPECT_EQ(ControllerInsides(*controller).CurDocText(), "/home/u/报告.txt");
    controller->TreeKeyDown(TreeKey::Enter);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_NE(shell.calls[1].find("/home/u/报告.txt"), std::string::npos) << shell.calls[1];

    // 软件 opens at the first click and has no double-click; the others pick, then open.
    shell.calls.clear();
    (*controller->TreeOfPage(1)).SetCurrent((*controller->TreeOfPage(1)).Top(0));
    controller->TreeClick(1);
    controller->TreeDblClick(1);
    EXPECT_EQ(shell.calls.size(), 1u);

    controller->TVAllDocsChange(4);  // the system page: nothing to delete
    controller->Do(forms::Action::DeleteSelected);
    EXPECT_EQ(controller->Records().DocHistory().size(), 3u);
    controller->TVAllDocsChange(1);
    controller->Do(forms::Action::DeleteSelected);
    EXPECT_EQ(controller->Records().DocHistory().size(), 2u);
    EXPECT_EQ(ReadIni().find("/usr/bin/a"), std::string::npos);  // written at once
    controller->Do(forms::Action::DeleteAllDocs);
    EXPECT_TRUE(controller->Records().DocHistory().empty());

    controller->OpenTarget(kCsidlDrives);
    controller->OpenTarget(forms::kMoreFolders);
    controller->Do(forms::Action::AboutUs);
    controller->Do(forms::Action::HelpDoc);
    EXPECT_EQ(shell.calls.back(), "OpenSpecialFolder(17,0)");
    EXPECT_EQ(view.menus + view.abouts + view.helps, 3);
}

TEST_F(ControllerTest, DetachedControllerSendsNothingToTheWindow) {
    Start(false);
    controller->AfterFirstFrame();
    controller->Detach();
    for (const auto& [name, timer] : timers.byName) EXPECT_FALSE(timer->enabled) << name;
    timers.RunPosted();  // the browser that was on its way is not made
    EXPECT_EQ(web.created, 0);
    controller->WebStrip().Navigate("http://site.test/late");
    EXPECT_TRUE(web.navigations.empty());
}

TEST(Slide, GeometryAndStateTable) {
    tk::SlideController slide;
    // 500 x 480 on 1024 x 768: opens at (494, 248), comes back in at (499, 238).
    EXPECT_EQ(tk::SlideController::StartLeft(1024, 500), 494);
    EXPECT_EQ(tk::SlideController::StartTop(768, 480), 248);
    EXPECT_EQ(slide.MenuCaption(), "隐藏Kelmora(&S)");

    EXPECT_EQ(slide.Toggle(true), tk::SlideController::Action::StartHide);
    EXPECT_EQ(slide.MenuCaption(), "打开Kelmora");
    EXPECT_EQ(slide.Toggle(true), tk::SlideController::Action::None);  // ignored while sliding
    int left = 494, next = 0, steps = 0;
    while (slide.HideStep(left, 1024, next)) left = next, ++steps;
    EXPECT_EQ(left, 1034);
    EXPECT_FALSE(slide.Sliding());

    EXPECT_EQ(slide.Toggle(false), tk::SlideController::Action::StartShow);
    EXPECT_EQ(slide.MenuCaption(), "隐藏Kelmora");
    left = tk::SlideController::ShowLeft(1024);
    steps = 0;
    while (slide.ShowStep(left, 1024, 500, next)) left = next, ++steps;
    EXPECT_EQ(left, 499);
    EXPECT_EQ(steps, 35);
    EXPECT_EQ(tk::SlideController::ShowTop(768, 480), 238);

    // A window already beyond the right edge hides at the first tick without moving.
    slide.Toggle(true);
    EXPECT_FALSE(slide.HideStep(1100, 1024, next));
    EXPECT_EQ(next, 1100);
}

}  // namespace

// ---- saving soon after a change ------------------------------------------------------------


TEST_F(ControllerTest, AChangeIsSavedAFewSecondsLaterOncePerBurst) {
    files.files = {"/usr/bin/xterm", "/usr/bin/gimp"};
    WriteIni("[docs]\npath0=http://a.com/x\nname0=x\n");
    Start();
    controller->AfterFirstFrame();
    FakeTimer& save = timers["TimerSave"];
    EXPECT_EQ(save.interval, kSaveDelayMs);
    EXPECT_FALSE(save.enabled);  // loading the history is no change

    windows.Add(7, "terminal", "/usr/bin/xterm");
    timers["TimerFirstRun"].Fire();
    EXPECT_TRUE(save.enabled);
    windows.Add(8, "paint", "/usr/bin/gimp");
    timers["TimerCheckDocs"].enabled = true;
    timers["TimerCheckDocs"].Fire();
    EXPECT_EQ(save.restarts, 1);  // the burst rides on the first countdown
    EXPECT_EQ(ReadIni().find("/usr/bin/xterm"), std::string::npos);

    save.Fire();
    EXPECT_FALSE(save.enabled);
    const std::string ini = ReadIni();
    for (const char* entry : {"http://a.com/x", "/usr/bin/xterm", "/usr/bin/gimp"}) {
        EXPECT_NE(ini.find(entry), std::string::npos) << entry;
    }
    timers["TimerCheckDocs"].Fire();  // nothing new: no save
    EXPECT_FALSE(save.enabled);

    // A settings change is a change too.
    controller->SbCheckTimeChange(30);
    EXPECT_TRUE(save.enabled);
    save.Fire();
    EXPECT_NE(ReadIni().find("CheckDocInterval=30000"), std::string::npos);
}

TEST_F(ControllerTest, TheWriterDoesTheWritingAndTheEndWaitsForIt) {
    ManualWriter& manual = manualWriter;
    writer = &manual;
    Start();
    controller->AfterFirstFrame();
    ASSERT_TRUE(controller->DropFiles({"/home/u/a.txt"}));
    timers["TimerSave"].Fire();
    EXPECT_EQ(manual.submitted, 1);
    EXPECT_FALSE(fs::exists(path));  // handed over, not written by the window's thread
    manual.RunAll();
    EXPECT_NE(ReadIni().find("file:///home/u/a.txt"), std::string::npos);

    ASSERT_TRUE(controller->DropFiles({"/home/u/b.txt"}));
    controller->Detach();  // the end saves and waits for the writer
    EXPECT_GE(manual.flushes, 1);
    EXPECT_NE(ReadIni().find("file:///home/u/b.txt"), std::string::npos);
    EXPECT_FALSE(timers["TimerSave"].enabled);
}

TEST_F(ControllerTest, TheSessionsCommitSavesBeforeTheQuestion) {
    Start();
    controller->AfterFirstFrame();
    ASSERT_TRUE(controller->DropFiles({"/home/u/a.txt"}));
    CategoryTree& all = *controller->TreeOfPage(0);
    all.SetSelected(all.Top(0), true);
    view.answers = {false};
    EXPECT_FALSE(controller->CommitData());  // "no": the log-off is refused, the data is safe
    EXPECT_NE(ReadIni().find("file:///home/u/a.txt"), std::string::npos);
    EXPECT_EQ(view.messages, std::vector<std::string>{"要退出系统吗?"});
    // Refused, nothing ended: the selection is no mark, and the next change is saved in time.
    EXPECT_EQ(controller->Records().DocHistory()[0].Selected, 0);
    timers["TimerSave"].enabled = false;
    ASSERT_TRUE(controller->DropFiles({"/home/u/b.txt"}));
    ASSERT_TRUE(timers["TimerSave"].enabled);
    timers["TimerSave"].Fire();
    EXPECT_NE(ReadIni().find("selected0=0"), std::string::npos) << ReadIni();
}

TEST_F(ControllerTest, AnUnreadableFileIsToldOnceAndNeverWritten) {
    fs::create_directory(path);
    Start();
    controller->AfterFirstFrame();
    timers.RunPosted();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find(path), std::string::npos);
    EXPECT_NE(view.messages[0].find("不是普通文件"), std::string::npos);
    ASSERT_TRUE(controller->DropFiles({"/home/u/a.txt"}));
    EXPECT_TRUE(controller->Records().DocExists("file:///home/u/a.txt"));
    EXPECT_FALSE(timers["TimerSave"].enabled);
    controller->Detach();
    timers.RunPosted();
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}

TEST_F(ControllerTest, AFailedSaveIsShown) {
    path = (dir / "gone" / "defualt.ini").string();
    Start();
    controller->AfterFirstFrame();
    ASSERT_TRUE(controller->DropFiles({"/home/u/a.txt"}));
    timers["TimerSave"].Fire();
    timers.RunPosted();
    EXPECT_NE(view.hint.find("历史记录未能保存"), std::string::npos);
}

TEST_F(ControllerTest, ARefusedStartAtLogOnIsShown) {
    autoRun.refuseWrites = true;
    Start(true, true);
    controller->Do(forms::Action::AutoRun, true);
    EXPECT_FALSE(view.shownSettings.autoRun);
    EXPECT_EQ(view.hint, "未能设置开机自动启动");
}

TEST_F(ControllerTest, TheTimedSweepAsksTheDesktopElsewhereAndIsNeverOutTwice) {
    ManualWriter& sweeps = manualSweeps;
    sweepThread = &sweeps;
    files.files = {"/usr/bin/xterm", "/usr/bin/gimp"};
    Start();
    controller->AfterFirstFrame();
    FakeTimer& timer = timers["TimerCheckDocs"];
    timer.enabled = true;
    windows.Add(7, "terminal", "/usr/bin/xterm");
    timer.Fire();
    timer.Fire();  // due again while the first is still out
    EXPECT_EQ(sweeps.submitted, 1);
    EXPECT_FALSE(controller->Records().DocExists("/usr/bin/xterm"));

    sweeps.RunAll();  // the desktop answers; the findings wait for the window's thread
    EXPECT_FALSE(controller->Records().DocExists("/usr/bin/xterm"));
    timers.RunPosted();
    EXPECT_TRUE(controller->Records().DocExists("/usr/bin/xterm"));
    EXPECT_TRUE(ControllerInsides(*controller).DocSweep().IsDocOpen("/usr/bin/xterm"));

    // One out when the window goes is finished and saved with the rest.
    windows.Add(8, "paint", "/usr/bin/gimp");
    timer.Fire();
    EXPECT_EQ(sweeps.submitted, 2);
    controller->Detach();
    EXPECT_NE(ReadIni().find("/usr/bin/gimp"), std::string::npos);
    timers.RunPosted();  // the late report changes nothing
    EXPECT_EQ(controller->Records().DocHistory().size(), 2u);
}

namespace {

int ImageOfProgram(AppController& c, const std::string& title) {
    CategoryTree& tree = *c.TreeOfPage(1);
    for (int row = 0; row < tree.TopCount(); ++row) {
        if (tree.Top(row)->Text() == title) return tree.Top(row)->ImageIndex();
    }
    return -1;
}

}  // namespace

TEST_F(ControllerTest, AHungMountCostsItsEntryALatePictureNotTheLoadOrARemoval) {
    // One program lives on a mount that does not answer until the test lets it.
    files.files = {"/usr/bin/xterm", "/mnt/nfs/tool", "/usr/bin/gimp"};
    std::promise<void> mountWakes;
    std::shared_future<void> woken = mountWakes.get_future().share();
    std::atomic<int> asksHere{0};
    const std::thread::id here = std::this_thread::get_id();
    files.onAsk = [woken, here, &asksHere](const std::string& path) {
        if (std::this_thread::get_id() == here) ++asksHere;
        if (path == "/mnt/nfs/tool") woken.wait();
    };
    WriteIni("[docs]\npath0=/mnt/nfs/tool\nname0=tool\ndoctype0=2\n"
             "path1=/usr/bin/xterm\nname1=xterm\ndoctype1=2\n"
             "path2=/usr/bin/gimp\nname2=gimp\ndoctype2=2\npath3=http://a.com/x\nname3=x\n");
    probeThreads = 2;
    Start();
    controller->AfterFirstFrame();  // returns although one answer never came
    EXPECT_EQ(asksHere, 0);
    ASSERT_EQ(controller->Records().DocHistory().size(), 4u);
    EXPECT_EQ(ImageOfProgram(*controller, "tool"), 1);  // a document until its answer
    EXPECT_GT(ImageOfProgram(*controller, "xterm"), 10);

    // A removal meanwhile rebuilds the trees without asking the disk, and keeps waiting.
    CategoryTree& programs = *controller->TreeOfPage(1);
    for (int row = 0; row < programs.TopCount(); ++row) {
        if (programs.Top(row)->Text() == "gimp") programs.SetCurrent(programs.Top(row));
    }
    controller->TVAllDocsChange(1);
    controller->Do(forms::Action::DeleteSelected);
    EXPECT_EQ(asksHere, 0);
    EXPECT_EQ(ImageOfProgram(*controller, "tool"), 1);
    EXPECT_GT(ImageOfProgram(*controller, "xterm"), 10);

    timers.RunPosted();  // what the first frame asked for
    mountWakes.set_value();
    ASSERT_TRUE(timers.WaitForPosted());
    timers.RunPosted();
    EXPECT_GT(ImageOfProgram(*controller, "tool"), 10);
    EXPECT_NE(ReadIni().find("path0=/mnt/nfs/tool"), std::string::npos);
}

TEST_F(ControllerTest, TheFirstSweepAndTheClosingOneAskTheDesktopElsewhere) {
    ManualWriter& sweeps = manualSweeps;
    sweepThread = &sweeps;
    files.files = {"/usr/bin/xterm", "/usr/bin/gimp"};
    Start();
    controller->AfterFirstFrame();
    windows.Add(7, "terminal", "/usr/bin/xterm");
    timers["TimerFirstRun"].Fire();
    EXPECT_EQ(sweeps.submitted, 1);  // the window's thread did not wait for the answer
    EXPECT_FALSE(controller->Records().DocExists("/usr/bin/xterm"));
    sweeps.RunAll();
    timers.RunPosted();
    EXPECT_TRUE(controller->Records().DocExists("/usr/bin/xterm"));
    // Closing waits a moment for its sweep and registers what it found before the question.
    windows.Add(8, "paint", "/usr/bin/gimp");
    view.answers.push_back(false);
    EXPECT_FALSE(controller->FormCloseQuery());
    EXPECT_TRUE(controller->Records().DocExists("/usr/bin/gimp"));
}

// What a window shows of the stored settings, and what it reports back: the stored interval
// snaps to SbCheckTime's positions except at its first one, a page outside the tabs leaves
// none active, and a page or size change alone reaches the next timed save.
TEST_F(ControllerTest, SettingsAreAValueTheWindowShowsAndReportsChangesTo) {
    struct Case {
        const char* stored;
        std::uint32_t interval;
        int position;
    };
    for (Case c : {Case{"30000", 30000, 30}, Case{"5000", 10000, 10}, Case{"12500", 12500, 12},
                   Case{"500000", 100000, 100}, Case{"-5000", 100000, 100},
                   Case{"abc", 12000, 12}}) {
        WriteIni(std::string("[default]\nCheckDocInterval=") + c.stored +
                 "\nActivePageIndex=9\nwidth=0\nheight=-3\nCbRefresh=0\n");
        view = FakeView{};
        Start(false);
        EXPECT_EQ(timers["TimerCheckDocs"].interval, c.interval) << c.stored;
        EXPECT_EQ(view.CheckTime(), c.position) << c.stored;
        EXPECT_EQ(view.Page(), -1);
        EXPECT_FALSE(timers["TimerCheckDocs"].enabled);
        // A size the file holds as none keeps the window as designed.
        EXPECT_EQ(view.WindowWidth(), kDesignedWidth);
        controller.reset();
    }

    WriteIni("[default]\nActivePageIndex=1\n");
    Start(false);
    EXPECT_EQ(view.Page(), 1);
    timers["TimerSave"].enabled = false;
    controller->TVAllDocsChange(3);
    EXPECT_TRUE(timers["TimerSave"].enabled) << "a page change alone is saved";
    timers["TimerSave"].Fire();
    EXPECT_NE(ReadIni().find("ActivePageIndex=3"), std::string::npos);
    controller->WindowResized(640, 0);
    ASSERT_TRUE(timers["TimerSave"].enabled) << "a size change alone is saved";
    timers["TimerSave"].Fire();
    EXPECT_NE(ReadIni().find("width=640\nheight=480\n"), std::string::npos) << ReadIni();
    controller->WindowResized(640, 480);  // no change: no save
    EXPECT_FALSE(timers["TimerSave"].enabled);

    // Every change is shown to the window and told to whoever listens.
    int told = 0;
    controller->AddSettingsListener([&told](const Settings&) { ++told; });
    controller->SettingsBoxClick(SettingsBox::AutoRunDocs, true);
    EXPECT_TRUE(view.BoxChecked(SettingsBox::AutoRunDocs));
    EXPECT_TRUE(controller->CurrentSettings().runSelectDoc);
    EXPECT_EQ(told, 1);
}

// Only the program's last save turns the selection in 全部 into start-up marks; the timed
// saves in between write each mark as it stands.
TEST_F(ControllerTest, OnlyTheClosingSaveMarksTheSelection) {
    WriteIni("[docs]\npath0=http://a.com/x\nname0=x\npath1=http://b.com/y\nname1=y\n");
    Start(false);
    CategoryTree& all = *controller->TreeOfPage(0);
    auto nodeOf = [&all](const std::string& group) {
        TreeNode* found = nullptr;
        all.ForEach([&](const TreeNode& n) {
            if (n.Text() == group) found = const_cast<TreeNode*>(&n);
        });
        return found;
    };
    all.SetSelected(nodeOf("a.com"), true);  // A selected when a sweep records something
    windows.Add(7, "terminal", "/usr/bin/xterm");
    files.files = {"/usr/bin/xterm"};
    timers["TimerCheckDocs"].Fire();
    ASSERT_TRUE(timers["TimerSave"].enabled);
    timers["TimerSave"].Fire();
    EXPECT_NE(ReadIni().find("selected0=0"), std::string::npos) << ReadIni();
    all.ClearSelection();
    all.SetSelected(nodeOf("b.com"), true);
    EXPECT_TRUE(controller->CloseRequested());
    controller->Detach();
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("selected0=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("selected1=1"), std::string::npos) << ini;
}

// The first run asks first only when both boxes say so: with 自动启动文档时询问 on and
// 启动时自动打开文档 off, no dialog shows and nothing opens.
TEST_F(ControllerTest, TheFirstRunOpensMarkedEntriesOnlyWhenAsked) {
    for (const bool runSelected : {false, true}) {
        WriteIni(std::string("[default]\nQueryAutoRunDoc=1\nRunSelectDoc=") + (runSelected ? "1" : "0") +
                 "\n[docs]\npath0=http://a.com/x\nname0=x\nselected0=1\n");
        view = FakeView{};
        shell.calls.clear();
        Start(false);
        timers["TimerFirstRun"].Fire();
        EXPECT_EQ(view.startDialogs, runSelected ? 1 : 0);
        EXPECT_EQ(shell.calls.size(), runSelected ? 1u : 0u);
        controller.reset();
    }
    // The dialog's not-again box opens as 自动启动历史文档 stands; the asking follows it only
    // when that changes the box, which keeps its state between showings.
    WriteIni("[default]\nQueryAutoRunDoc=1\nRunSelectDoc=0\n");
    Start(false);
    StartDocsForm& dialog = controller->StartDocs();
    struct Showing {
        bool runSelectDoc, queryBefore;
        bool box, queryAfter;
    };
    for (const Showing& s : {Showing{false, true, false, true}, Showing{false, false, false, false},
                             Showing{true, false, true, true}, Showing{true, false, true, false},
                             Showing{false, true, false, false}}) {
        controller->SettingsBoxClick(SettingsBox::AutoRunDocs, s.runSelectDoc);
        controller->SettingsBoxClick(SettingsBox::QueryAutoRunDoc, s.queryBefore);
        EXPECT_EQ(dialog.DialogShown(), s.box);
        EXPECT_EQ(controller->CurrentSettings().queryAutoRunDoc, s.queryAfter)
            << s.runSelectDoc << s.queryBefore;
    }
}
