// GNOME Shell for real: headless, on a virtual monitor, with private session and system buses
// and the program's extension installed in the test's home. Until the extension is enabled
// the lister fails with a hint for the user; once it is, a native window is listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
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
#include "desktop/search_result.h"
#include "platform/linux/gnome_shell/gnome_shell_window_lister.h"
#include "platform/linux/merged_window_system.h"
#include "recorded_diagnostics.h"
#include "require.h"
#include "session_processes.h"
#include "virtual_desktop.h"

namespace fs = std::filesystem;
using namespace tk;
using namespace tk::test;

namespace {

GDBusConnection* Connect(const std::string& address) {
    return g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
}

// The D-Bus error another program on the bus gets when it asks for the list with `parameters`.
std::string ListErrorForAnyone(const std::string& address, GVariant* parameters) {
    GDBusConnection* c = Connect(address);
    if (c == nullptr) return "no connection";
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        c, "org.gnome.Shell", GnomeShellWindowLister::kObjectPath, GnomeShellWindowLister::kInterface,
        "List", parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    std::string name = "answered";
    if (reply != nullptr) g_variant_unref(reply);
    if (error != nullptr) {
        gchar* remote = g_dbus_error_get_remote_error(error);
        name = remote != nullptr ? remote : error->message;
        g_free(remote);
        g_error_free(error);
    }
    g_object_unref(c);
    return name;
}

// The installed shell's version, as `gnome-shell --version` tells it ("48.7").
std::string InstalledShellVersion() {
    std::string out;
    if (FILE* p = ::popen("gnome-shell --version 2>/dev/null", "r")) {
        char buffer[128];
        while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
        ::pclose(p);
    }
    const std::string prefix = "GNOME Shell ";
    const std::size_t at = out.find(prefix);
    if (at == std::string::npos) return {};
    std::string version = out.substr(at + prefix.size());
    while (!version.empty() && (version.back() == '\n' || version.back() == ' ')) version.pop_back();
    return version;
}

// The program's extension in the format the installed shell loads.
const char* ShellsExtensionUuid() {
    static const std::string version = InstalledShellVersion();
    return GnomeShellWindowLister::ExtensionUuidFor(version);
}

bool ModuleFormat() {
    return std::string_view(ShellsExtensionUuid() ? ShellsExtensionUuid() : "") ==
           GnomeShellWindowLister::kModuleExtensionUuid;
}

bool EnableExtension(const std::string& address, const char* uuid = ShellsExtensionUuid()) {
    GDBusConnection* c = Connect(address);
    if (c == nullptr) return false;
    GVariant* reply = g_dbus_connection_call_sync(
        c, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions", "EnableExtension",
        g_variant_new("(s)", uuid), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
    gboolean enabled = FALSE;
    if (reply != nullptr) {
        g_variant_get(reply, "(b)", &enabled);
        g_variant_unref(reply);
    }
    g_object_unref(c);
    return enabled;
}

class GnomeShellDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        TK_REQUIRE_TOOL("gnome-shell");
        TK_REQUIRE_TOOL("dbus-daemon");
        TK_REQUIRE_TOOL("zenity");
        ASSERT_NE(ShellsExtensionUuid(), nullptr)
            << "no GNOME Shell version from gnome-shell --version: " << InstalledShellVersion();
        AdoptOrphans();
        char dir[] = "/tmp/tk-gnome-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        const fs::path extensions =
            fs::path(m_dir) / ".local/share/gnome-shell/extensions" / ShellsExtensionUuid();
        fs::create_directories(extensions);
        fs::copy(fs::path(TK_GNOME_EXTENSIONS_DIR) / ShellsExtensionUuid(), extensions,
                 fs::copy_options::recursive);

        m_address = StartPrivateBus(m_sessionBus);
        ASSERT_FALSE(m_address.empty());
        // The shell insists on a system bus (for logind); an empty one will do.
        const std::string systemAddress = StartPrivateBus(m_systemBus);
        ASSERT_FALSE(systemAddress.empty());
        m_env = {"DBUS_SESSION_BUS_ADDRESS=" + m_address, "XDG_RUNTIME_DIR=" + m_dir,
                 "HOME=" + m_dir, "WAYLAND_DISPLAY=wayland-0", "GDK_BACKEND=wayland"};
        std::vector<std::string> shellEnv = {
            "DBUS_SESSION_BUS_ADDRESS=" + m_address, "DBUS_SYSTEM_BUS_ADDRESS=" + systemAddress,
            "XDG_RUNTIME_DIR=" + m_dir, "HOME=" + m_dir, "GSETTINGS_BACKEND=memory"};
        Prepare(shellEnv);
        m_shell = SpawnInGroup(
            {"gnome-shell", "--wayland", "--headless", "--virtual-monitor", "1024x768", "--no-x11",
             "--wayland-display", "wayland-0"},
            shellEnv);
        ASSERT_TRUE(
            WaitFor([&] { return glib::BusNameHasOwner(m_address, "org.gnome.Shell"); }, 60000))
            << "gnome-shell did not start";
    }

    // Anything the shell must find when it starts; its environment may be added to.
    virtual void Prepare(std::vector<std::string>& /*shellEnv*/) {}

    void TearDown() override {
        KillGroupAndReap(m_client);
        KillGroupAndReap(m_shell);
        KillGroupAndReap(m_systemBus);
        KillGroupAndReap(m_sessionBus);
        ReapOrphans();
        if (!m_dir.empty()) {
            std::error_code ignored;
            fs::remove_all(m_dir, ignored);
        }
    }

    std::string m_dir, m_address;
    std::vector<std::string> m_env;
    pid_t m_sessionBus = -1, m_systemBus = -1, m_shell = -1, m_client = -1;
};

TEST_F(GnomeShellDesktopTest, TheUserIsToldToEnableTheExtensionAndThenWindowsAreListed) {
    // The session is recognised as GNOME's; what the user is told names the extension.
    ::setenv("WAYLAND_DISPLAY", (m_dir + "/wayland-0").c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);  // where the lister leaves its pass
    ::unsetenv("DISPLAY");
    std::unique_ptr<WindowSystem> session = CreateSessionWindowSystem();
    EXPECT_FALSE(session->SeesAllWindows());
    EXPECT_NE(session->UnseenWindowsHint().find(ShellsExtensionUuid()), std::string::npos);

    GnomeShellWindowLister lister(m_address);
    NativeWindowList listed = lister.List();
    EXPECT_FALSE(listed.ok);
    EXPECT_NE(lister.Hint().find(ShellsExtensionUuid()), std::string::npos) << listed.error;

    // The shell takes its name before it has read the installed extensions. A shell newer than
    // the extension's metadata names refuses it: its version goes into metadata.json.
    ASSERT_TRUE(WaitFor([&] { return EnableExtension(m_address); }, 30000))
        << "GNOME Shell " << InstalledShellVersion() << " would not enable " << ShellsExtensionUuid();
    m_client =
        SpawnInGroup({"zenity", "--info", "--title", "tk-gnome-window", "--text", "hi"}, m_env);
    const bool shown = WaitFor(
        [&] {
            listed = lister.List();
            for (const NativeWindow& w : listed.windows) {
                if (w.info.text == "tk-gnome-window") return true;
            }
            return false;
        },
        30000);
    ASSERT_TRUE(shown) << "last listing: ok=" << listed.ok << " " << listed.error;
    EXPECT_EQ(lister.Hint(), "");
    int count = 0;
    for (const NativeWindow& w : listed.windows) {
        if (w.info.text != "tk-gnome-window") continue;
        ++count;
        EXPECT_EQ(w.info.pid, m_client);
        EXPECT_FALSE(w.xwayland);
        EXPECT_EQ(w.info.owner, 0u);
    }
    EXPECT_EQ(count, 1);
    // Another program gets no list: not without a pass, not with one it made up, not with one
    // that was good for a call that has ended.
    const std::string denied = "org.freedesktop.DBus.Error.AccessDenied";
    EXPECT_EQ(ListErrorForAnyone(m_address, g_variant_new("(s)", "0123456789abcdef0123456789abcdef")), denied);
    EXPECT_EQ(ListErrorForAnyone(m_address, g_variant_new("(s)", "../../../etc/passwd")), denied);
    EXPECT_NE(ListErrorForAnyone(m_address, nullptr), "answered");
    EXPECT_TRUE(fs::is_empty(m_dir + "/tarvokelmora-callers"));
    // The session's own lister sees it too from now on, and has nothing more to say.
    EXPECT_GT(session->ListWindows().windows.size(), 0u);
    EXPECT_TRUE(session->SeesAllWindows());
    EXPECT_EQ(session->UnseenWindowsHint(), "");
}

}  // namespace

// Each shell loads only the extension its version accepts; the user is told to enable that one.
TEST(GnomeShellExtension, TheUserIsToldTheUuidTheirShellLoads) {
    struct Case {
        const char* version;
        const char* uuid;
    };
    const Case cases[] = {
        {"42.0", GnomeShellWindowLister::kExtensionUuid},
        {"43.9", GnomeShellWindowLister::kExtensionUuid},
        {"44.beta", GnomeShellWindowLister::kExtensionUuid},
        {"45.0", GnomeShellWindowLister::kModuleExtensionUuid},
        {"46.rc", GnomeShellWindowLister::kModuleExtensionUuid},
        {"100.1", GnomeShellWindowLister::kModuleExtensionUuid},
        {"", nullptr},
        {"x43", nullptr},
        {"4", GnomeShellWindowLister::kExtensionUuid},
        {"99999999999999999999", GnomeShellWindowLister::kModuleExtensionUuid},
    };
    for (const Case& c : cases) {
        const char* uuid = GnomeShellWindowLister::ExtensionUuidFor(c.version);
        if (c.uuid == nullptr) {
            EXPECT_EQ(uuid, nullptr) << c.version;
        } else {
            EXPECT_STREQ(uuid, c.uuid) << c.version;
        }
    }
}

// The shell's own search: the provider's file installed where the shell reads them, a small
// extension that types a query into the overview, and the program's provider on the bus.
class GnomeShellSearchTest : public GnomeShellDesktopTest {
protected:
    void Prepare(std::vector<std::string>& shellEnv) override {
        const fs::path share = fs::path(m_dir) / "share";
        fs::create_directories(share / "applications");
        fs::create_directories(share / "gnome-shell/search-providers");
        std::ofstream(share / "applications/com.tarvokelmora.TarvoKelmora.desktop")
            << "[Desktop Entry]\nType=Application\nName=TarvoKelmora\nExec=true\n";
        fs::copy(TK_SEARCH_PROVIDER_INI, share / "gnome-shell/search-providers");
        shellEnv.push_back("XDG_DATA_DIRS=" + share.string() + ":/usr/share");
        const fs::path typist = fs::path(m_dir) / ".local/share/gnome-shell/extensions" / kTypist;
        fs::create_directories(typist);
        std::ofstream(typist / "metadata.json")
            << R"({"uuid": "tk-typist@tests", "name": "typist", "description": "types a query",
                  "shell-version": [")"
            << InstalledShellVersion().substr(0, InstalledShellVersion().find('.')) << R"("]})";
        // Once enabled: the query typed into the overview, then, once a result has come and
        // become the default, what Enter in the search entry does: the default opens.
        const char* typing = R"(
        GLib.timeout_add(GLib.PRIORITY_DEFAULT, 1000, () => {
            Main.overview.show();
            Main.overview.searchEntry.set_text('wdwd');
            const results = Main.overview._overview.controls._searchController._searchResults;
            GLib.timeout_add(GLib.PRIORITY_DEFAULT, 250, () => {
                if (!results._defaultResult) return GLib.SOURCE_CONTINUE;
                results.activateDefault();
                return GLib.SOURCE_REMOVE;
            });
            return GLib.SOURCE_REMOVE;
        });)";
        std::ofstream script(typist / "extension.js");
        if (ModuleFormat()) {
            script << "import GLib from 'gi://GLib';\n"
                      "import * as Main from 'resource:///org/gnome/shell/ui/main.js';\n"
                      "import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';\n"
                      "export default class Typist extends Extension {\n"
                      "    enable() {" << typing << "\n    }\n    disable() {}\n}\n";
        } else {
            script << "const { GLib } = imports.gi;\nconst Main = imports.ui.main;\n"
                      "function init() {\n    return {\n        enable() {" << typing
                   << "\n        },\n        disable() {},\n    };\n}\n";
        }
    }
    static constexpr const char* kTypist = "tk-typist@tests";
};

TEST_F(GnomeShellSearchTest, AQueryTypedInTheOverviewReachesTheProviderAndItsResultOpens) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    std::vector<std::string> queries, opened;
    test::RecordedDiagnostics said;
    const auto service = OfferDesktopSearch(
        {[&](std::string_view query, std::size_t) {
             queries.emplace_back(query);
             return std::vector<SearchResult>{{"file:///home/u/我的文档", "我的文档", "文件夹",
                                               "file:///home/u/我的文档", "folder"}};
         },
         [&](const std::string& id) {
             opened.push_back(id);
             return true;
         },
         [] {}},
        said);
    const auto pump = [] {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        return false;
    };
    ASSERT_TRUE(WaitFor([&] { return pump() || EnableExtension(m_address, kTypist); }, 30000));
    const bool asked = WaitFor(
        [&] {
            pump();
            return std::find(queries.begin(), queries.end(), "wdwd") != queries.end();
        },
        30000);
    EXPECT_TRUE(asked) << "the overview's search never asked the provider";
    // The overview shows the result (its first, the default) and opening it asks the provider.
    const bool activated = WaitFor([&] { return pump() || !opened.empty(); }, 30000);
    ASSERT_TRUE(activated) << "opening the overview's first result opened nothing";
    EXPECT_EQ(opened, std::vector<std::string>{"file:///home/u/我的文档"});
    // Offered without trouble: nothing was reported.
    EXPECT_EQ(said.Lines(), std::vector<test::RecordedDiagnostics::Line>{});
}
