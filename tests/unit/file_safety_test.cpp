// What must never happen to the history file on disk: written over when it was not read whole,
// widened to other users, lost without a copy, turned into another encoding, or made unreadable
// by one bad entry.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/path_probe.h"
#include "base/worker_thread.h"
#include "base/text.h"
#include "fakes.h"
#include "recorded_diagnostics.h"
#include "test_history.h"

using tk::test::TestHistory;
using tk::TextEncoding;
namespace fs = std::filesystem;

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

// An icon backend that fails loudly for one program.
class ThrowingIcons : public tk::test::FakeFileIcons {
public:
    std::string bad;
    std::optional<tk::FileIcon> IconOf(const std::string& path) override {
        if (path == bad) throw std::runtime_error("icon backend failed");
        return FakeFileIcons::IconOf(path);
    }
};

struct HistoryFile : ::testing::Test {
    std::string dir;
    std::string path;
    tk::PosixPathDialect dialect{"/home/u"};
    tk::test::FakeFileSystem files;
    ThrowingIcons icons;

    void SetUp() override {
        std::random_device random;
        dir = (fs::temp_directory_path() / ("tk-safety-" + std::to_string(random())))
                  .generic_string();
        fs::create_directories(dir);
        path = dir + "/defualt.ini";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::unique_ptr<TestHistory> Open() {
        auto core = std::make_unique<TestHistory>(dialect, files, icons);
        core->SetSettingsPaths(path, path);
        core->LoadSettings();
        return core;
    }
};

}  // namespace

TEST_F(HistoryFile, WhatCannotBeReadWholeIsNeverWritten) {
    // A folder in the file's place, and a file past the size limit (sparse: no disk spent).
    fs::create_directory(path);
    auto core = Open();
    EXPECT_TRUE(core->file().WriteRefused());
    EXPECT_EQ(core->file().ReadFailure()->problem, tk::FileProblem::NotRegular);
    core->AddDoc("http://h/a", "a", false, false);
    EXPECT_EQ(core->DocHistory().size(), 1u);  // recorded in memory all the same
    EXPECT_FALSE(core->SaveSettings());
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
    fs::remove(path);

    Spit(path, "[docs]\npath0=http://h/a\nname0=a\n");
    fs::resize_file(path, tk::IniFile::kMaxFileBytes + 1);
    core = Open();
    EXPECT_EQ(core->file().ReadFailure()->problem, tk::FileProblem::TooLarge);
    core->AddDoc("http://h/b", "b", false, false);
    EXPECT_FALSE(core->SaveSettings());
    core->DeleteAllDocs();  // removals write at once: refused too
    EXPECT_EQ(fs::file_size(path), tk::IniFile::kMaxFileBytes + 1);
    std::string head(10, '\0');
    std::ifstream(path, std::ios::binary).read(head.data(), 10);
    EXPECT_EQ(head, "[docs]\npat");
    EXPECT_FALSE(fs::exists(path + ".bak"));
}

#ifndef _WIN32
TEST_F(HistoryFile, APipeInThePlaceOfTheFileNeitherBlocksNorIsWritten) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto core = Open();  // would hang here if the open waited for a writer
    EXPECT_EQ(core->file().ReadFailure()->problem, tk::FileProblem::NotRegular);
    EXPECT_FALSE(core->SaveSettings());
    EXPECT_TRUE(fs::is_fifo(path));
}

TEST_F(HistoryFile, NewFilesArePrivateAndOldOnesKeepTheirMode) {
    auto core = Open();
    core->AddDoc("http://h/a", "a", false, false);
    ASSERT_TRUE(core->SaveSettings());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    ::chmod(path.c_str(), 0640);
    core = Open();
    core->AddDoc("http://h/b", "b", false, false);
    ASSERT_TRUE(core->SaveSettings());
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(::stat((path + ".bak").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the copy is private whatever the original was
}
#endif

TEST_F(HistoryFile, TheFileFoundAtStartIsKeptBesideItBeforeTheFirstSave) {
    const std::string original = "[docs]\npath0=http://h/a\nname0=a\n";
    Spit(path, original);
    Spit(path + ".bak", "an older run's copy");
    auto core = Open();
    EXPECT_EQ(Slurp(path + ".bak"), "an older run's copy");  // reading alone touches nothing
    core->AddDoc("http://h/b", "b", false, false);
    ASSERT_TRUE(core->SaveSettings());
    EXPECT_EQ(Slurp(path + ".bak"), original);
    core->AddDoc("http://h/c", "c", false, false);
    ASSERT_TRUE(core->SaveSettings());
    EXPECT_EQ(Slurp(path + ".bak"), original);  // once a run, not once a save
    EXPECT_NE(Slurp(path).find("http://h/c"), std::string::npos);
}

TEST_F(HistoryFile, TemporariesOfAKilledSaveGoAtTheNextStart) {
    Spit(path, "[docs]\npath0=http://h/a\nname0=a\n");
    const std::vector<std::string> ours = {".defualt.ini.tk-a1B2c3.tmp", ".defualt.ini.tk-ZZZZZZ.tmp"};
    // The user's own files that merely look like leftovers, and another file's temporaries.
    std::vector<std::string> theirs = {"defualt.ini.bak", "defualt.ini.backup",
                                       "defualt.ini.v2copy", "defualt.ini.a1B2c3",
                                       ".defualt.ini.tk-a1B2c3d.tmp", ".other.ini.tk-a1B2c3.tmp"};
    for (const auto& names : {ours, theirs}) {
        for (const std::string& name : names) Spit(dir + "/" + name, "x");
    }
#ifndef _WIN32
    // Beside a shared history, another user's save may be under way: its temporary stays.
    if (::geteuid() == 0) {
        const std::string foreign = ".defualt.ini.tk-Other1.tmp";
        Spit(dir + "/" + foreign, "x");
        ASSERT_EQ(::chown((dir + "/" + foreign).c_str(), 65534, 65534), 0);
        theirs.push_back(foreign);
    }
#endif
    // Without the history's lock another instance may be writing: nothing is touched.
    Open();
    for (const std::string& name : ours) EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
    tk::test::RecordedDiagnostics diagnostics;
    tk::History owner({path, path, nullptr, 0, true}, dialect, files, icons, diagnostics, nullptr);
    owner.Open();
    owner.Load();
    for (const std::string& name : ours) EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
    for (const std::string& name : theirs) EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
    EXPECT_EQ(owner.Records().Count(), 1);
    // A save leaves nothing beside the file but the file and its copy.
    owner.Records().AddDoc("http://h/b", "b", false, false);
    ASSERT_TRUE(owner.Save().ok);
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator())),
              theirs.size() + 1);
}

#ifndef _WIN32
// A link planted where the copy or the history goes is replaced, never written through; a
// link the user made to keep the history elsewhere is written through and stays.
TEST_F(HistoryFile, SavesNeverWriteThroughAPlantedLink) {
    const std::string victim = dir + "/bashrc";
    Spit(victim, "export PATH\n");
    Spit(path, "[docs]\npath0=http://h/a\nname0=a\n");
    fs::create_symlink(victim, path + ".bak");
    auto core = Open();
    core->AddDoc("http://h/b", "b", false, false);
    ASSERT_TRUE(core->SaveSettings());
    EXPECT_EQ(Slurp(victim), "export PATH\n");
    EXPECT_FALSE(fs::is_symlink(path + ".bak"));
    EXPECT_EQ(Slurp(path + ".bak"), "[docs]\npath0=http://h/a\nname0=a\n");

    // The user's own link: the file it names gets the save, the link stays a link.
    const std::string kept = dir + "/dotfiles/defualt.ini";
    fs::create_directories(dir + "/dotfiles");
    fs::rename(path, kept);
    fs::create_symlink(kept, path);
    fs::remove(path + ".bak");
    auto linked = Open();
    linked->AddDoc("http://h/c", "c", false, false);
    ASSERT_TRUE(linked->SaveSettings());
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_NE(Slurp(kept).find("http://h/c"), std::string::npos);
}
#endif

TEST_F(HistoryFile, OneStrayByteLeavesAUtf8FileUtf8) {
    // A foreign section with a broken byte, and Chinese everywhere else.
    const std::string foreign = "[display]\nnote=\xE7\xA4\xBA\xFF\xE4\xBE\x8B\n";
    Spit(path, "[default]\nwidth=600\n" + foreign +
                   "[docs]\npath0=http://h/新闻\nname0=示例新闻\npath1=http://h/b\nname1=数据 目录\n");
    auto core = Open();
    EXPECT_EQ(core->file().Encoding(), TextEncoding::Utf8);
    ASSERT_EQ(core->DocHistory().size(), 2u);
    EXPECT_EQ(core->DocHistory()[0].Title, "示例新闻");
    EXPECT_EQ(core->DocHistory()[1].Title, "数据 目录");
    core->AddDoc("http://h/c", "中文", false, false);
    ASSERT_TRUE(core->SaveSettings());
    const std::string saved = Slurp(path);
    EXPECT_NE(saved.find(foreign), std::string::npos);  // the stray byte stays where it stood
    EXPECT_NE(saved.find("name0=示例新闻\n"), std::string::npos);
    EXPECT_NE(saved.find("path2=http://h/c\n"), std::string::npos);
}

TEST_F(HistoryFile, AGbkFileStaysGbk) {
    // "示例新闻" and "数据" in GBK.
    const std::string news = "\xCA\xBE\xC0\xFD\xD0\xC2\xCE\xC5";
    Spit(path, "[docs]\r\npath0=http://h/a\r\nname0=" + news + "\r\n");
    auto core = Open();
    EXPECT_EQ(core->file().Encoding(), TextEncoding::Gb18030);
    ASSERT_EQ(core->DocHistory().size(), 1u);
    EXPECT_EQ(core->DocHistory()[0].Title, "示例新闻");
    core->AddDoc("http://h/b", "数据", false, false);
    ASSERT_TRUE(core->SaveSettings());
    const std::string saved = Slurp(path);
    EXPECT_NE(saved.find("name0=" + news + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("name1=\xCA\xFD\xBE\xDD\r\n"), std::string::npos);
}

TEST(Encoding, MostlyUtf8WeighsValidAgainstStrayBytes) {
    EXPECT_TRUE(tk::MostlyUtf8("plain"));
    EXPECT_TRUE(tk::MostlyUtf8("示例新闻\xFF"));                     // 12 valid bytes, 1 stray
    EXPECT_FALSE(tk::MostlyUtf8("示\xFF"));                          // too little to tell
    EXPECT_FALSE(tk::MostlyUtf8("\xCA\xBE\xC0\xFD\xD0\xC2\xCE\xC5"));  // GBK
    // A long GBK text whose pairs sometimes read as UTF-8 stays far from the mark.
    std::string gbk;
    for (int i = 0; i < 200; ++i) gbk += "\xCA\xBE\xC0\xFD\xD0\xC2\xCE\xC5\xCA\xFD\xBE\xDD";
    EXPECT_FALSE(tk::MostlyUtf8(gbk));
}

TEST_F(HistoryFile, OneBadEntryIsSkippedAndTheRestLoads) {
    files.files = {"/usr/bin/good", "/usr/bin/bad", "/usr/bin/after"};
    icons.bad = "/usr/bin/bad";
    Spit(path, "[docs]\n"
               "path0=/usr/bin/good\nname0=good\ndoctype0=2\n"
               "path1=/usr/bin/bad\nname1=bad\ndoctype1=2\n"
               "path2=http://h/x\nname2=x\ndoctype2=zz\nselected2=no\n"
               "path3=/usr/bin/after\nname3=after\ndoctype3=2\n");
    auto core = Open();
    ASSERT_EQ(core->DocHistory().size(), 3u);
    EXPECT_EQ(core->DocHistory()[0].Location, "/usr/bin/good");
    EXPECT_EQ(core->DocHistory()[1].Location, "http://h/x");  // bad values read as defaults
    EXPECT_EQ(core->DocHistory()[2].Location, "/usr/bin/after");
    EXPECT_FALSE(core->DocExists("/usr/bin/bad"));  // no trace left in the lookups
    EXPECT_EQ(core->TVApp().TopCount(), 2);
}

// A location or title holding line breaks (a hostile window title, say) is saved on its own
// line: loaded again it is the same entries, and no key or section was slipped in.
TEST_F(HistoryFile, LineBreaksInAnEntryNeverAddKeys) {
    auto core = Open();
    core->AddDoc("http://h/a\n[default]\nRunSelectDoc=1", "t\r\nname7=planted", false, false);
    core->AddDoc("http://h/b\rpath3=http://evil/", "b\0x", false, false);
    ASSERT_EQ(core->DocHistory().size(), 2u);
    ASSERT_TRUE(core->SaveSettings());
    auto again = Open();
    ASSERT_EQ(again->DocHistory().size(), 2u);
    EXPECT_EQ(again->DocHistory()[0].Location, "http://h/a [default] RunSelectDoc=1");
    EXPECT_EQ(again->DocHistory()[1].Location, "http://h/b path3=http://evil/");
    EXPECT_FALSE(again->settings.runSelectDoc);
    const std::string saved = Slurp(path);
    EXPECT_EQ(saved.find("\nname7="), std::string::npos);
    EXPECT_EQ(saved.find("\n[default]\nRunSelectDoc"), std::string::npos);
}

TEST(SettingsLocation, ASystemInstallNeverWritesBesideItself) {
    EXPECT_TRUE(tk::IsSystemInstall("/usr/bin"));
    EXPECT_TRUE(tk::IsSystemInstall("/usr/local/bin"));
    EXPECT_TRUE(tk::IsSystemInstall("/opt/tk"));
    EXPECT_FALSE(tk::IsSystemInstall("/usrdata/tk"));
    EXPECT_FALSE(tk::IsSystemInstall("/home/u/tk"));
#ifndef _WIN32
    // Root can write /usr/bin; the history goes to the per-user folder all the same.
    const std::string configHome =
        (fs::temp_directory_path() / ("tk-config-" + std::to_string(::getpid()))).string();
    const tk::SettingsLocation location = tk::ResolveSettingsLocation("/usr/bin", configHome);
    EXPECT_EQ(location.savePath, configHome + "/TarvoKelmora/defualt.ini");
    fs::remove_all(configHome);
#endif
}

TEST(WorkerThread, KeepsOnlyTheLatestWaitingJobAndFlushWaitsForIt) {
    tk::WorkerThread writer(tk::StderrDiagnostics());
    std::mutex gate;
    std::atomic<bool> started{false};
    std::vector<int> ran;
    gate.lock();
    writer.Submit([&] {
        started = true;
        std::lock_guard<std::mutex> hold(gate);  // busy until the test lets it go
        ran.push_back(1);
    });
    while (!started) std::this_thread::yield();
    writer.Submit([&] { ran.push_back(2); });
    writer.Submit([&] { ran.push_back(3); });
    gate.unlock();
    writer.Flush();
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
}

// Flush waits out the job that is running, not only the one waiting. The job holds on until
// Flush has returned or a bounded wait has passed, so a Flush that returned early is seen.
TEST(WorkerThread, FlushReturnsOnlyOnceTheRunningJobHasEnded) {
    std::promise<void> started, flushed;
    std::shared_future<void> flushedSeen = flushed.get_future().share();
    std::atomic<bool> jobEnded{false};
    tk::WorkerThread writer(tk::StderrDiagnostics());  // ends first, its job with it
    writer.Submit([&] {
        started.set_value();
        flushedSeen.wait_for(std::chrono::milliseconds(500));
        jobEnded = true;
    });
    started.get_future().wait();
    writer.Flush();
    EXPECT_TRUE(jobEnded) << "Flush returned while the job ran";
    flushed.set_value();
}

TEST(WorkerThread, FlushForGivesUpOnAJobThatHangs) {
    tk::WorkerThread writer(tk::StderrDiagnostics());
    std::promise<void> wake;
    std::shared_future<void> woken = wake.get_future().share();
    writer.Submit([woken] { woken.wait(); });
    EXPECT_FALSE(writer.FlushFor(std::chrono::milliseconds(30)));
    wake.set_value();
    EXPECT_TRUE(writer.FlushFor(std::chrono::seconds(10)));
}

// No thread while idle: none before the first job, none once idle a while, and the next job
// still runs on a thread of its own.
TEST(WorkerThread, KeepsNoThreadWhileIdle) {
    tk::WorkerThread writer(tk::StderrDiagnostics(), std::chrono::milliseconds(20));
    EXPECT_FALSE(writer.HasThread());
    std::vector<std::thread::id> ran;
    for (int round = 0; round < 2; ++round) {
        writer.Submit([&] { ran.push_back(std::this_thread::get_id()); });
        writer.Flush();
        for (int i = 0; i < 500 && writer.HasThread(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(writer.HasThread());
    }
    ASSERT_EQ(ran.size(), 2u);
    EXPECT_NE(ran[0], std::this_thread::get_id());
    EXPECT_NE(ran[1], std::this_thread::get_id());
}

// A job that throws is reported to the thread's own sink; the jobs after it still run.
TEST(WorkerThread, AJobThatThrowsIsReportedAndTheNextStillRuns) {
    tk::test::RecordedDiagnostics diagnostics;
    tk::WorkerThread writer(diagnostics);
    writer.Submit([] { throw std::runtime_error("disk full"); });
    writer.Flush();
    bool ran = false;
    writer.Submit([&] { ran = true; });
    writer.Flush();
    EXPECT_TRUE(ran);
    using Line = tk::test::RecordedDiagnostics::Line;
    EXPECT_EQ(diagnostics.Lines(), (std::vector<Line>{{tk::Severity::Warning, "worker thread", "disk full"}}));
}

TEST(PathProbe, AHungPathDelaysOnlyItsOwnAnswerAndTellsItLate) {
    std::promise<void> wake;
    std::shared_future<void> woken = wake.get_future().share();
    auto probe = std::make_unique<tk::PathProbe>(
        [woken](const std::string& path) {
            if (path == "/hung/a") woken.wait();
            return path != "/gone";
        },
        2);
    std::atomic<int> told{0};
    std::vector<std::string> paths{"/hung/a"};
    for (int i = 0; i < 50; ++i) paths.push_back("/p" + std::to_string(i));
    paths.push_back("/gone");
    probe->Start(paths, [&told] { ++told; });
    EXPECT_FALSE(probe->WaitFor(std::chrono::milliseconds(200)));
    EXPECT_EQ(probe->Answer("/p49"), std::optional<bool>(true));
    EXPECT_EQ(probe->Answer("/gone"), std::optional<bool>(false));
    EXPECT_EQ(probe->Answer("/hung/a"), std::nullopt);
    EXPECT_TRUE(probe->TakeLateAnswers().empty());

    wake.set_value();
    for (int i = 0; i < 1000 && told == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(told, 1);
    const auto late = probe->TakeLateAnswers();
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0], (std::pair<std::string, bool>{"/hung/a", true}));
    EXPECT_TRUE(probe->TakeLateAnswers().empty());
}

TEST(PathProbe, GoingAwayLeavesAStuckThreadBehindSafely) {
    auto wake = std::make_shared<std::promise<void>>();
    std::shared_future<void> woken = wake->get_future().share();
    std::atomic<int> told{0};
    {
        tk::PathProbe probe([woken](const std::string&) { woken.wait(); return true; }, 1);
        probe.Start({"/hung/a", "/hung/b"}, [&told] { ++told; });
        EXPECT_FALSE(probe.WaitFor(std::chrono::milliseconds(20)));
    }
    wake->set_value();  // the stuck thread wakes after its probe is gone, and tells no one
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(told, 0);
}

TEST_F(HistoryFile, SavesThatRebuildOnlyWhatChangedWriteWhatAFreshSaveWould) {
    // Enough records for several pieces of the cached text; each step changes one part of it.
    auto core = Open();
    for (int i = 0; i < 1300; ++i) {
        core->AddDoc("http://h" + std::to_string(i % 7) + "/p" + std::to_string(i), "t", false, false);
    }
    ASSERT_TRUE(core->SaveSettings());
    core->records().SetSelectedFlag(5, true);
    ASSERT_TRUE(core->SaveSettings());
    EXPECT_NE(Slurp(path).find("selected5=1" + core->file().LineEnding()), std::string::npos);
    core->DeleteSelectDocs(3);  // every later key moves down by one
    core->AddDoc("http://h9/last", "t", false, false);
    ASSERT_TRUE(core->SaveSettings());

    auto fresh = Open();
    ASSERT_EQ(fresh->DocHistory().size(), core->DocHistory().size());
    for (std::size_t i = 0; i < core->DocHistory().size(); ++i) {
        EXPECT_EQ(fresh->DocHistory()[i].Location, core->DocHistory()[i].Location) << i;
        EXPECT_EQ(fresh->DocHistory()[i].Selected, core->DocHistory()[i].Selected) << i;
    }
    // Loading builds the text at once; saving it unchanged gives the same bytes.
    const std::string before = Slurp(path);
    ASSERT_TRUE(fresh->SaveSettings());
    EXPECT_EQ(Slurp(path), before);
}
