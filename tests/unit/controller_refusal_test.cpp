#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
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

// Whatever road the user takes to open something, a launch the desktop refuses ends in the
// hint strip with its reason, after any hint the pick itself shows.
TEST(ControllerRefusals, EveryRoadShowsTheRefusalInTheHint) {
    const fs::path dir = fs::temp_directory_path() / ("tk-refusal-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "defualt.ini").string();
    PosixPathDialect dialect{"/home/u"};
    FakeFileSystem files;
    files.files = {"/usr/bin/xterm"};
    files.dirs = {"/home/u/Data"};
    FakeFileIcons icons;
    FakeWindowSystem windows;
    FakeShellWindows shellWindows;
    FakeShell shell;
    FakeTimers timers;
    FakeView view;
    FakeWebPort web;
    RecordedDiagnostics diagnostics;
    ControllerDeps deps{dialect, files, icons, windows, shellWindows, shell, diagnostics, path, path, nullptr, ""};
    deps.webSite = "http://site.test";
    auto controller = std::make_unique<AppController>(deps, timers);
    controller->Attach(view, &web);
    controller->FormCreate();
    controller->AfterFirstFrame();
    ControllerInsides history(*controller);
    history.AddDoc("/usr/bin/xterm", "xterm", true, false);
    history.AddDoc("file:///home/u/Data", "Data", false, false);
    history.AddDoc("http://a.com/x", "x", false, false);
    history.Records().SetSelectedFlag(1, true);  // the folder reopens at start

    // Picks open at the second click, 软件 at the first.
    auto click = [&](CategoryTree& tree, int page) {
        tree.SetCurrent(tree.Top(0));
        history.Picker().SetClickOpens(false);
        controller->TreeClick(page);
        if (page != 1) controller->TreeClick(page);
    };
    const std::pair<const char*, std::function<void()>> roads[] = {
        {"全部", [&] { click(history.TVDocs(), 0); }},
        {"软件", [&] { click(history.TVApp(), 1); }},
        {"路径", [&] { click(history.Trees().TVPath(), 2); }},
        {"文档", [&] { click(history.Trees().TVDoc(), 3); }},
        {"double-click", [&] { controller->TreeDblClick(0); }},
        {"Enter", [&] { controller->TreeKeyDown(TreeKey::Enter); }},
        {"special folder", [&] { controller->OpenTarget(kCsidlDrives); }},
        {"task manager", [&] { controller->OpenTarget(forms::kTaskManager); }},
        {"system directory", [&] { controller->OpenTarget(forms::kSystemDirectory); }},
        {"strip picture", [&] { controller->Do(forms::Action::Home); }},
        {"strip link", [&] { controller->WebLinkClicked("https://s.org/p"); }},
        {"about site", [&] { controller->Do(forms::Action::AboutSite); }},
        {"start-up reopening", [&] { ControllerInsides(*controller).RunStartDocs(); }},
    };
    for (const auto& [name, open] : roads) {
        SCOPED_TRACE(name);
        shell.refusal = "refused";
        shell.calls.clear();
        view.hint.clear();
        open();
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(view.hint, "未能打开：refused " + shell.calls[0]);

        // The same road with the desktop willing says nothing of the kind.
        shell.refusal.reset();
        view.hint.clear();
        open();
        EXPECT_EQ(view.hint.find("未能打开"), std::string::npos) << view.hint;
    }
    controller.reset();
    fs::remove_all(dir);
}

// A save that hangs on its disk (a dead network mount): closing waits a bounded time, says so
// once, and never waits forever; the history on disk is the last whole one.
TEST(ControllerRefusals, AHungSaveDelaysTheEndOnlyABoundedTime) {
    struct HungWriter : JobRunner {
        int submitted = 0, unboundedWaits = 0, boundedWaits = 0;
        void Submit(std::function<void()>) override { ++submitted; }
        void Flush() override { ++unboundedWaits; }
        bool FlushFor(std::chrono::milliseconds limit) override {
            EXPECT_LE(limit, std::chrono::seconds(10));
            ++boundedWaits;
            return false;
        }
    } writer;
    const fs::path dir = fs::temp_directory_path() / ("tk-hung-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "defualt.ini").string();
    const std::string old = "[docs]\npath0=http://a.com/x\nname0=x\n";
    std::ofstream(path, std::ios::binary) << old;
    PosixPathDialect dialect{"/home/u"};
    FakeFileSystem files;
    FakeFileIcons icons;
    FakeWindowSystem windows;
    FakeShellWindows shellWindows;
    FakeShell shell;
    FakeTimers timers;
    FakeView view;
    FakeWebPort web;
    RecordedDiagnostics diagnostics;
    ControllerDeps deps{dialect, files, icons, windows, shellWindows, shell, diagnostics, path, path, nullptr, ""};
    deps.saveWriter = &writer;
    {
        AppController controller(deps, timers);
        controller.Attach(view, &web);
        controller.FormCreate();
        controller.AfterFirstFrame();
        ControllerInsides(controller).AddDoc("http://b.org/y", "y", false, false);
        controller.Detach();
        EXPECT_GE(writer.submitted, 1);
        EXPECT_FALSE(controller.WaitForSave());
    }
    const std::vector<std::string> said = diagnostics.Messages();
    EXPECT_EQ(writer.unboundedWaits, 0);
    EXPECT_EQ(writer.boundedWaits, 1);  // once stuck, the end waits no more
    const auto hung = std::count_if(said.begin(), said.end(), [](const std::string& m) {
        return m.find("10 秒内没有写完") != std::string::npos;
    });
    EXPECT_EQ(hung, 1);
    {
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
    }  // closed first: an open file cannot be removed everywhere
    fs::remove_all(dir);
}

}  // namespace
