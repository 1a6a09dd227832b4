#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#ifdef _WIN32
#include <cctype>
#include <random>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/atomic_file.h"
#include "base/folders.h"
#include "fakes.h"
#include "test_history.h"
#include "tree_dump.h"

using tk::test::TestHistory;
using tk::test::Dump;
using Lines = std::vector<std::string>;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct SettingsFile : ::testing::Test {
    std::string dir;
    std::string path;
    tk::WindowsPathDialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;

#ifdef _WIN32
    void SetUp() override {
        std::random_device random;
        dir = (std::filesystem::temp_directory_path() /
               ("tk-settings-" + std::to_string(random()))).generic_string();
        std::filesystem::create_directories(dir);
        path = dir + "/defualt.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
#else
    void SetUp() override {
        char tmpl[] = "/tmp/tk-settings-XXXXXX";
        dir = ::mkdtemp(tmpl);
        path = dir + "/defualt.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
#endif

    std::unique_ptr<TestHistory> Load(const std::string& contents) {
        Spit(path, contents);
        return LoadExisting();
    }
    std::unique_ptr<TestHistory> LoadExisting() {
        auto core = std::make_unique<TestHistory>(dialect, files, icons);
        core->SetSettingsPaths(path, path);
        core->LoadSettings();
        return core;
    }
};

}  // namespace

TEST_F(SettingsFile, StoredValuesAndTheirDefaults) {
    auto core = LoadExisting();
    EXPECT_EQ(core->settings, tk::Settings{});
    EXPECT_TRUE(core->DocHistory().empty());
    core = Load("[default]\nRunSelectDoc=1\nCbRefresh=0\nQueryAutoRunDoc=1\nActivePageIndex=9\n"
                "CheckDocInterval=-5000\nwidth=0\nheight=-3\n");
    tk::Settings stored;
    stored.runSelectDoc = true;
    stored.refresh = false;
    stored.queryAutoRunDoc = true;
    stored.activePageIndex = 9;  // as stored: the controller decides what a window shows of it
    stored.checkDocInterval = static_cast<std::uint32_t>(-5000);
    stored.width = 0;
    stored.height = -3;
    EXPECT_EQ(core->settings, stored);
    EXPECT_EQ(tk::CheckTimeLabel(30), "每30秒刷新一次");
}

TEST_F(SettingsFile, HistoryLoadRules) {
    files.files.insert("C:\\e.exe");
    auto core = Load(
        "[docs]\n"
        "path0=http://h/a\nname0=http://h/a\ndoctype0=1\nselected0=1\n"
        "path1=file:///C:/Data/x\nname1=whatever\ndoctype1=2\n"     // folder despite type 2
        "path2=http://h/a\nname2=dup\n"                              // same location: once
        "path3=RES://x/y\nname3=r\n"                                 // filtered
        "path4=C:\\Windows\\logon.scr\nname4=logon.scr\ndoctype4=2\n"  // filters still empty
        "path5=\nname5=empty location\n"
        "path6=http://q/b\nname6=http://h/a\n"                      // title is a known location
        "path7=C:\\e.exe\nname7=e.exe\ndoctype7=2\n"
        "path08=http://zero/x\nname08=not record 8\n"               // no record 8: the end
        "path9=http://late/x\nname9=never read\n");
    ASSERT_EQ(core->DocHistory().size(), 4u);
    EXPECT_EQ(core->DocHistory()[0].Selected, 1);
    EXPECT_EQ(core->DocHistory()[1].DocType, 3);
    EXPECT_EQ(core->DocHistory()[1].Title, "C:\\Data\\x");
    EXPECT_EQ(core->DocHistory()[2].Location, "C:\\Windows\\logon.scr");
    EXPECT_EQ(core->DocHistory()[3].Location, "C:\\e.exe");

    core->SaveSettings();
    auto again = LoadExisting();
    EXPECT_EQ(again->DocHistory(), core->DocHistory());
    const std::string saved = Slurp(path);
    EXPECT_NE(saved.find("doctype1=3"), std::string::npos);
    EXPECT_EQ(saved.find("RES://"), std::string::npos);
}

TEST_F(SettingsFile, SaveWritesSettingsAndSelectionsInOrder) {
    auto core = Load("[display]\npath0=a\ndisplay0=b\n[docs]\npath0=http://h/a\nname0=http://h/a\n"
                     "path1=http://h/b\nname1=http://h/b\n");
    core->settings.queryAutoRunDoc = true;
    core->settings.activePageIndex = 3;
    core->settings.checkDocInterval = 45000;
    core->settings.width = 640;
    core->records().SetSelectedFlag(1, true);  // h/b
    ASSERT_TRUE(core->SaveSettings());
    EXPECT_EQ(Slurp(path),
              "[display]\npath0=a\ndisplay0=b\n"
              "[default]\nRunSelectDoc=0\nCbRefresh=1\nQueryAutoRunDoc=1\nActivePageIndex=3\n"
              "CheckDocInterval=45000\nwidth=640\nheight=380\n"
              "[docs]\npath0=http://h/a\nname0=http://h/a\ndoctype0=1\nselected0=0\n"
              "path1=http://h/b\nname1=http://h/b\ndoctype1=1\nselected1=1\n");
}

TEST_F(SettingsFile, GbkFileKeepsItsEncodingLineEndingsAndForeignSections) {
    std::string original = Slurp(std::string(TEST_DATA_DIR) + "/windows_gbk.ini");
    files.files.insert("C:\\Program Files\\编辑器\\edit.exe");
    auto core = Load(original);
    EXPECT_TRUE(core->settings.runSelectDoc);
    EXPECT_EQ(core->settings.activePageIndex, 2);
    EXPECT_EQ(core->settings.checkDocInterval, 30000u);
    EXPECT_EQ(Dump(core->TVPath()), (Lines{"D:\\资料 [0] #1", "  D:\\资料\\报告 [0] #1"}));
    EXPECT_EQ(Dump(core->TVDoc())[0], "www.新浪.com [2] #0");
    ASSERT_TRUE(core->SaveSettings());
    // Same settings, same history: the file comes back byte for byte.
    EXPECT_EQ(Slurp(path), original);

    core->AddDoc("http://www.a.com/😀页", "x", false, false);
    core->SaveSettings();
    const std::string saved = Slurp(path);
    EXPECT_NE(saved.find("[display]\r\npath0=C:\\\xCE\xD2\xB5\xC4\xCE\xC4\xB5\xB5\r\n"),
              std::string::npos);
    auto reloaded = LoadExisting();
    EXPECT_EQ(reloaded->DocHistory().back().Location, "http://www.a.com/😀页");
}

TEST_F(SettingsFile, RemovalsRebuildAndReachTheDiskAtOnce) {
    files.files.insert("C:\\e.exe");
    auto core = Load("[default]\nwidth=500\n[docs]\n"
                     "path0=http://h/a\nname0=http://h/a\n"
                     "path1=http://h/\nname1=http://h/\n"  // joins the group without a node
                     "path2=C:\\e.exe\nname2=e.exe\ndoctype2=2\nselected2=1\n");
    EXPECT_EQ(Dump(core->TVDocs()), (Lines{"e.exe [11] #2", "h [2] #0", "  h/a [2] #0"}));
    const std::uint64_t changes = core->records().ChangeCount();
    core->DeleteSelectDocs(5);  // out of range: nothing
    core->DeleteSelectDocs(-1);
    EXPECT_EQ(core->records().ChangeCount(), changes);

    core->DeleteSelectDocs(0);
    // The root page now heads the group; the program keeps its picture.
    EXPECT_EQ(Dump(core->TVDocs()), (Lines{"e.exe [11] #1", "h [2] #0"}));
    auto fromDisk = LoadExisting();
    ASSERT_EQ(fromDisk->DocHistory().size(), 2u);
    EXPECT_EQ(fromDisk->DocHistory()[1].Selected, 1);

    core->DeleteAllDocs();
    EXPECT_EQ(core->TVDocs().Count(), 0);
    EXPECT_EQ(core->LastImageIndex(), 10);
    const std::string text = Slurp(path);
    EXPECT_EQ(text.find("[docs]"), std::string::npos);
    EXPECT_NE(text.find("width=500"), std::string::npos);
}

// These kill a child process mid-save, which needs fork().
#ifndef _WIN32
TEST_F(SettingsFile, KilledSaveLeavesThePreviousFileWhole) {
    auto core = Load("[docs]\npath0=http://h/a\nname0=http://h/a\n");
    const std::string before = Slurp(path);
    for (int i = 0; i < 2000; ++i) core->AddDoc("http://h/p" + std::to_string(i), "t", false, false);
    pid_t child = ::fork();
    if (child == 0) {
        // What the save would write, written the way the save writes it and killed with the
        // new file complete beside the old one.
        TestHistory scratch(dialect, files, icons);
        scratch.SetSettingsPaths(dir + "/scratch.ini", dir + "/scratch.ini");
        scratch.LoadSettings();
        for (const auto& doc : core->DocHistory()) scratch.AddDoc(doc.Location, doc.Title, false, false);
        if (!scratch.SaveSettings()) ::_exit(1);
        tk::AtomicWriteOptions killBeforeRename;
        killBeforeRename.beforeRename = [](const std::string&) { ::raise(SIGKILL); };
        tk::WriteFileAtomically(path, Slurp(dir + "/scratch.ini"), killBeforeRename);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(LoadExisting()->DocHistory().size(), 1u);
}

TEST_F(SettingsFile, KillAfterARemovalKeepsTheRest) {
    auto core = Load("[docs]\npath0=http://h/a\nname0=http://h/a\npath1=http://h/b\nname1=x\n"
                     "path2=http://g/c\nname2=y\n");
    pid_t child = ::fork();
    if (child == 0) {
        core->DeleteSelectDocs(1);
        ::raise(SIGKILL);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    auto after = LoadExisting();
    ASSERT_EQ(after->DocHistory().size(), 2u);
    EXPECT_EQ(after->DocHistory()[1].Location, "http://g/c");
}

#endif

TEST_F(SettingsFile, UnwritableFolderUsesThePerUserFolder) {
    const std::string configHome = dir + "/config";
    tk::SettingsLocation beside = tk::ResolveSettingsLocation(dir, configHome);
    EXPECT_EQ(beside.loadPath, path);
    EXPECT_EQ(beside.savePath, path);
    // /proc refuses new files even to root.
    tk::SettingsLocation perUser = tk::ResolveSettingsLocation("/proc", configHome);
    EXPECT_EQ(perUser.savePath, configHome + "/TarvoKelmora/defualt.ini");
    EXPECT_EQ(perUser.loadPath, perUser.savePath);
#ifndef _WIN32
    // Installed under a prefix of the user's own (its menu entry in ../share): per user too,
    // though the bin folder can be written.
    const std::string prefix = dir + "/local";
    tk::MakeDirectories(prefix + "/bin");
    tk::MakeDirectories(prefix + "/share/applications");
    std::ofstream(prefix + "/share/applications/com.tarvokelmora.TarvoKelmora.desktop") << "[Desktop Entry]\n";
    EXPECT_EQ(tk::ResolveSettingsLocation(prefix + "/bin", configHome).savePath, perUser.savePath);
#else
    // Installed under Program Files (writable under Wine, and to administrators): per user,
    // whatever case or slashes the path comes in; a look-alike folder beside it is not.
    char programFiles[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    std::string installed = std::string(programFiles) + "\\TarvoKelmora";
    tk::MakeDirectories(installed);
    ASSERT_TRUE(tk::DirectoryIsWritable(installed));
    EXPECT_EQ(tk::ResolveSettingsLocation(installed, configHome).savePath, perUser.savePath);
    for (char& c : installed) c = c == '\\' ? '/' : static_cast<char>(std::toupper(c));
    EXPECT_EQ(tk::ResolveSettingsLocation(installed, configHome).savePath, perUser.savePath);
    EXPECT_FALSE(tk::InProgramFilesFolder(std::string(programFiles) + "Data\\TarvoKelmora"));
    ::RemoveDirectoryA((std::string(programFiles) + "\\TarvoKelmora").c_str());
#endif

    auto core = std::make_unique<TestHistory>(dialect, files, icons);
    core->SetSettingsPaths(perUser.loadPath, perUser.savePath);
    core->LoadSettings();
    core->AddDoc("http://h/a", "t", false, false);
    ASSERT_TRUE(core->SaveSettings());
    EXPECT_NE(Slurp(perUser.savePath).find("path0=http://h/a"), std::string::npos);

    // A save that cannot be written says so.
    TestHistory nowhere(dialect, files, icons);
    nowhere.SetSettingsPaths("/proc/defualt.ini", "/proc/defualt.ini");
    nowhere.LoadSettings();
    EXPECT_FALSE(nowhere.SaveSettings());
    EXPECT_FALSE(nowhere.LastError().empty());
}
