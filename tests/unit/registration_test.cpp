#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "fakes.h"
#include "test_history.h"
#include "linear_history_reference.h"
#include "tree_dump.h"

using tk::CategoryTree;
using tk::test::TestHistory;
using tk::TreeNode;
using tk::test::Dump;
using Lines = std::vector<std::string>;

namespace {

class CountingListener : public tk::TreeListener {
public:
    std::vector<std::string> madeVisible;
    std::string log;  // + inserted, - removed, ? about to reset, ! reset
    void NodeAboutToBeInserted(const TreeNode*, int) override {}
    void NodeInserted(const TreeNode*, int) override { log += '+'; }
    void NodeAboutToBeRemoved(const TreeNode*, int) override {}
    void NodeRemoved(const TreeNode*, int) override { log += '-'; }
    void AboutToReset() override { log += '?'; }
    void Reset() override { log += '!'; }
    void MakeVisible(const TreeNode* node) override { madeVisible.emplace_back(node->Text()); }
};

struct WindowsHistory : ::testing::Test {
    tk::WindowsPathDialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    TestHistory core{dialect, files, icons};
};

struct PosixHistory : ::testing::Test {
    tk::PosixPathDialect dialect{"/home/u"};
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    TestHistory core{dialect, files, icons};
};

}  // namespace

TEST_F(WindowsHistory, WorkedExample) {
    files.files.insert("C:\\Tools\\edit.exe");
    CountingListener docsListener, webListener;
    core.TVDocs().SetListener(&docsListener);
    core.TVDoc().SetListener(&webListener);

    core.AddDoc("http://www.a.com/x.html", "http://www.a.com/x.html", false, false);
    core.AddDoc("file:///C:/Data/Reports", "file:///C:/Data/Reports", false, false);
    core.AddDoc("C:\\Tools\\edit.exe", "edit.exe", true, false);
    core.AddDoc("http://www.a.com/y.html", "http://www.a.com/y.html", false, false);

    EXPECT_EQ(Dump(core.TVDocs()), (Lines{"edit.exe [11] #2", "C:\\Data [0] #1",
                                          "  C:\\Data\\Reports [0] #1", "www.a.com [2] #0",
                                          "  www.a.com/x.html [2] #0", "  www.a.com/y.html [2] #3"}));
    EXPECT_EQ(Dump(core.TVApp()), (Lines{"edit.exe [11] #2"}));
    EXPECT_EQ(Dump(core.TVPath()), (Lines{"C:\\Data [0] #1", "  C:\\Data\\Reports [0] #1"}));
    EXPECT_EQ(Dump(core.TVDoc()), (Lines{"www.a.com [2] #0", "  www.a.com/x.html [2] #0",
                                         "  www.a.com/y.html [2] #3"}));
    ASSERT_EQ(core.DocHistory().size(), 4u);
    EXPECT_EQ(core.DocHistory()[1].Title, "C:\\Data\\Reports");
    EXPECT_EQ(core.DocHistory()[1].Name, "C:\\Data");
    EXPECT_EQ(core.DocHistory()[1].DocType, 3);
    EXPECT_EQ(core.DocHistory()[2].DocType, 2);
    EXPECT_EQ(core.DocHistory()[3].DocType, 1);
    EXPECT_EQ(docsListener.madeVisible, (std::vector<std::string>{"www.a.com"}));
    EXPECT_EQ(webListener.madeVisible, (std::vector<std::string>{"www.a.com"}));
    EXPECT_EQ(icons.asked, (std::vector<std::string>{"C:\\Tools\\edit.exe"}));
}

TEST_F(PosixHistory, WorkedExample) {
    files.files.insert("/opt/tools/edit");
    core.AddDoc("http://www.a.com/x.html", "http://www.a.com/x.html", false, false);
    core.AddDoc("file:///home/u/Data/Reports", "file:///home/u/Data/Reports", false, false);
    core.AddDoc("/opt/tools/edit", "edit", true, false);
    core.AddDoc("http://www.a.com/y.html", "http://www.a.com/y.html", false, false);

    EXPECT_EQ(Dump(core.TVDocs()), (Lines{"edit [11] #2", "/home/u/Data [0] #1",
                                          "  /home/u/Data/Reports [0] #1", "www.a.com [2] #0",
                                          "  www.a.com/x.html [2] #0", "  www.a.com/y.html [2] #3"}));
    EXPECT_EQ(Dump(core.TVPath()), (Lines{"/home/u/Data [0] #1", "  /home/u/Data/Reports [0] #1"}));
    EXPECT_EQ(core.DocHistory()[1].Title, "/home/u/Data/Reports");

    // Outside home a folder groups by root and first folder; the group itself gets no child.
    core.AddDoc("file:///tmp/x/y", "t", false, false);
    core.AddDoc("file:///tmp", "t", false, false);
    EXPECT_EQ(Dump(core.TVPath())[0], "/tmp [0] #4");
    EXPECT_EQ(Dump(core.TVPath())[1], "  /tmp/x/y [0] #4");
    EXPECT_EQ(core.TVPath().Count(), 4);  // file:///tmp joined the group without a node

    // A dropped local path becomes a folder location.
    core.records().AddDroppedDoc("  /home/u/a.txt ");
    EXPECT_EQ(core.DocHistory().back().Location, "file:///home/u/a.txt");
    EXPECT_EQ(core.DocHistory().back().Name, "/home/u/a.txt");
}

// Linux paths differ by case: a folder joins only the group spelled exactly like its own.
TEST_F(PosixHistory, FolderGroupsCompareWithCase) {
    core.AddDoc("file:///home/u/data/c", "t", false, false);
    core.AddDoc("file:///home/u/Data/Reports", "t", false, false);
    core.AddDoc("file:///home/u/data/d", "t", false, false);
    EXPECT_EQ(Dump(core.TVPath()),
              (Lines{"/home/u/Data [0] #1", "  /home/u/Data/Reports [0] #1", "/home/u/data [0] #0",
                     "  /home/u/data/c [0] #0", "  /home/u/data/d [0] #2"}));
}

TEST_F(WindowsHistory, RejectionsLeaveNoTrace) {
    core.FillDocFilters();
    core.AddDoc("", "t", false, false);
    core.AddDoc("http://h/p", "   ", false, false);
    core.AddDoc("RES://ieframe.dll/navcancl.htm", "x", false, false);
    core.AddDoc("C:\\Windows\\System32\\logon.scr", "logon.scr", true, false);
    core.AddDoc("http://bare.host", "x", false, false);  // empty group name
    core.records().AddDroppedDoc("word");  // becomes http://word: no host path, rejected
    EXPECT_TRUE(core.DocHistory().empty());
    EXPECT_EQ(core.TVDocs().Count(), 0);

    core.AddDoc("  http://h/a%20b  ", "t", false, false);
    core.AddDoc("http://h/a b", "t", false, false);  // same after trimming and %20
    core.AddDoc("http://h/A b", "t", false, false);  // letter case makes a new entry
    ASSERT_EQ(core.DocHistory().size(), 2u);
    EXPECT_EQ(core.DocHistory()[0].Location, "http://h/a b");
    EXPECT_TRUE(core.DocExists("  http://h/a b "));
    EXPECT_FALSE(core.DocExists("http://h/A B"));
}

TEST_F(WindowsHistory, GroupNamesAndChildren) {
    EXPECT_EQ(core.GetDocGroupName("file:///C:/Program Files/Tools/a.txt"), "C:\\Program Files");
    EXPECT_EQ(core.GetDocGroupName("file:///D:/Music"), "D:\\Music");
    EXPECT_EQ(core.GetDocGroupName("file:///C:/"), "C:\\");
    EXPECT_EQ(core.GetDocGroupName("file:///C:/Temp/a/b"), "C:\\Temp");
    EXPECT_EQ(core.GetDocGroupName("http://host/"), "host");
    EXPECT_EQ(core.GetDocGroupName("http://host"), "");
    EXPECT_EQ(core.GetDocGroupName("C:\\Windows\\notepad.exe"), "");
    EXPECT_EQ(core.GetDocGroupName("about:blank"), "");

    core.AddDoc("file:///C:/Temp", "x", false, false);
    core.AddDoc("file:///C:/Temp/Sub", "x", false, false);
    core.AddDoc("file:///C:/Temp/", "x", false, false);
    EXPECT_EQ(Dump(core.TVPath()),
              (Lines{"C:\\Temp [0] #0", "  C:\\Temp\\Sub [0] #1", "  C:\\Temp\\ [0] #2"}));

    // Two slashes after "file:" is a network path: a web page grouped by server.
    core.AddDoc("file://server/share/dir", "x", false, false);
    EXPECT_EQ(core.DocHistory().back().DocType, 1);
    EXPECT_EQ(core.DocHistory().back().Name, "server");
    EXPECT_EQ(Dump(core.TVDoc())[0], "server [2] #3");
    // A share's own folder is its server's root: the group alone, as for a site's root page.
    core.AddDoc("file://nas/share", "x", false, false);
    core.AddDoc("FILE://nas/share/", "x", false, false);
    core.AddDoc("file://nas/share/dir/", "x", false, false);
    EXPECT_EQ(Dump(core.TVDoc()),
              (Lines{"nas [2] #4", "  nas/share/dir/ [2] #6", "server [2] #3", "  server/share/dir [2] #3"}));
}

TEST_F(WindowsHistory, SecurePagesGetChildrenLikePlainOnes) {
    core.AddDoc("https://s.org/a", "x", false, false);
    core.AddDoc("https://s.org/b", "x", false, false);
    core.AddDoc("https://s.org/", "x", false, false);  // the root page has no child of its own
    EXPECT_EQ(Dump(core.TVDoc()), (Lines{"s.org [2] #0", "  s.org/a [2] #0", "  s.org/b [2] #1"}));
    EXPECT_EQ(core.DocHistory().size(), 3u);
}

TEST_F(WindowsHistory, ProgramImages) {
    files.files = {"C:\\a.exe", "C:\\b.exe", "C:\\e.exe"};
    core.AddDoc("C:\\a.exe", "a.exe", true, false);
    core.AddDoc("C:\\b.exe", "b.exe", true, false);
    core.AddDoc("C:\\missing.exe", "桌面", true, false);  // existence is tested first
    core.AddDoc("C:\\e.exe", "桌面", true, false);
    EXPECT_EQ(Dump(core.TVApp()), (Lines{"桌面 [9] #3", "桌面 [1] #2", "b.exe [12] #1",
                                         "a.exe [11] #0"}));
    EXPECT_EQ(core.LastImageIndex(), 12);
    EXPECT_EQ(core.Images().Count(), 13);

    // A failed icon leaves the entry recorded without nodes, and takes no place in the list:
    // the next program's icon goes right after the last one, with its nodes.
    files.files.insert("C:\\f.exe");
    files.files.insert("C:\\g.exe");
    icons.fail = true;
    core.AddDoc("C:\\f.exe", "f.exe", true, false);
    EXPECT_EQ(core.DocHistory().size(), 5u);
    EXPECT_EQ(core.TVApp().Count(), 4);
    EXPECT_EQ(core.LastImageIndex(), 12);
    icons.fail = false;
    core.AddDoc("C:\\g.exe", "g.exe", true, false);
    EXPECT_EQ(core.DocHistory().size(), 6u);
    EXPECT_EQ(core.TVApp().Count(), 5);
    EXPECT_EQ(Dump(core.TVApp()).front(), "g.exe [13] #5");
    EXPECT_EQ(core.LastImageIndex(), 13);
    EXPECT_EQ(core.Images().Count(), 14);
}

TEST_F(WindowsHistory, ExplicitFolderAndSelectedFlag) {
    core.AddDoc("file:///C:/Data/x", "t", true, true);
    core.AddDoc("file:///C:/Data/y", "t", true, false);
    ASSERT_EQ(core.DocHistory().size(), 2u);
    EXPECT_EQ(core.DocHistory()[0].DocType, 3);
    EXPECT_EQ(core.DocHistory()[0].Selected, 1);
    // Explicit entries always start a group and never get a child.
    EXPECT_EQ(Dump(core.TVPath()), (Lines{"C:\\Data [0] #1", "C:\\Data [0] #0"}));
}

TEST_F(WindowsHistory, FindNodeByTextTakesTheFirstInTreeOrder) {
    CategoryTree& t = core.TVDocs();
    TreeNode* a = t.AddFirst("abc", 0, 0);
    t.AddChildLast(a, "Child", 0, 1);
    TreeNode* b = t.AddFirst("other", 0, 2);
    TreeNode* bChild = t.AddChildLast(b, "CHILD", 0, 3);
    t.AddLast("child", 0, 4);
    EXPECT_EQ(t.FindNodeByText("child", false), bChild);
    EXPECT_EQ(tk::test::FindNodeByTextLinear(t, "child"), bChild);
    EXPECT_EQ(t.FindNodeByText("ABC", false), a);
    t.Remove(b);
    EXPECT_EQ(t.FindNodeByText("child", false)->Data().Index, 1);
    EXPECT_EQ(t.FindNodeByText("nothing", false), nullptr);
    EXPECT_EQ(a->Row(), 0);
    EXPECT_EQ(t.Top(1)->Data().Index, 4);
    EXPECT_EQ(t.Top(1)->Row(), 1);
}

// Children put in at both ends and taken out of both halves keep their order and rows; text
// matches ignoring ASCII case only.
TEST_F(WindowsHistory, RowsHoldWithInsertsAtBothEndsAndRemovals) {
    CategoryTree& t = core.TVDocs();
    std::vector<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        const std::string text = "n" + std::to_string(i);
        if (i % 3 == 0) {
            t.AddLast(text, 0, i);
            expected.push_back(text);
        } else {
            t.AddFirst(text, 0, i);
            expected.insert(expected.begin(), text);
        }
    }
    for (const int row : {0, 5, 7, 8}) {  // from the front half, the back half and the ends
        t.Remove(t.Top(row));
        expected.erase(expected.begin() + row);
    }
    ASSERT_EQ(t.TopCount(), static_cast<int>(expected.size()));
    for (int row = 0; row < t.TopCount(); ++row) {
        EXPECT_EQ(t.Top(row)->Text(), expected[static_cast<std::size_t>(row)]) << row;
        EXPECT_EQ(t.Top(row)->Row(), row);
    }
    TreeNode* wide = t.AddFirst("中文Abc", 0, 20);
    EXPECT_EQ(t.FindNodeByText("中文aBC", false), wide);
    EXPECT_EQ(t.FindNodeByText("中文aBC", false, true), nullptr);
    t.AddFirst("Ä", 0, 21);
    EXPECT_EQ(t.FindNodeByText("ä", false), nullptr);  // UTF-8 letters are not folded
    EXPECT_EQ(t.Count(), static_cast<int>(expected.size()) + 2);
}

// A removal leaves the trees as a fresh load of what is saved builds them, and builds them
// again whole only where it must: a record named as a program that is a folder (it headed a
// node of its own), never where a group is handed on or a site's only page goes.
TEST_F(WindowsHistory, RemovalsLeaveWhatAFreshLoadBuilds) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, bool>> added;  // location, named as a program
        int removed;
        std::string after;  // a page that comes after the removal; empty: none
        int rebuilds;
    };
    const std::vector<Case> cases = {
        {"named folder", {{"file:///C:/Data/x", true}, {"file:///C:/Data/y", false}, {"http://a.com/p", false}}, 2, "", 1},
        {"only page", {{"http://a.com/p", false}, {"http://b.com/q", false}}, 0, "http://a.com/r", 0},
        {"group handed on", {{"http://a.com/p", false}, {"http://b.com/q", false}, {"http://a.com/r", false}}, 0, "", 0},
    };
    for (const Case& c : cases) {
        TestHistory h(dialect, files, icons);
        for (const auto& [location, named] : c.added) h.AddDoc(location, location, named, false);
        h.DeleteSelectDocs(c.removed);
        if (!c.after.empty()) h.AddDoc(c.after, c.after, false, false);
        TestHistory fresh(dialect, files, icons);
        for (const tk::TMyDoc& doc : h.DocHistory()) {
            fresh.AddDoc(doc.Location, doc.Title, doc.DocType == tk::kDocTypeProgram, doc.Selected != 0);
        }
        for (int page = 0; page < 4; ++page) {
            EXPECT_EQ(Dump(*h.TreeOfPage(page)), Dump(*fresh.TreeOfPage(page))) << c.what << " page " << page;
        }
        EXPECT_EQ(h.trees().Rebuilds(), c.rebuilds) << c.what;
    }
}

// The indexed lookups must pick exactly what the plain scans pick.
TEST(HistoryLookups, IndexedMatchesLinearOnMixedSequences) {
    tk::WindowsPathDialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    TestHistory fast(dialect, files, icons);
    tk::test::LinearHistoryReference slow(dialect, files, icons);
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    const char* hosts[] = {"a.com", "A.COM", "b.org", "C:", "edit.exe", "x"};
    for (int i = 0; i < 3000; ++i) {
        std::string loc;
        bool isExplicit = false;
        switch (next() % 5) {
            case 0: loc = "http://" + std::string(hosts[next() % 6]) + "/p" + std::to_string(next() % 50); break;
            case 1: loc = "https://" + std::string(hosts[next() % 6]) + "/" + std::to_string(next() % 30); break;
            case 2: loc = "file:///C:/" + std::string(hosts[next() % 6]) + "/d" + std::to_string(next() % 40); break;
            case 3: loc = "C:\\p\\" + std::to_string(next() % 60) + "\\" + hosts[next() % 6]; isExplicit = true; break;
            default: loc = "http://" + std::string(hosts[next() % 6]); break;
        }
        const std::string title = hosts[next() % 6];
        fast.AddDoc(loc, title, isExplicit, false);
        slow.AddDoc(loc, title, isExplicit, false);
        if (next() % 200 == 0) {
            int victim = static_cast<int>(next() % (fast.DocHistory().size() + 1));
            fast.DeleteSelectDocs(victim);
            slow.DeleteSelectDocs(victim);
        }
    }
    ASSERT_EQ(fast.DocHistory().size(), slow.DocHistory().size());
    EXPECT_TRUE(fast.DocHistory() == slow.DocHistory());
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(Dump(*fast.TreeOfPage(page)), Dump(*slow.TreeOfPage(page))) << page;
    }
}

// A stored history read the way the file's keys are meant: the first of a key counts, keys in
// any order and case, numbers only as the writer spells them, the record without a title ends
// the history. The load must take exactly what the plain reader takes.
TEST(HistoryLoad, TakesWhatThePlainReaderTakes) {
    namespace fs = std::filesystem;
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() / ("tk-load-" + std::to_string(random()));
    fs::create_directories(dir);
    const std::string path = (dir / "defualt.ini").string();
    {
        std::ofstream out(path, std::ios::binary);
        out << "[default]\nwidth=500\n[Docs]\n"
               "NAME1 = \"http://b.com/x\"\npath1=http://b.com/x\ndoctype1=1\n"
               "name0=C:\\Tools\\edit.exe\npath0=C:\\Tools\\edit.exe\ndoctype0=2\n"
               "selected0=1\nname0=shadowed\ndoctype0=1\n"
               "name02=leading zero is another key\npath2=file:///C:/Data/a\n"
               "name2=file:///C:/Data/a\ndoctype2=3\nselected2=x\n"
               "name3=http://b.com/x\npath3=http://b.com/x\n"
               "name4=  \npath5=http://never.read/\nname5=http://never.read/\n"
               "name999999999999=far\n; a comment\nnonsense\n"
               "[docs]\nname6=second section is not read\n";
    }
    tk::WindowsPathDialect dialect;
    tk::test::FakeFileSystem files;
    files.files.insert("C:\\Tools\\edit.exe");
    tk::test::FakeFileIcons icons;
    TestHistory core(dialect, files, icons);
    tk::test::LinearHistoryReference reference(dialect, files, icons);
    core.SetSettingsPaths(path, path);
    reference.SetSettingsPaths(path, path);
    {
        tk::HistoryFile file(path, path);
        EXPECT_EQ(tk::HistoryFile::ProgramPaths(file.Load().docs), (std::vector<std::string>{"C:\\Tools\\edit.exe"}));
    }
    core.LoadSettings();
    reference.LoadSettings();
    fs::remove_all(dir);
    ASSERT_EQ(core.DocHistory().size(), 3u);
    EXPECT_TRUE(core.DocHistory() == reference.DocHistory());
    EXPECT_EQ(core.DocHistory()[0].Selected, 1);
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(Dump(*core.TreeOfPage(page)), Dump(*reference.TreeOfPage(page))) << page;
    }
}

// A batch (a long history's load) reaches a window as one reset around all its changes, also
// when batches nest or the window comes in the middle of one.
TEST(CategoryTreeBatch, ChangesInABatchAreToldAsOneReset) {
    CategoryTree tree("TVDocs");
    CountingListener first, second;
    tree.SetListener(&first);
    tree.AddFirst("a", 0, 0);
    tree.BeginBatch();
    TreeNode* b = tree.AddFirst("b", 0, 1);
    tree.BeginBatch();
    tree.AddChildLast(b, "b/1", 0, 2);
    tree.EndBatch();
    tree.Remove(tree.Top(1));
    tree.SetListener(&second);
    tree.EndBatch();
    tree.AddFirst("c", 0, 3);
    EXPECT_EQ(first.log, "+?");
    EXPECT_EQ(second.log, "!+");
    EXPECT_EQ(tree.Count(), 3);
    tree.EndBatch();  // one too many changes nothing
    EXPECT_EQ(second.log, "!+");
}
