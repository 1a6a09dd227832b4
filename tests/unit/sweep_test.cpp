#include <gtest/gtest.h>

#include "detection/sweep.h"
#include "fakes.h"
#include "test_history.h"
#include "base/text.h"
#include "tree_dump.h"

using tk::Sweep;
using tk::test::Dump;
using Lines = std::vector<std::string>;
using Strings = std::vector<std::string>;

namespace {

template <typename Dialect>
struct SweepFixture {
    explicit SweepFixture(Dialect d) : dialect(std::move(d)) {}
    Dialect dialect;
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::test::FakeWindowSystem windows;
    tk::test::FakeShellWindows shell;
    tk::test::TestHistory history{dialect, files, icons};
    Sweep sweep{history.records(), files, windows, shell, history.diagnostics};
};

struct PosixSweep : ::testing::Test, SweepFixture<tk::PosixPathDialect> {
    PosixSweep() : SweepFixture(tk::PosixPathDialect("/home/u")) {}
};
struct WindowsSweep : ::testing::Test, SweepFixture<tk::WindowsPathDialect> {
    WindowsSweep() : SweepFixture(tk::WindowsPathDialect()) {}
};

}  // namespace

TEST_F(PosixSweep, ListsOnlyVisibleUnownedNonToolWindows) {
    files.files = {"/usr/bin/xterm", "/usr/bin/a", "/usr/bin/b", "/usr/bin/c", "/usr/bin/d"};
    windows.Add(1, "  term  ", "/usr/bin/xterm");
    windows.Add(2, "hidden", "/usr/bin/a", false);
    windows.Add(3, "dialog", "/usr/bin/b", true, 555);
    windows.Add(4, "owned by the desktop", "/usr/bin/c", true, windows.snapshot.desktopWindow);
    windows.Add(5, "tool", "/usr/bin/d", true, 0, true);
    windows.Add(1, "", "/usr/bin/xterm");  // second window of the same program, no text
    sweep.CheckOpenDocs();

    ASSERT_EQ(sweep.WindowList().size(), 3u);
    EXPECT_EQ(sweep.WindowList()[0].first, "  term  ");
    EXPECT_EQ(sweep.WindowList()[2].first, "");
    EXPECT_EQ(Dump(history.TVApp()), (Lines{"c [12] #1", "xterm [11] #0"}));
    EXPECT_EQ(history.DocHistory()[0].Location, "/usr/bin/xterm");
    EXPECT_EQ(history.DocHistory()[0].Title, "xterm");
    EXPECT_EQ(sweep.OpenDocs(), (Strings{"/usr/bin/xterm", "/usr/bin/c", "/usr/bin/xterm"}));
    EXPECT_TRUE(sweep.IsDocOpen("/usr/bin/c"));
    EXPECT_FALSE(sweep.IsDocOpen(" /usr/bin/c"));

    // The next sweep starts OpenDocs afresh.
    windows.snapshot.windows.clear();
    sweep.CheckOpenDocs();
    EXPECT_TRUE(sweep.OpenDocs().empty());
}

TEST_F(PosixSweep, SkipsWhatCannotBeResolvedAndCutsLongTexts) {
    files.files = {"/usr/bin/ok"};
    files.dirs = {"/opt/app"};
    windows.Add(1, "gone", "");                       // process vanished
    windows.Add(2, "deleted", "/usr/bin/deleted");    // executable no longer on disk
    windows.Add(0, "no pid", "");
    windows.Add(3, std::string(10000, 'x') + "中", "/usr/bin/ok");
    windows.Add(4, "dir", "/opt/app");                // a directory counts as existing
    windows.Add(5, "中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题中文标题", "/usr/bin/ok");
    sweep.CheckOpenDocs();
    EXPECT_EQ(sweep.WindowList()[3].first.size(), 128u);
    EXPECT_LE(sweep.WindowList()[5].first.size(), 128u);
    EXPECT_TRUE(tk::IsValidUtf8(sweep.WindowList()[5].first));
    EXPECT_EQ(sweep.OpenDocs(), (Strings{"/usr/bin/ok", "/opt/app", "/usr/bin/ok"}));
    EXPECT_EQ(history.DocHistory().size(), 2u);
    EXPECT_EQ(windows.asked, (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
}

TEST_F(WindowsSweep, SpecialTitlesAndExcludedExecutables) {
    const std::string explorer = "C:\\WINDOWS\\explorer.exe";
    files.files = {explorer, "C:\\Apps\\qq.exe.d\\chat.exe", "C:\\Program Files\\Tencent\\QQ.exe",
                   "C:\\Tools\\edit.exe"};
    windows.Add(1, "桌面", explorer);
    windows.Add(1, "控制面板", explorer);  // same location: nothing new
    windows.Add(1, "C:\\Data", explorer);  // an ordinary folder window is the shell pass's
    windows.Add(2, "chat", "C:\\Apps\\qq.exe.d\\chat.exe");
    windows.Add(3, "QQ", "C:\\Program Files\\Tencent\\QQ.exe");
    windows.Add(4, "edit", "C:\\Tools\\edit.exe");
    history.AddDoc("http://edit.exe/x", "x", false, false);
    windows.Add(5, "other", "C:\\Tools\\edit.exe");
    sweep.CheckOpenDocs();
    EXPECT_EQ(Dump(history.TVApp()), (Lines{"edit.exe [11] #2", "桌面 [9] #1"}));
    EXPECT_EQ(sweep.OpenDocs(),
              (Strings{explorer, explorer, "C:\\Tools\\edit.exe", "C:\\Tools\\edit.exe"}));

    // A recorded location equal to the bare file name suppresses the registration.
    tk::test::TestHistory other(dialect, files, icons);
    other.AddDoc("edit.exe", "edit.exe", true, false);
    Sweep second(other.records(), files, windows, shell, other.diagnostics);
    second.CheckOpenDocs();
    EXPECT_FALSE(other.DocExists("C:\\Tools\\edit.exe"));
}

TEST_F(PosixSweep, ShellPassRecordsFoldersAndPages) {
    shell.result.windows = {{"file:///home/u/Data/中文 目录", true},
                            {"", true},
                            {"http://a.com/page", false},
                            {"  https://b.org/x  ", true}};
    sweep.CheckOpenDocs();
    EXPECT_EQ(sweep.OpenDocs(), (Strings{"file:///home/u/Data/中文 目录", "https://b.org/x"}));
    EXPECT_EQ(Dump(history.TVPath()),
              (Lines{"/home/u/Data [0] #0", "  /home/u/Data/中文 目录 [0] #0"}));
    EXPECT_EQ(Dump(history.TVDoc()), (Lines{"b.org [2] #1", "  b.org/x [2] #1"}));
}

// The file manager and the browsers the shell pass read are recorded by their folders and
// pages only; every other program stays, in the windows' order, before the shell's entries.
TEST_F(PosixSweep, ProgramsBehindShellWindowsAreNotPrograms) {
    files.files = {"/usr/bin/xterm", "/usr/bin/nautilus", "/usr/lib/firefox-esr/firefox-esr",
                   "/usr/bin/gedit", "/usr/bin/epiphany"};
    windows.Add(1, "term", "/usr/bin/xterm");
    windows.Add(2, "Data", "/usr/bin/nautilus");
    windows.Add(3, "Page", "/usr/lib/firefox-esr/firefox-esr");
    windows.Add(4, "notes", "/usr/bin/gedit");
    // A browser whose pages cannot be read is still no program.
    windows.Add(5, "Unread", "/usr/bin/epiphany");
    shell.browsers = {"/usr/bin/epiphany"};
    shell.result.windows = {{"file:///home/u/Data", true}, {"https://b.org/x", true}};
    shell.result.programs = {"/usr/bin/nautilus", "/usr/lib/firefox-esr/firefox-esr"};
    sweep.CheckOpenDocs();
    Strings recorded;
    for (const auto& doc : history.DocHistory()) recorded.push_back(doc.Location);
    EXPECT_EQ(recorded, (Strings{"/usr/bin/xterm", "/usr/bin/gedit", "file:///home/u/Data",
                                 "https://b.org/x"}));
    // A program the shell no longer reports is one again.
    shell.result.programs.clear();
    sweep.CheckOpenDocs();
    EXPECT_EQ(history.DocHistory().size(), 6u);
}

TEST_F(PosixSweep, ProgramsStartedByAnotherFileAreRecordedAsTheirLauncher) {
    const std::string terminal = "/usr/share/applications/org.gnome.Terminal.desktop";
    const std::string flat = "/var/lib/flatpak/exports/share/applications/org.example.Flat.desktop";
    files.files = {"/usr/libexec/gnome-terminal-server", "/usr/bin/xterm", "/usr/bin/python3.11",
                   "/usr/lib/chromium/chromium", terminal, flat,
                   "/usr/share/applications/chromium.desktop"};
    windows.started = {
        {"/usr/libexec/gnome-terminal-server", {terminal, "gnome-terminal"}},
        {"/app/bin/flat", {flat, "org.example.Flat"}},  // runs where this host cannot see
        {"/usr/bin/python3.11", {"/home/u/.local/share/applications/gone.desktop", "gone"}},
        {"/usr/lib/chromium/chromium", {"/usr/share/applications/chromium.desktop", "chromium"}}};
    windows.Add(1, "t1", "/usr/libexec/gnome-terminal-server");
    windows.Add(1, "t2", "/usr/libexec/gnome-terminal-server");
    windows.Add(2, "calc", "/app/bin/flat");
    windows.Add(3, "script", "/usr/bin/python3.11");  // its launcher was removed meanwhile
    windows.Add(4, "Page", "/usr/lib/chromium/chromium");
    windows.Add(5, "term", "/usr/bin/xterm");
    shell.result.programs = {"/usr/lib/chromium/chromium"};
    sweep.CheckOpenDocs();
    Lines recorded;
    for (const auto& doc : history.DocHistory()) {
        recorded.push_back(doc.Location + " | " + doc.Title + " | " + std::to_string(doc.DocType));
    }
    EXPECT_EQ(recorded, (Lines{terminal + " | gnome-terminal | 2", flat + " | org.example.Flat | 2",
                               "/usr/bin/python3.11 | python3.11 | 2",
                               "/usr/bin/xterm | xterm | 2"}));
    EXPECT_TRUE(sweep.IsDocOpen(terminal));
    EXPECT_FALSE(sweep.IsDocOpen("/usr/libexec/gnome-terminal-server"));
}

TEST_F(PosixSweep, ErrorsEndTheirPassButKeepWhatWasRecorded) {
    files.files = {"/usr/bin/a", "/usr/bin/c"};
    windows.Add(1, "a", "/usr/bin/a");
    windows.Add(2, "b", "/usr/bin/b");
    windows.Add(3, "c", "/usr/bin/c");
    windows.failOnPid = 2;
    shell.result.windows = {{"http://h/p", true}};
    shell.result.ok = false;  // the pass failed after listing one window
    sweep.CheckOpenDocs();
    EXPECT_EQ(sweep.OpenDocs(), (Strings{"/usr/bin/a", "http://h/p"}));
    EXPECT_EQ(history.DocHistory().size(), 2u);
    EXPECT_EQ(shell.calls, 1);

    // A desktop that cannot be asked at all leaves the shell pass to run.
    windows.snapshot.ok = false;
    shell.result.ok = true;
    sweep.CheckOpenDocs();
    EXPECT_EQ(sweep.OpenDocs(), (Strings{"http://h/p"}));
}

TEST(SweepHostile, ThousandsOfWindows) {
    tk::PosixPathDialect dialect("/home/u");
    tk::test::FakeFileSystem files;
    tk::test::FakeFileIcons icons;
    tk::test::FakeWindowSystem windows;
    tk::test::FakeShellWindows shell;
    tk::test::TestHistory history(dialect, files, icons);
    Sweep sweep(history.records(), files, windows, shell, history.diagnostics);
    for (int i = 0; i < 1000; ++i) {
        const std::string exe = "/usr/bin/p" + std::to_string(i % 300);
        files.files.insert(exe);
        windows.Add(i + 1, std::string("\x01\xFF\xFE title \n") + std::to_string(i), exe);
    }
    sweep.CheckOpenDocs();
    EXPECT_EQ(history.DocHistory().size(), 300u);
    EXPECT_EQ(sweep.OpenDocs().size(), 1000u);
}

TEST_F(PosixSweep, AWindowWithoutAProcessCountsByTheExecutableTheDesktopNamed) {
    // Native Wayland windows off sway come with their program's path instead of a pid.
    files.files = {"/usr/bin/foot", "/usr/bin/xterm"};
    windows.Add(0, "foot", "");
    windows.snapshot.windows.back().executable = "/usr/bin/foot";
    windows.Add(0, "unknown program", "");
    windows.Add(7, "xterm", "/usr/bin/xterm");
    windows.snapshot.windows.back().executable = "/usr/bin/ignored-when-a-pid-is-known";
    sweep.CheckOpenDocs();

    EXPECT_EQ(sweep.OpenDocs(), (Strings{"/usr/bin/foot", "/usr/bin/xterm"}));
    ASSERT_EQ(history.DocHistory().size(), 2u);
    EXPECT_EQ(history.DocHistory()[0].Location, "/usr/bin/foot");
    // A pid of 0 is never asked about.
    EXPECT_EQ(windows.asked, (std::vector<std::int64_t>{7}));
}

// A pass that fails is reported, as a warning, once per kind, whatever the thrown thing, not
// at every sweep; the other pass still runs. Each sweep reports to the sink it was given.
TEST_F(PosixSweep, AFailingPassIsReportedOncePerKind) {
    struct ThrowingShell : tk::ShellWindows {
        tk::ShellWindowsResult List() override { throw 42; }
    } throwingShell;
    tk::test::RecordedDiagnostics reports;
    Sweep failing{history.records(), files, windows, throwingShell, reports};
    files.files = {"/usr/bin/a"};
    windows.Add(1, "a", "/usr/bin/a");
    windows.Add(2, "b", "/usr/bin/b");
    windows.failOnPid = 2;
    for (int pass = 0; pass < 3; ++pass) failing.CheckOpenDocs();
    using Line = tk::test::RecordedDiagnostics::Line;
    EXPECT_EQ(reports.Lines(), (std::vector<Line>{
                                   {tk::Severity::Warning, "sweep", "shell pass failed: unknown error"},
                                   {tk::Severity::Warning, "sweep", "window pass failed: process query failed"}}));
    EXPECT_EQ(failing.OpenDocs(), Strings{"/usr/bin/a"});
    EXPECT_TRUE(history.diagnostics.Lines().empty());
}
