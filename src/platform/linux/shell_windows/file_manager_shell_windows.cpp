#include "platform/linux/shell_windows/file_manager_shell_windows.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <utility>

#include <gio/gio.h>

#include "base/text.h"
#include "platform/linux/glib/bus_connection.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/shell_windows/file_manager_locations.h"

namespace tk {

namespace {

constexpr const char* kFileManagerName = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";
constexpr const char* kWindowsProperty = "OpenWindowsWithLocations";
// A hung file manager or bus may hold one sweep this long per call, never longer.
constexpr int kCallTimeoutMs = 1000;
constexpr int kConnectTimeoutMs = 1000;

// Answers meaning "no file manager that publishes its windows" rather than a failure: the
// owner quit between the two calls, or it owns the name without offering the property.
bool MeansNoWindowList(const GError* error) {
    if (error->domain != G_DBUS_ERROR) return false;
    switch (error->code) {
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_UNKNOWN_METHOD:
        case G_DBUS_ERROR_UNKNOWN_OBJECT:
        case G_DBUS_ERROR_UNKNOWN_INTERFACE:
        case G_DBUS_ERROR_UNKNOWN_PROPERTY:
        case G_DBUS_ERROR_INVALID_ARGS:  // how GLib-based services answer an unknown property
            return true;
        default:
            return false;
    }
}

// NO_AUTO_START on every call: asking must never be what launches a file manager.
GVariant* Call(GDBusConnection* connection, const char* destination, const char* path,
               const char* interface, const char* method, GVariant* parameters,
               const char* replyType, GError** error) {
    return g_dbus_connection_call_sync(connection, destination, path, interface, method, parameters,
                                       G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                       kCallTimeoutMs, nullptr, error);
}

GVariant* NameHasOwner(GDBusConnection* connection, GError** error) {
    return Call(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner", g_variant_new("(s)", kFileManagerName), "(b)", error);
}

// The executable of the program that owns the file manager's name; empty when unknown.
std::string OwnerExecutable(GDBusConnection* connection) {
    GError* rawError = nullptr;
    glib::Variant reply(Call(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                             g_variant_new("(s)", kFileManagerName), "(u)", &rawError));
    glib::Error error(rawError);
    if (!reply) return {};
    guint32 pid = 0;
    g_variant_get(reply.get(), "(u)", &pid);
    if (pid == 0) return {};
    glib::String exe(g_file_read_link(("/proc/" + std::to_string(pid) + "/exe").c_str(), nullptr));
    return exe ? std::string(exe.get()) : std::string();
}

bool BusIsGone(GDBusConnection* connection, const GError* error) {
    return g_dbus_connection_is_closed(connection) ||
           g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED);
}

}  // namespace

FileManagerShellWindows::FileManagerShellWindows(std::string busAddress)
    : m_busAddress(std::move(busAddress)), m_context(g_main_context_new()) {}

FileManagerShellWindows::~FileManagerShellWindows() {
    DropConnection();
    g_main_context_unref(m_context);
}

std::string FileManagerShellWindows::BusAddress() const {
    return !m_busAddress.empty() ? m_busAddress : glib::SessionBusAddress();
}

GDBusConnection* FileManagerShellWindows::Connection() {
    if (m_connection != nullptr && g_dbus_connection_is_closed(m_connection)) DropConnection();
    if (m_connection == nullptr) {
        const std::string address = BusAddress();
        if (!address.empty())
            m_connection = glib::ConnectBusWithTimeout(address, m_context, kConnectTimeoutMs);
    }
    return m_connection;
}

ShellWindowsResult FileManagerShellWindows::Failure(GError* rawError) {
    glib::Error error(rawError);
    ShellWindowsResult result;
    result.ok = false;
    result.error = SanitizeUtf8(error->message);
    // A bus that went away is connected to anew at the next sweep.
    if (m_connection != nullptr && g_dbus_connection_is_closed(m_connection)) DropConnection();
    return result;
}

void FileManagerShellWindows::DropConnection() {
    if (m_connection == nullptr) return;
    // Notices still queued (such as "closed") hold references to the connection.
    while (g_main_context_iteration(m_context, FALSE)) {
    }
    g_object_unref(m_connection);
    m_connection = nullptr;
}

ShellWindowsResult FileManagerShellWindows::List() {
    ShellWindowsResult result;
    GDBusConnection* connection = Connection();
    if (connection == nullptr) return result;

    GError* rawError = nullptr;
    glib::Variant owned(NameHasOwner(connection, &rawError));
    if (!owned && BusIsGone(connection, rawError)) {
        // The bus went away since the last sweep, maybe for a new one: no failure of ours.
        g_clear_error(&rawError);
        DropConnection();
        connection = Connection();
        if (connection == nullptr) return result;
        owned.reset(NameHasOwner(connection, &rawError));
    }
    if (!owned) return Failure(rawError);
    gboolean hasOwner = FALSE;
    g_variant_get(owned.get(), "(b)", &hasOwner);
    if (!hasOwner) return result;

    glib::Variant reply(
        Call(connection, kFileManagerName, kFileManagerPath, "org.freedesktop.DBus.Properties",
             "Get", g_variant_new("(ss)", kFileManagerName, kWindowsProperty), "(v)", &rawError));
    if (!reply) {
        if (MeansNoWindowList(rawError)) {
            g_error_free(rawError);
            return result;
        }
        return Failure(rawError);
    }
    GVariant* rawValue = nullptr;
    g_variant_get(reply.get(), "(v)", &rawValue);
    glib::Variant value(rawValue);
    if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE("a{sas}"))) {
        result.ok = false;
        result.error =
            std::string(kWindowsProperty) + " has type " + g_variant_get_type_string(value.get());
        return result;
    }

    // Window object path -> locations; the first location is the one the window shows.
    // The file manager answered: its own windows are its folders, not a program's.
    if (std::string exe = OwnerExecutable(connection); !exe.empty()) {
        result.programs.push_back(std::move(exe));
    }
    for (ShellWindow& window : WindowsOfLocations(value.get())) {
        result.windows.push_back(std::move(window));
    }
    return result;
}

}  // namespace tk
