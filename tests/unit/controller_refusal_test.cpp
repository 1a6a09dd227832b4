#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

#include "controller/app_controller.h"
#include "controller_fakes.h"
#include "controller_insides.h"
#include "desktop/path_dialect.h"
#include "fakes.h"

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
    ControllerDeps deps{dialect,      files, icons, windows, shellWindows,
                        shell,        path,  path,  nullptr, ""};
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
        {"special folder", [&] { controller->OpenSpecialFolder(kCsidlDrives); }},
        {"task manager", [&] { controller->OpenTaskManager(); }},
        {"system directory", [&] { controller->OpenSystemDirectory(); }},
        {"strip picture", [&] { controller->Image2Click(); }},
        {"strip link", [&] { controller->WebLinkClicked("https://s.org/p"); }},
        {"about site", [&] { controller->AboutSiteClick(); }},
        {"start-up reopening", [&] { controller->RunStartDocs(); }},
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

}  // namespace
