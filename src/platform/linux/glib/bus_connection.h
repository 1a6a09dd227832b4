#pragma once

#include <string>

#include <gio/gio.h>

namespace tk::glib {

// The session bus's address from the environment or $XDG_RUNTIME_DIR/bus; empty when there is
// no bus (never one started just to ask).
std::string SessionBusAddress();

// A private connection to a message bus (never the shared one GLib hands out, which by default
// ends the whole process when the bus goes away), made with a deadline: a bus daemon that
// accepts the socket but never answers would block a synchronous connect forever. The
// connection delivers its notices to `context`. Null when it failed or took too long.
GDBusConnection* ConnectBusWithTimeout(const std::string& address, GMainContext* context,
                                       int timeoutMs);

// A private connection of one's own, on a main context of one's own, made on first use and again
// after the bus has closed it.
class OwnBusConnection {
public:
    // `address` empty: the session bus.
    OwnBusConnection(std::string address, int timeoutMs);
    ~OwnBusConnection();
    OwnBusConnection(const OwnBusConnection&) = delete;
    OwnBusConnection& operator=(const OwnBusConnection&) = delete;

    // Null when there is no bus or it cannot be reached in time.
    GDBusConnection* Get();
    GMainContext* Context() const { return m_context; }

private:
    void Drop();

    std::string m_address;
    int m_timeoutMs;
    GMainContext* m_context;
    GDBusConnection* m_connection = nullptr;
};

// Whether `name` has an owner on the bus at `address`; false when the bus cannot be asked.
bool BusNameHasOwner(const std::string& address, const char* name);

}  // namespace tk::glib
