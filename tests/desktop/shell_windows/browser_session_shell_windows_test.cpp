// Which browsers count as running and which of their files are read, on a home folder and a
// process table made by the test.
#include "platform/linux/shell_windows/browser_session_shell_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <tuple>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/shell_windows/browser_locks.h"
#include "platform/linux/shell_windows/browser_places.h"
#include "platform/linux/shell_windows/browser_session.h"
#include "platform/linux/merged_shell_windows.h"
#include "session_files.h"

using namespace tk;
using tk::test::MozLz4;
using tk::test::SnssWriter;
namespace fs = std::filesystem;
using Urls = std::vector<std::string>;

namespace {

std::string FirefoxSession(const Urls& urls) {
    std::string json = R"({"windows":[{"tabs":[)";
    for (std::size_t i = 0; i < urls.size(); ++i) {
        if (i > 0) json += ",";
        json += R"({"entries":[{"url":")" + urls[i] + R"("}],"index":1})";
    }
    return MozLz4(json + "]}]}");
}

std::string ChromiumSession(const Urls& urls) {
    SnssWriter file;
    file.WindowType(1);
    for (std::size_t i = 0; i < urls.size(); ++i) {
        file.Tab(1, static_cast<std::int32_t>(i + 1), static_cast<std::int32_t>(i), urls[i]);
    }
    return file.Bytes();
}

std::string ThisHost() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

Urls Locations(const ShellWindowsResult& result) {
    Urls urls;
    for (const auto& window : result.windows) {
        EXPECT_TRUE(window.hasDocument);
        urls.push_back(window.locationUrl);
    }
    return urls;
}

// A home folder, its config folder and a process table, all under one temporary folder.
class BrowserSessionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tk-browsers-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(Home());
        fs::create_directories(Config());
        fs::create_directories(Proc());
    }
    void TearDown() override {
        if (m_lockHolder > 0) {
            ::kill(m_lockHolder, SIGKILL);
            ::waitpid(m_lockHolder, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::string Home() const { return (m_root / "home").string(); }
    std::string Config() const { return (m_root / "config").string(); }
    std::string Proc() const { return (m_root / "proc").string(); }
    std::string Classic() const { return Home() + "/.mozilla/firefox"; }
    BrowserSessionShellWindows Shell() const {
        return BrowserSessionShellWindows({Home(), Config(), Proc()});
    }

    static void Write(const std::string& path, const std::string& bytes) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // A live process of the fake table, running `exe`.
    void Process(long pid, const std::string& exe) {
        const fs::path dir = fs::path(Proc()) / std::to_string(pid);
        fs::create_directories(dir);
        fs::create_symlink(exe, dir / "exe");
    }
    // A process whose executable cannot be read (another user's, or a zombie).
    void Unreadable(long pid, const std::string& comm, char state) {
        Write(Proc() + "/" + std::to_string(pid) + "/stat",
              std::to_string(pid) + " (" + comm + ") " + state + " 1 1 1 0 -1 0");
    }
    // A profile folder locked by `pid` as Firefox locks it; the lock comes before any file
    // the browser writes.
    std::string FirefoxProfile(const std::string& path, long pid) {
        fs::create_directories(path + "/sessionstore-backups");
        fs::create_symlink("127.0.0.1:+" + std::to_string(pid), path + "/lock");
        return path;
    }
    static std::string Recovery(const std::string& profile) {
        return profile + "/sessionstore-backups/recovery.jsonlz4";
    }
    // Holds a write lock on .parentlock from a child process, as a running Firefox does.
    long HoldParentLock(const std::string& profile) {
        int ready[2];
        if (::pipe(ready) != 0) throw std::runtime_error("pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            const int fd = ::open((profile + "/.parentlock").c_str(), O_RDWR | O_CREAT, 0644);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? '1' : '0';
            (void)!::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char ok = '0';
        (void)!::read(ready[0], &ok, 1);
        ::close(ready[0]);
        m_lockHolder = child;
        if (ok != '1') throw std::runtime_error("no lock");
        return child;
    }

    fs::path m_root;
    pid_t m_lockHolder = -1;
};

TEST_F(BrowserSessionsTest, FirefoxProfilesOfRunningBrowsersOnly) {
    Process(100, "/usr/lib/firefox-esr/firefox-esr");
    Process(101, "/usr/lib/firefox/firefox (deleted)");  // upgraded while running
    Process(103, "/usr/bin/python3");
    Unreadable(104, "firefox-esr", 'Z');
    Unreadable(105, "firefox-esr", 'S');
    Process(106, "/opt/firefox/firefox-bin");

    const std::string a = FirefoxProfile(Classic() + "/a.default", 100);
    const std::string b = FirefoxProfile(m_root.string() + "/elsewhere/b", 101);
    const std::string stale = FirefoxProfile(Classic() + "/stale", 102);
    const std::string python = FirefoxProfile(Classic() + "/python", 103);
    const std::string zombie = FirefoxProfile(Classic() + "/zombie", 104);
    const std::string other = FirefoxProfile(Classic() + "/other", 105);
    const std::string xdg = FirefoxProfile(Config() + "/mozilla/firefox/x.default", 106);
    Write(Recovery(a), FirefoxSession({"http://a/1", "about:newtab", "file:///tmp/a%20b.html",
                                       "moz-extension://id/page", "https://a/2"}));
    Write(Recovery(b), FirefoxSession({"http://b/"}));
    for (const auto& gone : {stale, python, zombie})
        Write(Recovery(gone), FirefoxSession({"http://gone/"}));
    Write(Recovery(other), FirefoxSession({"http://other/"}));
    Write(Recovery(xdg), FirefoxSession({"http://xdg/"}));
    Write(Classic() + "/profiles.ini",
          "[General]\nStartWithLastProfile=1\n\n"
          "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\nDefault=1\n\n"
          "[Profile1]\r\nName=b\r\nIsRelative=0\r\nPath=" +
              b +
              "\r\n\r\n"
              "[Profile2]\nIsRelative=1\nPath=stale\n[Profile3]\nIsRelative=1\nPath=python\n"
              "[Profile4]\nIsRelative=1\nPath=zombie\n[Profile5]\nIsRelative=1\nPath=other\n"
              "[Profile6]\nIsRelative=1\nPath=missing\n"
              "[Install4F96D1932A9F858E]\nDefault=a.default\nLocked=1\n");
    // The newer location lists its own profile and, by another path, one already seen.
    Write(Config() + "/mozilla/firefox/profiles.ini",
          "[Profile0]\nPath=x.default\nIsRelative=1\n"
          "[Profile1]\nPath=" +
              Classic() + "/./a.default\nIsRelative=0\n");

    const ShellWindowsResult result = Shell().List();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(Locations(result), (Urls{"http://a/1", "file:///tmp/a b.html", "https://a/2",
                                       "http://b/", "http://other/", "http://xdg/"}));
    // The browsers whose sessions were read, by their programs where those can be read.
    EXPECT_EQ(result.programs, (std::vector<std::string>{"/usr/lib/firefox-esr/firefox-esr",
                                                         "/usr/lib/firefox/firefox",
                                                         "/opt/firefox/firefox-bin"}));

    // No profiles at all: nothing, and no error either.
    const ShellWindowsResult none =
        BrowserSessionShellWindows({Home() + "/nobody", Config() + "/nobody", Proc()}).List();
    EXPECT_TRUE(none.ok) << none.error;
    EXPECT_TRUE(none.windows.empty());
}

TEST_F(BrowserSessionsTest, WhatAFirefoxProfileHoldsIsNotAlwaysOpen) {
    Process(100, "/usr/lib/firefox-esr/firefox-esr");
    std::string ini;
    int profiles = 0;
    const auto profile = [&](const std::string& name) {
        ini += "[Profile" + std::to_string(profiles++) + "]\nIsRelative=1\nPath=" + name + "\n";
        return FirefoxProfile(Classic() + "/" + name, 100);
    };
    // Started, nothing written yet.
    profile("fresh");
    // A file left by an earlier run, older than the running browser's lock.
    const std::string leftover = profile("leftover");
    Write(Recovery(leftover), FirefoxSession({"http://earlier/run"}));
    const timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Recovery(leftover).c_str(), old, 0), 0);
    // A damaged file with the previous write beside it.
    const std::string damaged = profile("damaged");
    Write(Recovery(damaged), FirefoxSession({"http://now/"}).substr(0, 30));
    Write(damaged + "/sessionstore-backups/recovery.baklz4", FirefoxSession({"http://backup/"}));
    // Locked through .parentlock alone, by a process of the table.
    const std::string parentLock = profile("parentlock");
    fs::remove(parentLock + "/lock");
    Write(Recovery(parentLock), FirefoxSession({"http://parent/lock"}));
    Process(HoldParentLock(parentLock), "/usr/lib/firefox-esr/firefox-esr");
    Write(Classic() + "/profiles.ini", ini);

    ShellWindowsResult result = Shell().List();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(Locations(result), (Urls{"http://backup/", "http://parent/lock"}));

    // Unreadable in every way: the pass says so and still lists the others.
    const std::string broken = profile("broken");
    Write(Recovery(broken), "mozLz40\0garbage");
    const std::string fifo = profile("fifo");
    ASSERT_EQ(::mkfifo(Recovery(fifo).c_str(), 0600), 0);
    const std::string huge = profile("huge");
    Write(Recovery(huge), "");
    fs::resize_file(Recovery(huge), kMaxSessionBytes + 1);  // sparse
    Write(Classic() + "/profiles.ini", ini);

    result = Shell().List();
    EXPECT_FALSE(result.ok);
    for (const auto& name : {broken, fifo, huge}) {
        EXPECT_NE(result.error.find(Recovery(name)), std::string::npos) << result.error;
    }
    EXPECT_EQ(Locations(result), (Urls{"http://backup/", "http://parent/lock"}));
}

TEST_F(BrowserSessionsTest, ChromiumFamilyOfRunningBrowsersOnly) {
    Process(200, "/usr/lib/chromium/chromium");
    Process(201, "/opt/brave.com/brave/brave");
    Process(202, "/opt/google/chrome/chrome");
    const auto lock = [&](const std::string& dataDir, const std::string& target) {
        fs::create_directories(Config() + "/" + dataDir);
        fs::create_symlink(target, Config() + "/" + dataDir + "/SingletonLock");
    };
    lock("chromium", ThisHost() + "-200");
    lock("BraveSoftware/Brave-Browser", ThisHost() + "-201");
    lock("google-chrome", "another-host-202");  // the same home, mounted on another machine
    lock("microsoft-edge", ThisHost() + "-999");

    const std::string chromium = Config() + "/chromium";
    Write(chromium + "/Profile 1/Sessions/Session_13441107845302951",
          ChromiumSession({"http://p1/old"}));
    Write(chromium + "/Profile 1/Sessions/Session_113441107845302951",
          ChromiumSession({"http://p1/new", "chrome://newtab/"}));
    Write(chromium + "/Profile 1/Sessions/Tabs_113441107845302952",
          ChromiumSession({"http://p1/closed"}));
    Write(chromium + "/Default/Sessions/Session_13441107845302951",
          ChromiumSession({"http://default/"}));
    Write(chromium + "/Old/Current Session", ChromiumSession({"http://old/format"}));
    fs::create_directories(chromium + "/System Profile");
    Write(chromium + "/Damaged/Sessions/Session_1", SnssWriter(2).Bytes());
    Write(Config() + "/BraveSoftware/Brave-Browser/Default/Sessions/Session_5",
          ChromiumSession({"https://brave/"}));
    Write(Config() + "/google-chrome/Default/Sessions/Session_5", ChromiumSession({"http://no/"}));
    Write(Config() + "/microsoft-edge/Default/Sessions/Session_5", ChromiumSession({"http://no/"}));

    const ShellWindowsResult result = Shell().List();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("Damaged/Sessions/Session_1"), std::string::npos) << result.error;
    EXPECT_EQ(Locations(result),
              (Urls{"http://default/", "http://old/format", "http://p1/new", "https://brave/"}));
}

TEST_F(BrowserSessionsTest, AFileIsReadAgainOnceTheBrowserChangesIt) {
    Process(100, "/usr/lib/firefox-esr/firefox-esr");
    Process(200, "/usr/lib/chromium/chromium");
    const std::string profile = FirefoxProfile(Classic() + "/p", 100);
    Write(Classic() + "/profiles.ini", "[Profile0]\nPath=p\n");
    fs::create_directories(Config() + "/chromium");
    fs::create_symlink(ThisHost() + "-200", Config() + "/chromium/SingletonLock");
    const std::string session = Config() + "/chromium/Default/Sessions/Session_1";
    SnssWriter chromium;
    chromium.WindowType(1).Tab(1, 1, 0, "http://c/1");
    Write(session, chromium.Bytes());
    Write(Recovery(profile), FirefoxSession({"http://f/1"}));

    BrowserSessionShellWindows shell = Shell();
    EXPECT_EQ(Locations(shell.List()), (Urls{"http://f/1", "http://c/1"}));
    // Firefox replaces its file, Chromium appends to its own.
    Write(Recovery(profile) + ".tmp", FirefoxSession({"http://f/2"}));
    fs::rename(Recovery(profile) + ".tmp", Recovery(profile));
    std::ofstream(session, std::ios::binary | std::ios::app)
        << SnssWriter().Tab(1, 2, 1, "http://c/2").Bytes().substr(8);
    EXPECT_EQ(Locations(shell.List()), (Urls{"http://f/2", "http://c/1", "http://c/2"}));
    EXPECT_EQ(Locations(shell.List()), (Urls{"http://f/2", "http://c/1", "http://c/2"}));
    // A browser that has quit shows nothing, whatever was read before.
    fs::remove(Proc() + "/100/exe");
    EXPECT_EQ(Locations(shell.List()), (Urls{"http://c/1", "http://c/2"}));
}

TEST(BrowserPlaces, EveryWayABrowserIsInstalled) {
    struct Row {
        BrowserFamily family;
        std::string folder;
        bool sandboxedPids;
    };
    const std::vector<Row> expected = {
        {BrowserFamily::Firefox, "/h/.mozilla/firefox", false},
        {BrowserFamily::Firefox, "/c/mozilla/firefox", false},
        {BrowserFamily::Firefox, "/h/snap/firefox/common/.mozilla/firefox", false},
        {BrowserFamily::Firefox, "/h/.var/app/org.mozilla.firefox/.mozilla/firefox", true},
        {BrowserFamily::Firefox, "/h/.var/app/org.mozilla.firefox/config/mozilla/firefox", true},
        {BrowserFamily::Chromium, "/c/chromium", false},
        {BrowserFamily::Chromium, "/c/BraveSoftware/Brave-Browser", false},
        {BrowserFamily::Chromium, "/h/snap/chromium/common/chromium", false},
        {BrowserFamily::Chromium, "/h/.var/app/org.chromium.Chromium/config/chromium", true},
        {BrowserFamily::Chromium, "/h/.var/app/com.google.Chrome/config/google-chrome", true},
        {BrowserFamily::Chromium,
         "/h/.var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser", true},
        {BrowserFamily::Chromium, "/h/.var/app/com.microsoft.Edge/config/microsoft-edge", true},
    };
    const std::vector<BrowserPlace> places = BrowserPlaces("/h", "/c");
    for (const Row& row : expected) {
        const auto found = std::find_if(places.begin(), places.end(), [&](const BrowserPlace& p) {
            return p.folder == row.folder;
        });
        ASSERT_NE(found, places.end()) << row.folder;
        EXPECT_EQ(found->family, row.family) << row.folder;
        EXPECT_EQ(found->sandboxedPids, row.sandboxedPids) << row.folder;
    }
    // Firefox's places are searched first, the distribution's own before the others.
    EXPECT_TRUE(std::is_partitioned(places.begin(), places.end(), [](const BrowserPlace& p) {
        return p.family == BrowserFamily::Firefox;
    }));
    EXPECT_EQ(places.front().folder, "/h/.mozilla/firefox");

    for (const auto& [status, pid] : std::vector<std::pair<std::string, long>>{
             {"Name:\tchrome\nNSpid:\t4242\t2\nNSpgid:\t1\n", 2},
             {"NSpid:\t77\n", 77},
             {"NSpid:\t7 \t 9 \r\n", 0},
             {"NSpid:\n", 0},
             {"Name:\tx\nPid:\t5\n", 0},
             {"NSpid:\t1\t99999999999\n", 0}}) {
        EXPECT_EQ(NamespacePid(status).value_or(0), pid) << status;
    }
}

// A Snap keeps the browser's files in the snap's own home; a Flatpak does too, and runs the
// browser in a process-id namespace of its own, so its locks name the sandbox's ids.
TEST_F(BrowserSessionsTest, SnapAndFlatpakBrowsersShowTheirPagesToo) {
    const auto status = [&](long pid, long inside) {
        Write(Proc() + "/" + std::to_string(pid) + "/status",
              "Name:\tx\nNSpid:\t" + std::to_string(pid) + "\t" + std::to_string(inside) + "\n");
    };
    Process(100, "/snap/firefox/4848/usr/lib/firefox/firefox");
    Process(300, "/app/lib/firefox/firefox");
    status(300, 2);
    Process(301, "/app/chromium/chromium");
    status(301, 2);
    Process(302, "/snap/chromium/2900/usr/lib/chromium-browser/chrome");
    Process(2, "/usr/lib/systemd/systemd-journald");  // our own process of the sandbox's id

    const std::string snap = Home() + "/snap/firefox/common/.mozilla/firefox";
    Write(Recovery(FirefoxProfile(snap + "/s.default", 100)), FirefoxSession({"http://snap/ff"}));
    Write(snap + "/profiles.ini", "[Profile0]\nPath=s.default\n");
    const std::string flat = Home() + "/.var/app/org.mozilla.firefox/.mozilla/firefox";
    Write(Recovery(FirefoxProfile(flat + "/f.default", 2)), FirefoxSession({"http://flatpak/ff"}));
    Write(flat + "/profiles.ini", "[Profile0]\nPath=f.default\n");
    for (const auto& [dataDir, pid, url] :
         std::vector<std::tuple<std::string, int, std::string>>{
             {Home() + "/.var/app/org.chromium.Chromium/config/chromium", 2, "http://flatpak/c"},
             {Home() + "/snap/chromium/common/chromium", 302, "http://snap/c"},
             // Another sandbox's id that no process of ours has inside: not running.
             {Home() + "/.var/app/com.google.Chrome/config/google-chrome", 5, "http://no/"}}) {
        fs::create_directories(dataDir);
        fs::create_symlink(ThisHost() + "-" + std::to_string(pid), dataDir + "/SingletonLock");
        Write(dataDir + "/Default/Sessions/Session_1", ChromiumSession({url}));
    }

    const ShellWindowsResult result = Shell().List();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(Locations(result), (Urls{"http://snap/ff", "http://flatpak/ff", "http://snap/c",
                                       "http://flatpak/c"}));
}

// Stands in for another source of shell windows.
class FixedSource : public ShellWindows {
public:
    explicit FixedSource(ShellWindowsResult result, bool throws = false)
        : m_result(std::move(result)), m_throws(throws) {}
    ShellWindowsResult List() override {
        if (m_throws) throw std::runtime_error("source threw");
        return m_result;
    }

private:
    ShellWindowsResult m_result;
    bool m_throws;
};

TEST(MergedShellWindows, ListsEverySourceInOrderAndKeepsEveryWindow) {
    MergedShellWindows all;
    EXPECT_TRUE(all.List().ok);
    all.Add(std::make_unique<FixedSource>(ShellWindowsResult{true, {}, {{"file:///f", true}}}))
        .Add(std::make_unique<FixedSource>(
            ShellWindowsResult{false, "bus hung", {{"file:///g", true}, {"", false}}}))
        .Add(nullptr)
        .Add(std::make_unique<FixedSource>(ShellWindowsResult{}, true))
        .Add(std::make_unique<FixedSource>(ShellWindowsResult{false, {}, {{"http://h/", true}}}));
    const ShellWindowsResult result = all.List();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("bus hung"), std::string::npos);
    EXPECT_NE(result.error.find("source threw"), std::string::npos);
    EXPECT_EQ(Locations({true, {}, {result.windows[0], result.windows[1], result.windows[3]}}),
              (Urls{"file:///f", "file:///g", "http://h/"}));
    EXPECT_FALSE(result.windows[2].hasDocument);
}

}  // namespace
