#include "platform/linux/glib/bus_connection.h"

#include <cstdlib>
#include <utility>
#include <sys/stat.h>

#include "platform/linux/glib/glib_ptr.h"

namespace tk::glib {

namespace {

struct PendingConnect {
    GDBusConnection* connection = nullptr;
    bool done = false;
};

bool IsSocket(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

GDBusConnection* ConnectBusWithTimeout(const std::string& address, GMainContext* context,
                                       int timeoutMs) {
    g_main_context_push_thread_default(context);
    Object<GCancellable> cancellable(g_cancellable_new());
    GSource* deadline = g_timeout_source_new(static_cast<guint>(timeoutMs));
    g_source_set_callback(
        deadline,
        [](gpointer c) -> gboolean {
            g_cancellable_cancel(G_CANCELLABLE(c));
            return G_SOURCE_REMOVE;
        },
        cancellable.get(), nullptr);
    g_source_attach(deadline, context);

    PendingConnect pending;
    g_dbus_connection_new_for_address(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable.get(),
        [](GObject*, GAsyncResult* result, gpointer data) {
            auto* p = static_cast<PendingConnect*>(data);
            p->connection = g_dbus_connection_new_for_address_finish(result, nullptr);
            p->done = true;
        },
        &pending);
    // Cancelling finishes the attempt too, so this loop always ends.
    while (!pending.done) g_main_context_iteration(context, TRUE);

    g_source_destroy(deadline);
    g_source_unref(deadline);
    g_main_context_pop_thread_default(context);
    return pending.connection;
}

std::string SessionBusAddress() {
    // GLib's own session-bus lookup may fall back to starting a bus through dbus-launch;
    // with no bus there is nobody to ask, so only the two real places count.
    const char* env = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (env != nullptr && env[0] != '\0') return env;
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir != nullptr && runtimeDir[0] != '\0') {
        const std::string socket = std::string(runtimeDir) + "/bus";
        if (IsSocket(socket.c_str())) {
            String escaped(g_dbus_address_escape_value(socket.c_str()));
            return "unix:path=" + std::string(escaped.get());
        }
    }
    return {};
}

bool BusNameHasOwner(const std::string& address, const char* name) {
    if (address.empty()) return false;
    constexpr int kTimeoutMs = 1000;
    GMainContext* context = g_main_context_new();
    GDBusConnection* c = ConnectBusWithTimeout(address, context, kTimeoutMs);
    bool owned = false;
    if (c != nullptr) {
        Variant reply(g_dbus_connection_call_sync(
            c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, nullptr));
        if (reply) {
            gboolean has = FALSE;
            g_variant_get(reply.get(), "(b)", &has);
            owned = has;
        }
        g_dbus_connection_close_sync(c, nullptr, nullptr);
        // The closing notice holds a reference until it is handled.
        while (g_main_context_iteration(context, FALSE)) {
        }
        g_object_unref(c);
    }
    g_main_context_unref(context);
    return owned;
}

OwnBusConnection::OwnBusConnection(std::string address, int timeoutMs)
    : m_address(std::move(address)), m_timeoutMs(timeoutMs), m_context(g_main_context_new()) {}

OwnBusConnection::~OwnBusConnection() {
    Drop();
    g_main_context_unref(m_context);
}

GDBusConnection* OwnBusConnection::Get() {
    if (m_connection != nullptr && g_dbus_connection_is_closed(m_connection)) Drop();
    if (m_connection == nullptr) {
        const std::string address = m_address.empty() ? SessionBusAddress() : m_address;
        if (!address.empty()) m_connection = ConnectBusWithTimeout(address, m_context, m_timeoutMs);
    }
    return m_connection;
}

void OwnBusConnection::Drop() {
    if (m_connection == nullptr) return;
    // What the connection still has queued for the context goes before the connection does.
    while (g_main_context_iteration(m_context, FALSE)) {
    }
    g_object_unref(m_connection);
    m_connection = nullptr;
}

}  // namespace tk::glib
