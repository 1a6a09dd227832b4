#include <gtest/gtest.h>

#include <functional>

#include "fakes.h"
#include "controller/doc_picker.h"
#include "launch/launcher.h"
#include "test_history.h"

using tk::DocPicker;
using tk::Launcher;
using Calls = std::vector<std::string>;

namespace {

template <typename Dialect>
struct LaunchFixture {
    explicit LaunchFixture(Dialect d) : dialect(std::move(d)) {}
    Dialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::test::FakeShell shell;
    std::vector<std::string> messages;
    Launcher launcher{shell, files, dialect, [this](const std::string& m) { messages.push_back(m); }};
};

struct WindowsLaunch : ::testing::Test, LaunchFixture<tk::WindowsPathDialect> {
    WindowsLaunch() : LaunchFixture(tk::WindowsPathDialect()) { launcher.SetMainWindow(7); }
};
struct PosixLaunch : ::testing::Test, LaunchFixture<tk::PosixPathDialect> {
    PosixLaunch() : LaunchFixture(tk::PosixPathDialect("/home/u")) { launcher.SetMainWindow(7); }
};

}  // namespace

TEST_F(WindowsLaunch, SpecialNamesMatchOnlyAsWholeTexts) {
    launcher.LaunchDoc("", "我的电脑");
    EXPECT_TRUE(shell.calls.empty());
    launcher.LaunchDoc("我的电脑", "我的电脑");
    launcher.LaunchDoc("桌面", "桌面");
    launcher.LaunchDoc("网上邻居", "网上邻居");
    launcher.LaunchDoc("控制面板", "控制面板");
    EXPECT_EQ(shell.calls,
              (Calls{"Execute(7,\"open\",\"explorer.exe\",\"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\",NULL,5)",
                     "MinimizeAll()", "OpenSpecialFolder(18,0)",
                     "RunControlPanel(\"rundll32.exe   shell32.dll,Control_RunDLL\",9)"}));
    shell.calls.clear();
    launcher.LaunchDoc("我的电脑 ", "我的电脑 ");
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(messages, (std::vector<std::string>{"本机已不存在此路径:我的电脑 "}));
}

TEST_F(WindowsLaunch, ExtensionRoads) {
    files.dirs = {"C:\\Windows"};
    launcher.LaunchDoc("C:\\Links\\a.lnk", "C:\\Links\\a.lnk");
    launcher.LaunchDoc("C:\\Links\\a.LNK", "C:\\Links\\a.LNK");
    launcher.LaunchDoc("C:\\Windows", "C:\\Windows");
    launcher.LaunchDoc("C:\\NoSuchDir", "C:\\NoSuchDir");
    launcher.LaunchDoc("C:\\My.Docs", "C:\\My.Docs");
    launcher.LaunchDoc("C:\\a.b\\file", "C:\\a.b\\file");
    EXPECT_EQ(shell.calls, (Calls{"Execute(7,NULL,\"C:\\Links\\a.lnk\",NULL,NULL,1)",
                                  "Execute(7,\"open\",\"C:\\Links\\a.LNK\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"C:\\Windows\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"C:\\My.Docs\",NULL,NULL,5)"}));
    EXPECT_EQ(messages, (std::vector<std::string>{"本机已不存在此路径:C:\\NoSuchDir",
                                                  "本机已不存在此路径:C:\\a.b\\file"}));
}

TEST_F(WindowsLaunch, OpenLocationAndWebAddress) {
    launcher.OpenLocation("HTTP://Host/x");
    launcher.OpenLocation("https://s.org/a");
    launcher.OpenLocation("host/page?a=1");
    launcher.OpenLocation("host/page");
    launcher.OpenLocation("");
    launcher.OpenWebAddress("see http://x");
    launcher.OpenWebAddress("HTTP://x");
    launcher.OpenTaskManager();
    launcher.OpenSystemDirectory();
    EXPECT_EQ(shell.calls, (Calls{"Execute(7,\"open\",\"explorer.exe\",\"HTTP://Host/x\",NULL,5)",
                                  "Execute(7,\"open\",\"https://s.org/a\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"http://host/page?a=1\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"explorer.exe\",\"http://host/page\",NULL,5)",
                                  "Execute(7,\"open\",\"explorer.exe\",\"http://\",NULL,5)",
                                  "Execute(7,\"open\",\"Explorer.exe\",\"see http://x\",NULL,1)",
                                  "Execute(7,\"open\",\"Explorer.exe\",\"http://HTTP://x\",NULL,1)",
                                  "Execute(0,\"open\",\"taskmgr\",\"\",\"\",1)",
                                  "Execute(7,\"open\",\"C:\\WINDOWS\\system32\",NULL,NULL,5)"}));
}

// A page recorded with a scheme of its own opens with it, as it was stored.
TEST_F(WindowsLaunch, StoredPagesOpenWithTheirOwnScheme) {
    launcher.OpenStoredDoc("ftp://files.example/pub/a.iso", tk::kDocTypeWebPage);
    launcher.OpenStoredDoc("smb://server/share/doc", tk::kDocTypeWebPage);
    launcher.OpenStoredDoc("https://s.org/a", tk::kDocTypeWebPage);
    EXPECT_EQ(shell.calls,
              (Calls{"Execute(7,\"open\",\"Explorer.exe\",\"ftp://files.example/pub/a.iso\",NULL,1)",
                     "Execute(7,\"open\",\"Explorer.exe\",\"smb://server/share/doc\",NULL,1)",
                     "Execute(7,\"open\",\"Explorer.exe\",\"https://s.org/a\",NULL,1)"}));
}

TEST_F(WindowsLaunch, EnterKeyRoads) {
    launcher.LaunchCurDoc("");
    launcher.LaunchCurDoc("我的电脑");
    launcher.LaunchCurDoc("C:\\x http://y");
    launcher.LaunchCurDoc("ftp://h/f");
    launcher.LaunchCurDoc("x:http://y");
    EXPECT_EQ(shell.calls, (Calls{"Execute(7,\"open\",\"Explorer.exe\",\"http://我的电脑\",NULL,1)",
                                  "Execute(7,\"open\",\"explorer.exe\",\"C:\\x http://y\",NULL,5)",
                                  "Execute(7,\"open\",\"ftp://h/f\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"Explorer.exe\",\"x:http://y\",NULL,1)"}));
}

TEST_F(PosixLaunch, LinuxPathsTakeTheLocalRoads) {
    files.files = {"/usr/bin/xterm"};
    files.dirs = {"/home/u/Data"};
    launcher.LaunchDoc("/usr/bin/xterm", "/usr/bin/xterm");  // programs have no extension
    launcher.LaunchDoc("/home/u/Data", "/home/u/Data");
    launcher.LaunchDoc("/home/u/gone", "/home/u/gone");
    launcher.LaunchDoc("/home/u/a.d/x", "/home/u/a.d/x");
    launcher.LaunchDoc("b.org/x", "b.org/x");  // a web node: the host's dot is its extension
    launcher.LaunchCurDoc("/home/u/Data");
    launcher.OpenSystemDirectory();
    EXPECT_EQ(shell.calls, (Calls{"Execute(7,\"open\",\"/usr/bin/xterm\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"/home/u/Data\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"explorer.exe\",\"http://b.org/x\",NULL,5)",
                                  "Execute(7,\"open\",\"/home/u/Data\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"C:\\WINDOWS\\system32\",NULL,NULL,5)"}));
    EXPECT_EQ(messages, (std::vector<std::string>{"本机已不存在此路径:/home/u/gone",
                                                  "本机已不存在此路径:/home/u/a.d/x"}));
}

TEST_F(PosixLaunch, PicksAndClickOpens) {
    files.files = {"/usr/bin/xterm"};
    files.dirs = {"/home/u/Data"};
    tk::test::TestHistory history(dialect, files, icons);
    DocPicker picker(history.records(), history.trees(), launcher);
    std::vector<std::string> hints;
    picker.SetHintSink([&](const std::string& h) { hints.push_back(h); });
    history.AddDoc("  /usr/bin/xterm", "xterm", true, false);
    history.AddDoc("http://a.com/x", "t", false, false);
    history.AddDoc("https://s.org/p", "t", false, false);
    history.AddDoc("file:///home/u/Data", "t", false, false);
    // TVDocs: /home/u/Data, s.org > s.org/p, a.com > a.com/x, xterm
    tk::CategoryTree& docs = history.TVDocs();

    docs.SetCurrent(docs.Top(0));
    picker.DocsTreeClick();  // the first click after start only picks
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(picker.ClickOpens());
    picker.DocsTreeClick();
    docs.SetCurrent(docs.Top(1)->Child(0));
    picker.DocsTreeClick();  // a secure page opens with its own scheme
    EXPECT_EQ(picker.CurDocText(), "https://s.org/p");
    docs.SetCurrent(docs.Top(3));
    picker.DocsTreeClick();  // a program hands over its location
    picker.ExpandedOrCollapsed();
    docs.SetCurrent(docs.Top(2)->Child(0));
    picker.DocsTreeClick();  // only picks again
    picker.DblClick();
    EXPECT_EQ(shell.calls, (Calls{"Execute(7,\"open\",\"/home/u/Data\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"https://s.org/p\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"/usr/bin/xterm\",NULL,NULL,5)",
                                  "Execute(7,\"open\",\"explorer.exe\",\"http://a.com/x\",NULL,5)"}));
    EXPECT_EQ(hints, (std::vector<std::string>{"/home/u/Data", "/home/u/Data", "https://s.org/p",
                                               "/usr/bin/xterm", "a.com/x"}));

    // TVApp opens at every click, untrimmed location, leaving the click state alone.
    shell.calls.clear();
    picker.SetClickOpens(false);
    history.TVApp().SetCurrent(history.TVApp().Top(0));
    picker.TVAppClick();
    EXPECT_FALSE(picker.ClickOpens());
    EXPECT_EQ(picker.CurDocText(), "/usr/bin/xterm");
    // TVDoc picks do not show in the hint strip.
    const std::size_t hintCount = hints.size();
    history.TVDoc().SetCurrent(history.TVDoc().Top(0));
    picker.TVDocClick();
    EXPECT_EQ(hints.size(), hintCount);
    EXPECT_EQ(picker.CurDocText(), "https://s.org");
    picker.TVPathClick();  // no current node in TVPath: nothing
    EXPECT_EQ(picker.CurDocText(), "https://s.org");

    // Delete removes the selected nodes of TVDocs alone.
    docs.SetSelected(docs.Top(1), true);
    docs.SetSelected(docs.Top(1)->Child(0), true);
    docs.SetSelected(docs.Top(3), true);
    picker.DeleteSelectedNodes();
    EXPECT_EQ(docs.TopCount(), 2);
    EXPECT_EQ(history.TVApp().TopCount(), 1);
    EXPECT_EQ(history.DocHistory().size(), 4u);
}

// Every road hands the shell's refusal back as it came; the roads that ask the shell for
// nothing that can be refused (an empty text, the desktop, a missing path) are no refusal.
TEST_F(PosixLaunch, EveryRoadHandsBackTheShellsRefusal) {
    files.dirs = {"/home/u/Data"};
    shell.refusal = "refused";
    constexpr int kPage = tk::kDocTypeWebPage;
    struct Road {
        const char* name;
        std::function<tk::LaunchResult()> open;
        bool refusable;
    };
    const Road roads[] = {
        {"my computer", [&] { return launcher.LaunchDoc("我的电脑", "我的电脑"); }, true},
        {"network", [&] { return launcher.LaunchDoc("网上邻居", "网上邻居"); }, true},
        {"control panel", [&] { return launcher.LaunchDoc("控制面板", "控制面板"); }, true},
        {"folder", [&] { return launcher.LaunchDoc("/home/u/Data", "/home/u/Data"); }, true},
        {"link", [&] { return launcher.LaunchDoc("/home/u/a.lnk", "/home/u/a.lnk"); }, true},
        {"location", [&] { return launcher.OpenLocation("host/page"); }, true},
        {"web address", [&] { return launcher.OpenWebAddress("a.com"); }, true},
        {"stored page", [&] { return launcher.OpenStoredDoc("https://s.org/p", kPage); }, true},
        {"stored http page", [&] { return launcher.OpenStoredDoc("http://s.org/p", kPage); }, true},
        {"stored folder",
         [&] { return launcher.OpenStoredDoc("file:///home/u/Data", tk::kDocTypeFolder); }, true},
        {"enter", [&] { return launcher.LaunchCurDoc("a.com"); }, true},
        {"special folder", [&] { return launcher.OpenSpecialFolder(tk::kCsidlDrives); }, true},
        {"system directory", [&] { return launcher.OpenSystemDirectory(); }, true},
        {"task manager", [&] { return launcher.OpenTaskManager(); }, true},
        {"desktop", [&] { return launcher.LaunchDoc("桌面", "桌面"); }, false},
        {"empty", [&] { return launcher.LaunchDoc("", "x"); }, false},
        {"empty enter", [&] { return launcher.LaunchCurDoc(""); }, false},
        {"missing path", [&] { return launcher.LaunchDoc("/home/u/gone", "/home/u/gone"); }, false},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        shell.calls.clear();
        const tk::LaunchResult result = road.open();
        EXPECT_EQ(result.ok, !road.refusable);
        if (road.refusable) {
            ASSERT_EQ(shell.calls.size(), 1u);
            EXPECT_EQ(result.problem, "refused " + shell.calls[0]);
        }
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"本机已不存在此路径:/home/u/gone"}));
}

// A history can come from anywhere. A page's tree text is its address without the scheme,
// so `http://mailto:x@evil.example/p` shows as `mailto:x@evil.example/p`: every road opens a
// page from its record and only as the address of a place; a program runs only when it is one.
TEST_F(PosixLaunch, RecordedEntriesOpenOnlyAsWhatTheyWereRecordedAs) {
    files.files = {"/usr/bin/xterm", "/home/u/notes.jar"};
    files.documents = {"/home/u/notes.jar"};
    tk::test::TestHistory history(dialect, files, icons);
    DocPicker picker(history.records(), history.trees(), launcher);
    history.AddDoc("http://mailto:x@evil.example/p", "t", false, false);
    history.AddDoc("http://host:8080/p", "t", false, false);
    history.AddDoc("ftp://files.org/a", "t", false, false);
    history.AddDoc("irc://chat.org/a", "t", false, false);
    history.AddDoc("http://q.org/find?q=1", "t", false, false);
    history.AddDoc("/home/u/notes.jar", "jar", true, false);
    auto find = [](tk::CategoryTree& tree, const std::string& text) -> tk::TreeNode* {
        for (int row = 0; row < tree.TopCount(); ++row) {
            tk::TreeNode* top = tree.Top(row);
            if (top->Text() == text) return top;
            for (int c = 0; c < top->ChildCount(); ++c) {
                if (top->Child(c)->Text() == text) return top->Child(c);
            }
        }
        return nullptr;
    };
    const std::string evil = "Execute(7,\"open\",\"explorer.exe\",\"http://mailto:x@evil.example/p\",NULL,5)";
    const std::string port = "Execute(7,\"open\",\"explorer.exe\",\"http://host:8080/p\",NULL,5)";
    struct Case {
        const char* node;
        std::string call;     // what reaches the shell, once per road; empty: nothing
        std::string refusal;  // what the user is told
        std::string enter;    // what Enter hands over, when not `call`
    };
    const Case cases[] = {
        {"mailto:x@evil.example/p", evil, ""},
        {"mailto:x@evil.example",
         "Execute(7,\"open\",\"explorer.exe\",\"http://mailto:x@evil.example\",NULL,5)", ""},
        {"host:8080/p", port, ""},
        {"host:8080", "Execute(7,\"open\",\"explorer.exe\",\"http://host:8080\",NULL,5)", ""},
        {"files.org/a", "Execute(7,\"open\",\"ftp://files.org/a\",NULL,NULL,5)", ""},
        {"chat.org/a", "", "不是网页地址：irc://chat.org/a"},
        // A query goes to the shell itself on a click; Enter keeps Explorer.
        {"q.org/find?q=1", "Execute(7,\"open\",\"http://q.org/find?q=1\",NULL,NULL,5)", "",
         "Execute(7,\"open\",\"explorer.exe\",\"http://q.org/find?q=1\",NULL,5)"},
        {"jar", "", "不是可执行程序，未运行：/home/u/notes.jar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        const std::string& enter = c.enter.empty() ? c.call : c.enter;
        std::vector<std::pair<std::function<tk::LaunchResult()>, const std::string*>> roads = {
            {[&] { picker.SetClickOpens(true); return picker.DocsTreeClick(); }, &c.call},
            {[&] { return picker.DblClick(); }, &c.call},
            {[&] { return picker.LaunchCurDoc(); }, &enter},
        };
        history.TVDocs().SetCurrent(find(history.TVDocs(), c.node));
        if (tk::TreeNode* page = find(history.TVDoc(), c.node)) {
            history.TVDoc().SetCurrent(page);
            roads.push_back({[&] { picker.SetClickOpens(true); return picker.TVDocClick(); }, &c.call});
        }
        for (const auto& [road, call] : roads) {
            shell.calls.clear();
            const tk::LaunchResult result = road();
            EXPECT_EQ(shell.calls, call->empty() ? Calls{} : Calls{*call});
            EXPECT_EQ(result.ok, c.refusal.empty());
            EXPECT_EQ(result.problem, c.refusal);
        }
    }
    // The start-up re-opening and its dialog open the stored entry itself.
    shell.calls.clear();
    EXPECT_TRUE(launcher.OpenStoredDoc("http://host:8080/p", tk::kDocTypeWebPage).ok);
    EXPECT_FALSE(launcher.OpenStoredDoc("mailto://x.org/a", tk::kDocTypeWebPage).ok);
    EXPECT_FALSE(launcher.OpenStoredDoc("https:///etc/passwd", tk::kDocTypeWebPage).ok);
    EXPECT_FALSE(launcher.OpenStoredDoc("/home/u/notes.jar", tk::kDocTypeProgram).ok);
    EXPECT_TRUE(launcher.OpenStoredDoc("/usr/bin/xterm", tk::kDocTypeProgram).ok);
    EXPECT_EQ(shell.calls, (Calls{"Execute(7,\"open\",\"Explorer.exe\",\"http://host:8080/p\",NULL,1)",
                                  "Execute(7,\"open\",\"/usr/bin/xterm\",NULL,NULL,5)"}));
    EXPECT_TRUE(messages.empty());
}
