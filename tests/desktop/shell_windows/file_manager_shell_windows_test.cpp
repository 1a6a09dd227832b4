#include "platform/linux/shell_windows/file_manager_shell_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include <gio/gio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "require.h"
#include "virtual_desktop.h"

using namespace tk;
using tk::test::VirtualDesktop;
using tk::test::WaitFor;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFileManagerName = "org.freedesktop.FileManager1";
// Generous: a first start of the file manager on a busy two-core machine takes seconds.
constexpr int kStartTimeoutMs = 60000;

TEST(FileManagerLocation, LocalFoldersAreDecodedOtherUrisKept) {
    const auto at = FileManagerShellWindows::LocationFromUri;
    EXPECT_EQ(at("file:///tmp/fm%20%E4%B8%AD%E6%96%87"), "file:///tmp/fm 中文");
    EXPECT_EQ(at("file:///tmp/50%25%20%231"), "file:///tmp/50% #1");
    EXPECT_EQ(at("file://localhost/srv/a%20b"), "file:///srv/a b");
    EXPECT_EQ(at("file:///"), "file:///");
    EXPECT_EQ(at("trash:///"), "trash:///");
    EXPECT_EQ(at("computer:///"), "computer:///");
    EXPECT_EQ(at("file://otherhost/share"), "file://otherhost/share");
    EXPECT_EQ(at("sftp://host/home/%E4%B8%AD"), "sftp://host/home/%E4%B8%AD");
    // A folder name that is not UTF-8 still reaches the core as valid text.
    EXPECT_EQ(at("file:///tmp/%FF%FEx"), "file:///tmp/\xEF\xBF\xBD\xEF\xBF\xBDx");
    EXPECT_EQ(at(""), "");
}

// Stands in for a file manager on the test bus: owns its name and answers every call from
// the bus connection's own thread, with the windows it was given, or not at all (hung).
class FakeFileManager {
public:
    // Takes the connection.
    explicit FakeFileManager(GDBusConnection* connection) : m_connection(connection) {
        if (m_connection == nullptr) return;
        g_dbus_connection_add_filter(m_connection, Answer, this, nullptr);
        GVariant* reply = g_dbus_connection_call_sync(
            m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", kFileManagerName, 4u /* do not queue */),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        guint32 answer = 0;
        if (reply != nullptr) {
            g_variant_get(reply, "(u)", &answer);
            g_variant_unref(reply);
        }
        m_owner = answer == 1;  // primary owner
    }
    ~FakeFileManager() {
        if (m_connection != nullptr) {
            g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
            g_object_unref(m_connection);
        }
        SetWindows(nullptr);
    }
    FakeFileManager(const FakeFileManager&) = delete;
    FakeFileManager& operator=(const FakeFileManager&) = delete;

    bool Owner() const { return m_owner; }
    // The property's value from now on (any type, as a faulty program might send); null: hung.
    void SetWindows(GVariant* windows) {
        std::lock_guard lock(m_mutex);
        if (m_windows != nullptr) g_variant_unref(m_windows);
        m_windows = windows != nullptr ? g_variant_ref_sink(windows) : nullptr;
    }

private:
    static GDBusMessage* Answer(GDBusConnection* connection, GDBusMessage* message,
                                gboolean incoming, gpointer self) {
        if (!incoming ||
            g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
            return message;
        }
        auto* fake = static_cast<FakeFileManager*>(self);
        std::lock_guard lock(fake->m_mutex);
        if (fake->m_windows != nullptr) {
            GDBusMessage* reply = g_dbus_message_new_method_reply(message);
            g_dbus_message_set_body(reply, g_variant_new("(v)", fake->m_windows));
            g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE,
                                           nullptr, nullptr);
            g_object_unref(reply);
        }
        g_object_unref(message);
        return nullptr;
    }

    GDBusConnection* m_connection = nullptr;
    bool m_owner = false;
    std::mutex m_mutex;
    GVariant* m_windows = nullptr;
};

GVariant* Windows(const std::vector<std::pair<std::string, std::vector<std::string>>>& windows) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sas}"));
    for (const auto& [path, locations] : windows) {
        GVariantBuilder uris;
        g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
        for (const std::string& uri : locations) g_variant_builder_add(&uris, "s", uri.c_str());
        g_variant_builder_add(&builder, "{sas}", path.c_str(), &uris);
    }
    return g_variant_builder_end(&builder);
}

// A private session bus, in a temporary folder, with one activatable service whose start
// leaves a mark: the way to see whether anything asked the bus to start a file manager.
class FileManagerShellWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The file manager needs no window manager, and without one no other client comes
        // and goes before it.
        m_desktop =
            std::make_unique<VirtualDesktop>(VirtualDesktop::Options{.windowManager = false});
        ASSERT_TRUE(m_desktop->Ok()) << m_desktop->Error();
        char pattern[] = "/tmp/tk-shell-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "services");
        fs::create_directories(m_root / "home");
        fs::create_directories(m_root / "run");
        fs::permissions(m_root / "run", fs::perms::owner_all);
        m_address = "unix:path=" + (m_root / "bus").string();
        std::ofstream(m_root / "services/fm.service")
            << "[D-BUS Service]\nName=" << kFileManagerName << "\nExec=/usr/bin/touch " << Marker()
            << "\n";
        // A session bus whose only activatable service is the marker above.
        std::ofstream(m_root / "bus.conf")
            << "<busconfig><type>session</type><listen>" << m_address << "</listen>"
            << "<servicedir>" << (m_root / "services").string() << "</servicedir>"
            << "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            << "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        ASSERT_TRUE(StartBus());
    }
    void TearDown() override {
        if (m_probe != nullptr) g_object_unref(m_probe);
        m_desktop.reset();  // ends the file manager and the bus before their folder goes
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    std::string Marker() const { return (m_root / "activated").string(); }

    bool StartBus() {
        m_bus = m_desktop->Spawn({"dbus-daemon", "--config-file=" + (m_root / "bus.conf").string(),
                                  "--nofork", "--nopidfile"});
        if (m_probe != nullptr) g_object_unref(m_probe);
        m_probe = nullptr;
        return m_bus > 0 && WaitFor([&] { return (m_probe = Connect()) != nullptr; });
    }
    void StopBus() {
        m_desktop->Kill(m_bus);
        m_bus = -1;
    }
    GDBusConnection* Connect() const {
        return g_dbus_connection_new_for_address_sync(
            m_address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
    }
    bool FileManagerRuns() const {
        GVariant* reply = g_dbus_connection_call_sync(
            m_probe, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", g_variant_new("(s)", kFileManagerName), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        gboolean owned = FALSE;
        if (reply != nullptr) {
            g_variant_get(reply, "(b)", &owned);
            g_variant_unref(reply);
        }
        return owned;
    }
    pid_t StartNautilus(const std::vector<std::string>& folders) {
        const std::string home = (m_root / "home").string();
        std::vector<std::string> argv{"nautilus"};
        argv.insert(argv.end(), folders.begin(), folders.end());
        return m_desktop->Spawn(
            argv, {"DBUS_SESSION_BUS_ADDRESS=" + m_address,
                   "XDG_RUNTIME_DIR=" + (m_root / "run").string(), "HOME=" + home,
                   "XDG_CONFIG_HOME=" + home + "/.config",
                   "XDG_DATA_HOME=" + home + "/.local/share", "XDG_CACHE_HOME=" + home + "/.cache",
                   "LANG=C.UTF-8", "GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1", "GTK_A11Y=none"});
    }
    static std::vector<std::string> Locations(const ShellWindowsResult& result) {
        std::vector<std::string> urls;
        for (const ShellWindow& w : result.windows) {
            EXPECT_TRUE(w.hasDocument) << w.locationUrl;
            urls.push_back(w.locationUrl);
        }
        std::sort(urls.begin(), urls.end());
        return urls;
    }

    std::unique_ptr<VirtualDesktop> m_desktop;
    fs::path m_root;
    std::string m_address;
    pid_t m_bus = -1;
    GDBusConnection* m_probe = nullptr;
};

TEST_F(FileManagerShellWindowsTest, ReportsTheFoldersNautilusShowsByTheirRealNames) {
    TK_REQUIRE_TOOL("nautilus");
    const fs::path chinese = m_root / "中文 目录";
    const fs::path reserved = m_root / "50% #1";
    fs::create_directories(chinese);
    fs::create_directories(reserved);
    const pid_t nautilus = StartNautilus({chinese.string(), reserved.string()});
    ASSERT_GT(nautilus, 0);

    FileManagerShellWindows shell(m_address);
    const std::vector<std::string> expected{"file://" + reserved.string(),
                                            "file://" + chinese.string()};
    ShellWindowsResult result;
    const bool shown = WaitFor(
        [&] {
            result = shell.List();
            return result.ok && Locations(result) == expected;
        },
        kStartTimeoutMs);
    EXPECT_TRUE(shown) << "ok=" << result.ok << " error=" << result.error
                       << " windows=" << result.windows.size() << " owner=" << FileManagerRuns();

    // Once the file manager has quit there are no folder windows, and no error either.
    m_desktop->Kill(nautilus);
    ASSERT_TRUE(WaitFor([&] { return !FileManagerRuns(); }));
    result = shell.List();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.windows.empty());
    EXPECT_FALSE(fs::exists(Marker()));
}

TEST_F(FileManagerShellWindowsTest, NeverStartsAFileManager) {
    FileManagerShellWindows shell(m_address);
    for (int i = 0; i < 2; ++i) {
        const ShellWindowsResult result = shell.List();
        EXPECT_TRUE(result.ok) << result.error;
        EXPECT_TRUE(result.windows.empty());
    }
    EXPECT_FALSE(FileManagerRuns());
    EXPECT_FALSE(fs::exists(Marker()));

    // The service really is activatable: a message that lets the bus start it leaves the mark.
    g_dbus_connection_call(m_probe, kFileManagerName, "/org/freedesktop/FileManager1",
                           "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    EXPECT_TRUE(WaitFor([&] { return fs::exists(Marker()); }));
}

TEST_F(FileManagerShellWindowsTest, ABusThatNeverAnswersDoesNotHoldTheSweep) {
    // Accepts connections (the kernel does, into the backlog) and never says a word.
    const std::string path = (m_root / "silent").string();
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(silent, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 8), 0);
    FileManagerShellWindows shell("unix:path=" + path);
    const ShellWindowsResult result = shell.List();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.windows.empty());
    ::close(silent);
}

TEST_F(FileManagerShellWindowsTest, ReadsWhatTheFileManagerPublishes) {
    FakeFileManager fake(Connect());
    ASSERT_TRUE(fake.Owner());
    fake.SetWindows(Windows({{"/w/1", {"file:///tmp/a%20b", "file:///tmp/earlier"}},
                             {"/w/2", {"trash:///"}},
                             {"/w/3", {}}}));
    FileManagerShellWindows shell(m_address);
    ShellWindowsResult result = shell.List();
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.windows.size(), 3u);
    std::sort(
        result.windows.begin(), result.windows.end(),
        [](const ShellWindow& a, const ShellWindow& b) { return a.locationUrl < b.locationUrl; });
    EXPECT_EQ(result.windows[0].locationUrl, "");
    EXPECT_FALSE(result.windows[0].hasDocument);  // a window still opening
    EXPECT_EQ(result.windows[1].locationUrl, "file:///tmp/a b");
    EXPECT_TRUE(result.windows[1].hasDocument);
    EXPECT_EQ(result.windows[2].locationUrl, "trash:///");
    // The program that answered (here the test itself) shows folders, it is no program.
    EXPECT_EQ(result.programs, std::vector<std::string>{fs::read_symlink("/proc/self/exe").string()});

    fake.SetWindows(g_variant_new_strv(nullptr, 0));
    result = shell.List();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("as"), std::string::npos) << result.error;

    // Hung: the pass ends with an error after the call's time-out, not never.
    fake.SetWindows(nullptr);
    result = shell.List();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(result.windows.empty());
}

TEST_F(FileManagerShellWindowsTest, TheBusMayGoAndComeBack) {
    FileManagerShellWindows shell(m_address);
    {
        FakeFileManager fake(Connect());
        ASSERT_TRUE(fake.Owner());
        fake.SetWindows(Windows({{"/w/1", {"file:///first"}}}));
        EXPECT_EQ(Locations(shell.List()), std::vector<std::string>{"file:///first"});
    }
    // No bus: nothing to ask, which is not an error.
    StopBus();
    for (int i = 0; i < 2; ++i) {
        const ShellWindowsResult result = shell.List();
        EXPECT_TRUE(result.ok) << result.error;
        EXPECT_TRUE(result.windows.empty());
    }
    // A new bus at the same address is found again.
    ASSERT_TRUE(StartBus());
    FakeFileManager fake(Connect());
    ASSERT_TRUE(fake.Owner());
    fake.SetWindows(Windows({{"/w/1", {"file:///second"}}}));
    EXPECT_EQ(Locations(shell.List()), std::vector<std::string>{"file:///second"});
}

}  // namespace
