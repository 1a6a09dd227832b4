// The distribution's real browsers, started by the test on a private desktop with pages of a
// local server: what they show reaches a real sweep, and stops counting once they quit.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "desktop/file_icons.h"
#include "desktop/window_system.h"
#include "detection/sweep.h"
#include "test_history.h"
#include "desktop/path_dialect.h"
#include "platform/linux/shell_windows/browser_session_shell_windows.h"
#include "platform/linux/merged_shell_windows.h"
#include "platform/linux/posix/posix_file_system.h"
#include "platform/linux/shell_windows/file_manager_shell_windows.h"
#include "platform/linux/x11/x11_window_system.h"
#include "require.h"
#include "virtual_desktop.h"

using namespace tk;
using tk::test::VirtualDesktop;
using tk::test::WaitFor;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A browser's first start on a busy two-core machine takes seconds; these only bound a hang.
constexpr int kStartTimeoutMs = 45000;
constexpr int kOpenTimeoutMs = 20000;

// Serves a few pages on 127.0.0.1, one thread a connection: browsers open idle spare
// connections that must not hold up the real requests.
class PageServer {
public:
    PageServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        m_accepter = std::thread([this] { Accept(); });
    }
    ~PageServer() {
        m_stop = true;
        if (m_accepter.joinable()) m_accepter.join();
        for (auto& handler : m_handlers) handler.join();
        if (m_fd >= 0) ::close(m_fd);
    }

    bool Ok() const { return m_port != 0; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::string Url(const std::string& page) const { return "http://" + Host() + "/" + page; }

private:
    void Accept() {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection >= 0)
                m_handlers.emplace_back([this, connection] { Answer(connection); });
        }
    }
    void Answer(int connection) {
        std::string request;
        char buffer[4096];
        for (int waited = 0; request.find("\r\n\r\n") == std::string::npos && waited < 50;) {
            pollfd p{connection, POLLIN, 0};
            if (m_stop) break;
            if (::poll(&p, 1, 100) <= 0) {
                ++waited;
                continue;
            }
            const ssize_t n = ::read(connection, buffer, sizeof buffer);
            if (n <= 0 || request.size() > 65536) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t start = request.find(' ');
        const std::size_t end = request.find(' ', start + 1);
        if (start != std::string::npos && end != std::string::npos) {
            const std::string path = request.substr(start + 1, end - start - 1);
            const bool page = path.size() > 1 && path.ends_with(".html");
            const std::string body =
                page ? "<!doctype html><title>" + path.substr(1) + "</title><p>" + path : "";
            const std::string response =
                std::string(page ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            (void)!::send(connection, response.data(), response.size(), MSG_NOSIGNAL);
        }
        ::close(connection);
    }

    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_accepter;
    std::vector<std::thread> m_handlers;  // touched by the accepting thread only, then joined
};

constexpr const char* kQuietFirefox[] = {
    R"("browser.startup.homepage_override.mstone", "ignore")",
    R"("browser.shell.checkDefaultBrowser", false)",
    R"("browser.aboutwelcome.enabled", false)",
    R"("trailhead.firstrun.didSeeAboutWelcome", true)",
    R"("datareporting.policy.dataSubmissionEnabled", false)",
    R"("datareporting.healthreport.uploadEnabled", false)",
    R"("toolkit.telemetry.enabled", false)",
    R"("toolkit.telemetry.unified", false)",
    R"("app.update.enabled", false)",
    R"("app.update.auto", false)",
    R"("app.normandy.enabled", false)",
    R"("extensions.update.enabled", false)",
    R"("browser.safebrowsing.update.enabled", false)",
    R"("browser.safebrowsing.malware.enabled", false)",
    R"("browser.safebrowsing.phishing.enabled", false)",
    R"("network.captive-portal-service.enabled", false)",
    R"("network.connectivity-service.enabled", false)",
    R"("browser.newtabpage.enabled", false)",
    R"("browser.startup.page", 0)",
};

class NoWindows final : public WindowSystem {
public:
    WindowSnapshot ListWindows() override { return {true, {}, 0, {}}; }
    std::optional<std::string> ExecutableOfProcess(std::int64_t) override { return std::nullopt; }
};

class NoIcons final : public FileIcons {
public:
    std::optional<FileIcon> IconOf(const std::string&) override { return std::nullopt; }
};

std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(it->path() / "stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent) {
            children.push_back(std::stoi(name));
        }
    }
    return children;
}

// A private desktop, session bus, home folder and page server for one browser. The test
// process adopts whatever the browsers leave behind (their helpers outlive them) and reaps it.
class BrowsersDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        m_before = ChildrenOf(::getpid());
        ASSERT_TRUE(m_server.Ok());
        char pattern[] = "/tmp/tk-browser-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "home/.config");
        fs::create_directories(m_root / "run");
        fs::permissions(m_root / "run", fs::perms::owner_all);
        m_desktop = std::make_unique<VirtualDesktop>(
            VirtualDesktop::Options{.windowManager = m_windowManager});
        ASSERT_TRUE(m_desktop->Ok()) << m_desktop->Error();
        // A bus of our own: a running Firefox takes a second start's pages over it. It starts
        // no services.
        m_bus = "unix:path=" + (m_root / "run/bus").string();
        std::ofstream(m_root / "bus.conf")
            << "<busconfig><type>session</type><listen>" << m_bus << "</listen>"
            << "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            << "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        ASSERT_GT(
            m_desktop->Spawn({"dbus-daemon", "--config-file=" + (m_root / "bus.conf").string(),
                              "--nofork", "--nopidfile"}),
            0);
        ASSERT_TRUE(WaitFor([&] { return fs::exists(m_root / "run/bus"); }));

        m_shell.Add(std::make_unique<FileManagerShellWindows>(m_bus));
        m_shell.Add(std::make_unique<BrowserSessionShellWindows>(
            BrowserSessionShellWindows::Places{Home(), Home() + "/.config", "/proc"}));
    }
    void TearDown() override {
        m_desktop.reset();
        for (int round = 0; round < 100; ++round) {
            std::vector<pid_t> left;
            for (const pid_t child : ChildrenOf(::getpid())) {
                if (std::find(m_before.begin(), m_before.end(), child) == m_before.end()) {
                    left.push_back(child);
                }
            }
            if (left.empty()) break;
            for (const pid_t child : left) {
                ::kill(child, SIGKILL);
                ::waitpid(child, nullptr, 0);
            }
        }
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::string Home() const { return (m_root / "home").string(); }
    std::vector<std::string> Environment() const {
        return {"HOME=" + Home(),
                "XDG_CONFIG_HOME=" + Home() + "/.config",
                "XDG_CACHE_HOME=" + Home() + "/.cache",
                "XDG_DATA_HOME=" + Home() + "/.local/share",
                "XDG_RUNTIME_DIR=" + (m_root / "run").string(),
                "DBUS_SESSION_BUS_ADDRESS=" + m_bus,
                "LANG=C.UTF-8",
                "NO_AT_BRIDGE=1",
                "GTK_A11Y=none",
                "MOZ_CRASHREPORTER_DISABLE=1"};
    }

    bool Listed(const std::vector<std::string>& urls) {
        const ShellWindowsResult result = m_shell.List();
        for (const std::string& url : urls) {
            if (std::none_of(result.windows.begin(), result.windows.end(),
                             [&](const ShellWindow& w) { return w.locationUrl == url; })) {
                return false;
            }
        }
        return true;
    }

    // Starts the browser on pages a and b, sweeps, asks the running browser for page c, then
    // quits it; the times from asking to listing are reported.
    void RunBrowser(const std::string& name, const std::vector<std::string>& start,
                    const std::vector<std::string>& openAnother) {
        const std::string a = m_server.Url("a.html");
        const std::string b = m_server.Url("b.html");
        const std::string c = m_server.Url("c.html");

        std::vector<std::string> argv = start;
        argv.insert(argv.end(), {a, b});
        const auto started = Clock::now();
        const pid_t browser = m_desktop->Spawn(argv, Environment());
        ASSERT_GT(browser, 0);
        ASSERT_TRUE(WaitFor(
            [&] {
                return Listed({a, b});
            },
            kStartTimeoutMs))
            << name << " never listed its pages";
        const auto firstListed = Clock::now();

        PosixPathDialect dialect(Home());
        PosixFileSystem files;
        NoIcons icons;
        NoWindows windows;
        tk::test::TestHistory history(dialect, files, icons);
        Sweep sweep(history.records(), files, windows, m_shell, history.diagnostics);
        sweep.CheckOpenDocs();
        const std::string host = m_server.Host();
        for (CategoryTree* tree : {&history.TVDoc(), &history.TVDocs()}) {
            TreeNode* group = tree->FindNodeByText(host, false);
            ASSERT_NE(group, nullptr) << name;
            EXPECT_EQ(group->Parent(), nullptr);
            std::vector<std::string> children;
            for (int i = 0; i < group->ChildCount(); ++i)
                children.emplace_back(group->Child(i)->Text());
            EXPECT_EQ(children, (std::vector<std::string>{host + "/a.html", host + "/b.html"}));
        }
        ASSERT_EQ(history.DocHistory().size(), 2u);
        for (const TMyDoc& doc : history.DocHistory()) {
            EXPECT_EQ(doc.DocType, kDocTypeWebPage);
            EXPECT_EQ(doc.Name, host);
        }
        EXPECT_TRUE(sweep.IsDocOpen(a));
        EXPECT_TRUE(sweep.IsDocOpen(b));

        // A page the running browser is asked for: a second start hands it over and exits.
        argv = openAnother;
        argv.push_back(c);
        const auto asked = Clock::now();
        const pid_t second = m_desktop->Spawn(argv, Environment());
        ASSERT_GT(second, 0);
        ASSERT_TRUE(WaitFor(
            [&] {
                return Listed({a, b, c});
            },
            kOpenTimeoutMs))
            << name << " never listed the page it was asked to open";
        const auto thirdListed = Clock::now();
        m_desktop->Kill(second);
        sweep.CheckOpenDocs();
        EXPECT_TRUE(sweep.IsDocOpen(c));
        EXPECT_EQ(history.DocHistory().size(), 3u);

        // Once the browser has quit, its session file no longer says anything is open.
        m_desktop->Kill(browser);
        const ShellWindowsResult after = m_shell.List();
        EXPECT_TRUE(after.ok) << after.error;
        EXPECT_TRUE(after.windows.empty()) << after.windows.front().locationUrl;
        sweep.CheckOpenDocs();
        EXPECT_TRUE(sweep.OpenDocs().empty());
        EXPECT_EQ(history.DocHistory().size(), 3u);

        using std::chrono::duration_cast;
        using std::chrono::milliseconds;
        const auto startMs = duration_cast<milliseconds>(firstListed - started).count();
        const auto openMs = duration_cast<milliseconds>(thirdListed - asked).count();
        std::printf(
            "[ latency  ] %s: start to both pages listed %lld ms; "
            "new page asked for to listed %lld ms\n",
            name.c_str(), static_cast<long long>(startMs), static_cast<long long>(openMs));
        RecordProperty("start_to_listed_ms", static_cast<int>(startMs));
        RecordProperty("asked_to_listed_ms", static_cast<int>(openMs));
    }

    // A profile where `iniDir`'s profiles.ini names it, its session written every `intervalMs`;
    // no first-run pages, updates, reports or network.
    static std::string FirefoxProfile(const std::string& iniDir, int intervalMs) {
        const std::string profile = iniDir + "/test.default";
        fs::create_directories(profile);
        std::ofstream(iniDir + "/profiles.ini")
            << "[Profile0]\nName=test\nIsRelative=1\nPath=test.default\nDefault=1\n\n"
               "[General]\nStartWithLastProfile=1\nVersion=2\n";
        std::ofstream prefs(profile + "/user.js");
        prefs << "user_pref(\"browser.sessionstore.interval\", " << intervalMs << ");\n";
        for (const char* pref : kQuietFirefox) prefs << "user_pref(" << pref << ");\n";
        return profile;
    }

    bool m_windowManager = false;
    PageServer m_server;
    fs::path m_root;
    std::vector<pid_t> m_before;
    std::unique_ptr<VirtualDesktop> m_desktop;
    std::string m_bus;
    MergedShellWindows m_shell;
};

TEST_F(BrowsersDesktopTest, Firefox) {
    TK_REQUIRE_TOOL("firefox-esr");
    const std::string profile = FirefoxProfile(Home() + "/.mozilla/firefox", 1000);
    RunBrowser("firefox-esr", {"firefox-esr", "--profile", profile, "--new-instance"},
               {"firefox-esr", "--profile", profile});
}

// The same with a window manager, so the sweep sees the browser's window too.
class BrowserWindowsTest : public BrowsersDesktopTest {
protected:
    BrowserWindowsTest() { m_windowManager = true; }
};

// A browser is never recorded as a program: not at the first sweep after a fresh start, before
// it wrote any session file, nor later. Its profile lies where the Snap package keeps it, and
// the page it shows comes from there.
TEST_F(BrowserWindowsTest, FirefoxIsPagesNeverAProgramAndItsSnapProfileCounts) {
    TK_REQUIRE_TOOL("firefox-esr");
    const std::string iniDir = Home() + "/snap/firefox/common/.mozilla/firefox";
    // No session written for ten minutes: the sweep surely comes first.
    std::string profile = FirefoxProfile(iniDir, 600000);
    const std::string recovery = profile + "/sessionstore-backups/recovery.jsonlz4";
    const std::string a = m_server.Url("a.html");
    X11WindowSystem::Options options;
    options.displayName = m_desktop->Display();
    X11WindowSystem windows(options);
    PosixPathDialect dialect(Home());
    PosixFileSystem files;
    NoIcons icons;
    tk::test::TestHistory history(dialect, files, icons);
    Sweep sweep(history.records(), files, windows, m_shell, history.diagnostics);
    const std::vector<std::string> start{"firefox-esr", "--profile", profile, "--new-instance", a};

    pid_t browser = m_desktop->Spawn(start, Environment());
    ASSERT_GT(browser, 0);
    SweepFindings findings;
    ASSERT_TRUE(WaitFor(
        [&] {
            findings = sweep.Gather();
            return std::any_of(findings.rows.begin(), findings.rows.end(), [](const auto& row) {
                return row.exists && row.path.ends_with("/firefox-esr");
            });
        },
        kStartTimeoutMs))
        << "the sweep never saw the browser's window";
    EXPECT_FALSE(fs::exists(recovery)) << "the session was written before the first sweep";
    sweep.Apply(findings);
    EXPECT_TRUE(history.DocHistory().empty()) << history.DocHistory().front().Location;
    m_desktop->Kill(browser);

    // Started again, writing its session every second: the page, and still no program.
    profile = FirefoxProfile(iniDir, 1000);
    browser = m_desktop->Spawn(start, Environment());
    ASSERT_GT(browser, 0);
    ASSERT_TRUE(WaitFor([&] { return Listed({a}); }, kStartTimeoutMs)) << "no page listed";
    sweep.CheckOpenDocs();
    ASSERT_EQ(history.DocHistory().size(), 1u);
    EXPECT_EQ(history.DocHistory()[0].Location, a);
    EXPECT_EQ(history.DocHistory()[0].DocType, kDocTypeWebPage);
}

TEST_F(BrowsersDesktopTest, Chromium) {
    TK_REQUIRE_TOOL("chromium");
    const std::string dataDir = Home() + "/.config/chromium";
    // As root the browser's sandbox cannot start; the test runs it without.
    const std::vector<std::string> common{"chromium", "--user-data-dir=" + dataDir, "--no-sandbox"};
    std::vector<std::string> start = common;
    start.insert(start.end(), {"--no-first-run", "--no-default-browser-check", "--disable-gpu",
                               "--password-store=basic", "--disable-background-networking",
                               "--disable-component-update", "--disable-sync", "--noerrdialogs"});
    RunBrowser("chromium", start, common);
}

}  // namespace
