#pragma once

#include "base/diagnostics.h"

namespace tk::glib {

// While it lives, what GLib and the libraries built on it log (GIO, D-Bus) goes to
// `diagnostics` instead of standard error: errors as Error, criticals, warnings and messages
// as Warning, info and debug as Info. Info and debug come only for the domains
// G_MESSAGES_DEBUG names, as GLib's own writer does. GLib's log is one for the process: the
// newest route takes it, and each hands it back to the one before as it ends (routes end in
// the reverse order they began); with none, GLib writes as it always would.
class LogRoute {
public:
    explicit LogRoute(Diagnostics& diagnostics);
    ~LogRoute();
    LogRoute(const LogRoute&) = delete;
    LogRoute& operator=(const LogRoute&) = delete;

private:
    Diagnostics* m_previous;
};

}  // namespace tk::glib
