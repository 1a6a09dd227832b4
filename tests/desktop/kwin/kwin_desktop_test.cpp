// KDE Plasma's compositor for real: kwin_wayland on a virtual output with its own session bus,
// a native GTK window on it (foot crashes on KWin's virtual output), listed through the script the lister loads and unloads.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gio/gio.h>

#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/kwin/kwin_window_lister.h"
#include "require.h"
#include "virtual_desktop.h"

namespace fs = std::filesystem;
using namespace tk;
using tk::test::WaitFor;

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int stdoutFd = -1) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(stdoutFd >= 0 ? stdoutFd : devnull, 1);
        if (std::getenv("TK_TEST_VERBOSE") == nullptr) ::dup2(devnull, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void KillAndReap(pid_t pid) {
    if (pid <= 0) return;
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 300 && ::waitpid(pid, nullptr, WNOHANG) != pid; ++i) ::usleep(10000);
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, WNOHANG);
}

class KWinDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        TK_REQUIRE_TOOL("kwin_wayland");
        TK_REQUIRE_TOOL("dbus-daemon");
        TK_REQUIRE_TOOL("zenity");
        char dir[] = "/tmp/tk-kwin-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        // A copy carries no file capabilities, which a container cannot grant and without which
        // the installed binary is refused.
        fs::copy_file("/usr/bin/kwin_wayland", m_dir + "/kwin_wayland");

        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        m_bus = Spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {}, fds[1]);
        ::close(fds[1]);
        pollfd p{fds[0], POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0) {
            char c;
            if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
            m_address.push_back(c);
        }
        ::close(fds[0]);
        ASSERT_FALSE(m_address.empty()) << "no private session bus";

        m_env = {"DBUS_SESSION_BUS_ADDRESS=" + m_address, "XDG_RUNTIME_DIR=" + m_dir,
                 "WAYLAND_DISPLAY=tk-kwin", "HOME=" + m_dir, "GDK_BACKEND=wayland"};
        m_kwin = Spawn({m_dir + "/kwin_wayland", "--virtual", "--no-lockscreen", "--socket",
                        "tk-kwin", "--width", "1024", "--height", "768"},
                       {"DBUS_SESSION_BUS_ADDRESS=" + m_address, "XDG_RUNTIME_DIR=" + m_dir,
                        "HOME=" + m_dir});
        ASSERT_TRUE(WaitFor([&] { return glib::BusNameHasOwner(m_address, "org.kde.KWin"); },
                            60000))
            << "kwin_wayland did not start";
    }

    void TearDown() override {
        KillAndReap(m_client);
        KillAndReap(m_kwin);
        KillAndReap(m_bus);
        if (!m_dir.empty()) {
            std::error_code ignored;
            fs::remove_all(m_dir, ignored);
        }
    }

    std::string m_dir, m_address;
    std::vector<std::string> m_env;
    pid_t m_bus = -1, m_kwin = -1, m_client = -1;
};

TEST_F(KWinDesktopTest, ANativeWindowIsListedWithItsProcessAndTheScriptLeavesNothingBehind) {
    EXPECT_TRUE(KWinWindowLister::IsRunning(m_address));
    ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    KWinWindowLister lister(m_address);
    m_client = Spawn({"zenity", "--info", "--title", "tk-kwin-window", "--text", "hi"}, m_env);
    NativeWindowList listed;
    const bool shown = WaitFor(
        [&] {
            listed = lister.List();
            for (const NativeWindow& w : listed.windows) {
                if (w.info.text == "tk-kwin-window") return true;
            }
            return false;
        },
        30000);
    std::string titles;
    for (const NativeWindow& w : listed.windows) titles += "[" + w.info.text + "]";
    ASSERT_TRUE(shown) << "last listing: ok=" << listed.ok << " " << listed.error << " " << titles;
    int count = 0;
    for (const NativeWindow& w : listed.windows) {
        if (w.info.text != "tk-kwin-window") continue;
        ++count;
        EXPECT_EQ(w.info.pid, m_client);
        EXPECT_FALSE(w.info.toolWindow);
        EXPECT_EQ(w.info.owner, 0u);
    }
    EXPECT_EQ(count, 1);

    // Each listing unloads its script and removes its file.
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        EXPECT_EQ(entry.path().filename().string().rfind("tarvokelmora-kwin-", 0), std::string::npos)
            << entry.path();
    }
    GDBusConnection* c = g_dbus_connection_new_for_address_sync(
        m_address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    const std::string plugin = "tarvokelmora-windows-" + std::to_string(::getpid()) + "-1";
    GVariant* loaded = g_dbus_connection_call_sync(
        c, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "isScriptLoaded",
        g_variant_new("(s)", plugin.c_str()), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000,
        nullptr, nullptr);
    ASSERT_NE(loaded, nullptr);
    gboolean isLoaded = TRUE;
    g_variant_get(loaded, "(b)", &isLoaded);
    EXPECT_FALSE(isLoaded);
    g_variant_unref(loaded);
    g_object_unref(c);
}

}  // namespace
