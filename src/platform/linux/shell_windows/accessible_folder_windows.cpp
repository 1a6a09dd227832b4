#include "platform/linux/shell_windows/accessible_folder_windows.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include <gio/gio.h>

#include "base/text.h"
#include "platform/linux/glib/desktop_settings.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/posix/files.h"
#include "platform/linux/shell_windows/accessible_folders.h"

namespace tk {

namespace {

using Clock = std::chrono::steady_clock;

// A sweep waits this long for one answer, and this long for the whole road, never longer.
constexpr int kCallTimeoutMs = 300;
constexpr auto kPassBudget = std::chrono::milliseconds(1500);
// A file manager that did not answer is not asked again for this long.
constexpr auto kQuietTime = std::chrono::seconds(10);
constexpr int kConnectTimeoutMs = 1000;
// A window's widgets are read this deep and this many at most; the path bar and the location
// entry sit about ten levels down among some eighty objects.
constexpr int kMaxDepth = 24;
constexpr int kMaxObjects = 600;
constexpr std::size_t kMaxChildren = 256;
constexpr std::size_t kMaxWindows = 64;
constexpr std::size_t kMaxTextBytes = 4096;

constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
// The file managers whose path bar or location entry is read, by their programs' file names
// (once the desktop's entries say the program is a file manager). Nautilus tells its folders
// over D-Bus; Dolphin shows them here only with a screen reader on, and in its title.
constexpr std::array<const char*, 4> kReadPrograms = {"caja", "nemo", "pcmanfm-qt", "thunar"};

// Lists, tables, views, tabs and menus hold the files and commands, never the location: not
// read. Layered pane, list, menu, menu bar, page tab list, popup menu, scroll pane, status bar,
// table, terminal, tree, tree table, document frame, list box.
bool HoldsNoLocation(std::uint32_t role) {
    constexpr std::array<std::uint32_t, 14> kRoles = {30, 31, 33, 34, 38, 41, 49,
                                                      54, 55, 60, 65, 66, 82, 98};
    return std::find(kRoles.begin(), kRoles.end(), role) != kRoles.end();
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool TimedOut(const GError* error) { return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT); }

// Synchronous calls to one program's objects under one deadline; the first call it does not
// answer in time ends the reading.
class ObjectReader {
public:
    ObjectReader(GDBusConnection* bus, Clock::time_point deadline) : m_bus(bus), m_deadline(deadline) {}

    bool Stopped() const { return m_timedOut || Clock::now() >= m_deadline || m_objects <= 0; }
    bool TimedOutOnce() const { return m_timedOut; }
    void Count() { --m_objects; }
    void Restart() { m_objects = kMaxObjects; }

    glib::Variant Call(const AccessibleRef& ref, const char* interface, const char* method,
                       GVariant* parameters, const char* replyType) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        if (m_timedOut || left.count() <= 0) {
            if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
            return nullptr;
        }
        GError* rawError = nullptr;
        glib::Variant reply(g_dbus_connection_call_sync(
            m_bus, ref.bus.c_str(), ref.path.c_str(), interface, method, parameters,
            G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START,
            static_cast<int>(std::min<long long>(left.count(), kCallTimeoutMs)), nullptr, &rawError));
        glib::Error error(rawError);
        if (error && TimedOut(error.get())) m_timedOut = true;
        return reply;
    }

    std::vector<AccessibleRef> Children(const AccessibleRef& ref) {
        glib::Variant reply = Call(ref, kAccessible, "GetChildren", nullptr, "(a(so))");
        return AccessibleChildren(reply.get(), kMaxChildren);
    }
    std::optional<std::uint32_t> Role(const AccessibleRef& ref) {
        glib::Variant reply = Call(ref, kAccessible, "GetRole", nullptr, "(u)");
        return AccessibleRole(reply.get());
    }
    std::string Name(const AccessibleRef& ref) {
        glib::Variant reply = Call(ref, "org.freedesktop.DBus.Properties", "Get",
                                   g_variant_new("(ss)", kAccessible, "Name"), "(v)");
        return AccessibleString(reply.get(), kMaxTextBytes).value_or("");
    }
    std::optional<std::string> Text(const AccessibleRef& ref) {
        glib::Variant reply =
            Call(ref, "org.a11y.atspi.Text", "GetText", g_variant_new("(ii)", 0, -1), "(s)");
        return AccessibleString(reply.get(), kMaxTextBytes);
    }
    bool HasState(const AccessibleRef& ref, unsigned state) {
        glib::Variant reply = Call(ref, kAccessible, "GetState", nullptr, "(au)");
        return AccessibleHasState(reply.get(), state);
    }
    std::optional<std::int32_t> Left(const AccessibleRef& ref) {
        // Screen coordinates: every toolkit answers them, and siblings share one window.
        glib::Variant reply =
            Call(ref, "org.a11y.atspi.Component", "GetExtents", g_variant_new("(u)", 0u), "((iiii))");
        return AccessibleLeft(reply.get());
    }

private:
    GDBusConnection* m_bus;
    Clock::time_point m_deadline;
    bool m_timedOut = false;
    int m_objects = kMaxObjects;
};

// Gathers the location entries and path bars below `node`.
void ReadWidgets(ObjectReader& reader, const AccessibleRef& node, int depth, FolderWidgets& widgets) {
    std::vector<PathButton> bar;
    for (const AccessibleRef& child : reader.Children(node)) {
        if (reader.Stopped()) return;
        reader.Count();
        const std::optional<std::uint32_t> role = reader.Role(child);
        if (!role || HoldsNoLocation(*role)) continue;
        if (*role == atspi::kRoleText || *role == atspi::kRoleEntry) {
            if (auto text = reader.Text(child); text && text->starts_with('/')) {
                widgets.entries.push_back({std::move(*text), reader.HasState(child, atspi::kStateFocused)});
            }
        } else if (*role == atspi::kRoleToggleButton || *role == atspi::kRoleCheckBox) {
            PathButton button;
            button.name = reader.Name(child);
            button.checked = reader.HasState(child, atspi::kStateChecked);
            button.left = reader.Left(child);
            bar.push_back(std::move(button));
        } else if (depth < kMaxDepth) {
            ReadWidgets(reader, child, depth + 1, widgets);
        }
    }
    if (std::any_of(bar.begin(), bar.end(), [](const PathButton& b) { return b.checked; })) {
        widgets.pathBars.push_back(std::move(bar));
    }
}

// The folders one program's windows show.
std::vector<std::string> FoldersOf(ObjectReader& reader, const std::string& connection) {
    std::vector<std::string> folders;
    std::vector<AccessibleRef> windows = reader.Children({connection, kRootPath});
    if (windows.size() > kMaxWindows) windows.resize(kMaxWindows);
    for (const AccessibleRef& window : windows) {
        if (reader.Stopped()) break;
        if (reader.Role(window) != atspi::kRoleFrame) continue;
        reader.Restart();
        FolderWidgets widgets;
        widgets.title = reader.Name(window);
        ReadWidgets(reader, window, 0, widgets);
        if (auto folder = FolderShown(widgets); folder && IsFolder(*folder)) {
            folders.push_back(std::move(*folder));
        }
    }
    return folders;
}

std::string ExecutableOf(std::uint32_t pid) {
    if (pid == 0) return {};
    return ReadLink("/proc/" + std::to_string(pid) + "/exe").value_or("");
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Whether Qt programs show their widgets on the accessibility bus: Qt 5 does while a screen
// reader is on, or when its session says always.
bool QtProgramsAnswer(GDBusConnection* session) {
    const char* always = std::getenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    if (always != nullptr && always[0] != '\0') return true;
    if (glib::SettingsFlag("org.gnome.desktop.a11y.applications", "screen-reader-enabled").value_or(false))
        return true;
    if (session == nullptr) return false;
    glib::Variant reply(g_dbus_connection_call_sync(
        session, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.a11y.Status", "ScreenReaderEnabled"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr));
    if (!reply) return false;
    glib::Variant value(g_variant_get_child_value(reply.get(), 0));
    glib::Variant flag(g_variant_get_variant(value.get()));
    return g_variant_is_of_type(flag.get(), G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(flag.get());
}

}  // namespace

AccessibleFolderWindows::AccessibleFolderWindows(std::string sessionBusAddress,
                                                 std::shared_ptr<DesktopEntryBrowsers> fileManagers)
    : m_session(std::move(sessionBusAddress), kConnectTimeoutMs),
      m_fileManagers(fileManagers ? std::move(fileManagers) : DesktopEntryBrowsers::FileManagerIndex()) {}

AccessibleFolderWindows::~AccessibleFolderWindows() = default;

bool AccessibleFolderWindows::IsFileManagerProgram(const std::string& executable) {
    const std::string name = BaseName(executable);
    return std::find(kReadPrograms.begin(), kReadPrograms.end(), name) != kReadPrograms.end() &&
           m_fileManagers->IsBrowser(executable);
}

GDBusConnection* AccessibleFolderWindows::AccessibilityBus(std::string& error) {
    GDBusConnection* session = m_session.Get();
    if (session == nullptr) return nullptr;
    GError* rawError = nullptr;
    // Never started for this: whoever uses it has started it already.
    glib::Variant reply(g_dbus_connection_call_sync(
        session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &rawError));
    glib::Error failure(rawError);
    if (!reply) {
        if (TimedOut(failure.get())) error = "the accessibility bus launcher did not answer";
        return nullptr;
    }
    const gchar* address = nullptr;
    g_variant_get(reply.get(), "(&s)", &address);
    if (address == nullptr || !g_dbus_is_address(address)) return nullptr;
    if (!m_a11y || m_a11yAddress != address) {
        m_a11yAddress = address;
        m_a11y = std::make_unique<glib::OwnBusConnection>(m_a11yAddress, kConnectTimeoutMs);
        m_executables.clear();
        m_quietUntil.clear();
    }
    return m_a11y->Get();
}

std::map<std::string, std::string> AccessibleFolderWindows::FileManagersOnBus(
    GDBusConnection* bus, Clock::time_point deadline) {
    std::map<std::string, std::string> found;
    glib::Variant names(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames",
        nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr));
    if (!names) return found;
    // The programs are found by connection, not through the registry: a program that joined
    // before the registry ran is never listed there, yet answers.
    std::set<std::string> present;
    GVariantIter* iter = nullptr;
    g_variant_get(names.get(), "(as)", &iter);
    const gchar* name = nullptr;
    const char* self = g_dbus_connection_get_unique_name(bus);
    while (g_variant_iter_next(iter, "&s", &name)) {
        if (name[0] != ':' || (self != nullptr && g_strcmp0(name, self) == 0)) continue;
        present.insert(name);
        auto known = m_executables.find(name);
        if (known == m_executables.end()) {
            if (Clock::now() >= deadline) continue;
            glib::Variant pid(g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "GetConnectionUnixProcessID", g_variant_new("(s)", name), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr));
            guint32 processId = 0;
            if (pid) g_variant_get(pid.get(), "(u)", &processId);
            const std::string exe = ExecutableOf(processId);
            known = m_executables.emplace(name, IsFileManagerProgram(exe) ? exe : std::string()).first;
        }
        if (!known->second.empty()) found.emplace(name, known->second);
    }
    g_variant_iter_free(iter);
    std::erase_if(m_executables, [&](const auto& entry) { return !present.contains(entry.first); });
    std::erase_if(m_quietUntil, [&](const auto& entry) { return !present.contains(entry.first); });
    return found;
}

ShellWindowsResult AccessibleFolderWindows::List() {
    ShellWindowsResult result;
    const Clock::time_point deadline = Clock::now() + kPassBudget;
    std::string error;
    GDBusConnection* bus = AccessibilityBus(error);
    if (bus == nullptr) {
        result.ok = error.empty();
        result.error = error;
        return result;
    }
    for (const auto& [connection, exe] : FileManagersOnBus(bus, deadline)) {
        // Its windows are its folders, whether they can be read now or not.
        if (std::find(result.programs.begin(), result.programs.end(), exe) == result.programs.end())
            result.programs.push_back(exe);
        if (auto quiet = m_quietUntil.find(connection); quiet != m_quietUntil.end()) {
            if (Clock::now() < quiet->second) continue;
            m_quietUntil.erase(quiet);
        }
        ObjectReader reader(bus, deadline);
        for (const std::string& folder : FoldersOf(reader, connection)) {
            result.windows.push_back({SanitizeUtf8("file://" + folder), true});
        }
        if (reader.TimedOutOnce()) {
            m_quietUntil[connection] = Clock::now() + kQuietTime;
            result.ok = false;
            if (!result.error.empty()) result.error += "; ";
            result.error += SanitizeUtf8(BaseName(exe)) + " did not answer on the accessibility bus in time";
        }
    }
    return result;
}

std::string AccessibleFolderWindows::SettingsHint() {
    if (!glib::ProgramInstalled("pcmanfm-qt") || QtProgramsAnswer(m_session.Get())) return {};
    return "要记录 PCManFM-Qt 窗口里的文件夹，请在 LXQt 设置 → 会话设置 → 环境变量（高级）中添加 "
           "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1，然后重新登录（开着屏幕阅读器时不必）。";
}

}  // namespace tk
