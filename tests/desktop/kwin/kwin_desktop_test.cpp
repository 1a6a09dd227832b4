// KDE Plasma's compositor for real: kwin_wayland on a virtual output with its own session bus,
// a native GTK window on it (foot crashes on KWin's virtual output), listed through the script the
// lister loads and unloads.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gio/gio.h>

#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/kwin/kwin_window_lister.h"
#include "platform/linux/merged_window_system.h"
#include "require.h"
#include "session_processes.h"
#include "virtual_desktop.h"

namespace fs = std::filesystem;
using namespace tk;
using namespace tk::test;

namespace {

class KWinDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        TK_REQUIRE_TOOL("kwin_wayland");
        TK_REQUIRE_TOOL("dbus-daemon");
        TK_REQUIRE_TOOL("zenity");
        AdoptOrphans();
        char dir[] = "/tmp/tk-kwin-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        // A copy carries no file capabilities, which a container cannot grant and without which
        // the installed binary is refused.
        fs::copy_file("/usr/bin/kwin_wayland", m_dir + "/kwin_wayland");

        m_address = StartPrivateBus(m_bus);
        ASSERT_FALSE(m_address.empty()) << "no private session bus";

        m_env = {"DBUS_SESSION_BUS_ADDRESS=" + m_address, "XDG_RUNTIME_DIR=" + m_dir,
                 "WAYLAND_DISPLAY=tk-kwin", "HOME=" + m_dir, "GDK_BACKEND=wayland"};
        m_kwin = SpawnInGroup(
            {m_dir + "/kwin_wayland", "--virtual", "--no-lockscreen", "--socket", "tk-kwin",
             "--width", "1024", "--height", "768"},
            {"DBUS_SESSION_BUS_ADDRESS=" + m_address, "XDG_RUNTIME_DIR=" + m_dir, "HOME=" + m_dir});
        ASSERT_TRUE(
            WaitFor([&] { return glib::BusNameHasOwner(m_address, "org.kde.KWin"); }, 60000))
            << "kwin_wayland did not start";
    }

    void TearDown() override {
        KillGroupAndReap(m_client);
        KillGroupAndReap(m_kwin);
        KillGroupAndReap(m_bus);
        ReapOrphans();
        ::unsetenv("XDG_RUNTIME_DIR");
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
    ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);  // where the script file is looked for below
    KWinWindowLister lister(m_address);
    m_client =
        SpawnInGroup({"zenity", "--info", "--title", "tk-kwin-window", "--text", "hi"}, m_env);
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
        EXPECT_EQ(entry.path().filename().string().rfind("tarvokelmora-kwin-", 0),
                  std::string::npos)
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

TEST_F(KWinDesktopTest, AnotherProgramCannotAnswerInKWinsPlace) {
    ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    KWinWindowLister lister(m_address);
    // Another program on the bus answers every listing's object, as fast as it can, with a
    // window of its own making.
    std::atomic<bool> stop{false};
    std::thread intruder([&] {
        GDBusConnection* c = g_dbus_connection_new_for_address_sync(
            m_address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (c == nullptr) return;
        const char* self = g_dbus_connection_get_unique_name(c);
        while (!stop) {
            GVariant* names = g_dbus_connection_call_sync(
                c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "ListNames", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr,
                nullptr);
            if (names == nullptr) continue;
            GVariantIter* it = nullptr;
            const gchar* name = nullptr;
            g_variant_get(names, "(as)", &it);
            while (g_variant_iter_next(it, "&s", &name)) {
                if (name[0] != ':' || g_strcmp0(name, self) == 0) continue;
                for (int serial = 1; serial <= 4; ++serial) {
                    const std::string path = "/org/tarvokelmora/WindowList/" + std::to_string(serial);
                    GVariant* r = g_dbus_connection_call_sync(
                        c, name, path.c_str(), "org.tarvokelmora.WindowList", "Windows",
                        g_variant_new("(s)", R"([{"id":"1","title":"forged","pid":1}])"), nullptr,
                        G_DBUS_CALL_FLAGS_NO_AUTO_START, 500, nullptr, nullptr);
                    if (r != nullptr) g_variant_unref(r);
                }
            }
            g_variant_iter_free(it);
            g_variant_unref(names);
        }
        g_object_unref(c);
    });
    NativeWindowList listed;
    const bool ok = WaitFor([&] { return (listed = lister.List()).ok; }, 30000);
    stop = true;
    intruder.join();
    ASSERT_TRUE(ok) << listed.error;
    for (const NativeWindow& w : listed.windows) EXPECT_NE(w.info.text, "forged");
}

TEST_F(KWinDesktopTest, APlasmaSessionIsRecognisedAndItsWindowsReachTheSweep) {
    ::setenv("WAYLAND_DISPLAY", (m_dir + "/tk-kwin").c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    ::unsetenv("DISPLAY");  // no XWayland here: the native list alone
    // KWin takes its name a moment before its scripting answers.
    KWinWindowLister probe(m_address);
    NativeWindowList first;
    ASSERT_TRUE(WaitFor([&] { return (first = probe.List()).ok; }, 30000)) << first.error;
    std::unique_ptr<WindowSystem> windows = CreateSessionWindowSystem();
    EXPECT_TRUE(windows->SeesAllWindows());
    m_client =
        SpawnInGroup({"zenity", "--info", "--title", "tk-kwin-window", "--text", "hi"}, m_env);
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const WindowInfo& w : windows->ListWindows().windows) {
                if (w.text == "tk-kwin-window" && w.pid == m_client) return true;
            }
            return false;
        },
        30000));
}

}  // namespace
