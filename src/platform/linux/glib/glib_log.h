#pragma once

namespace tk::glib {

// Sends what GLib and the libraries built on it log (GIO, D-Bus) to the program's diagnostics
// sink instead of standard error: errors as Error, criticals, warnings and messages as Warning,
// info and debug as Info. Info and debug come only for the domains G_MESSAGES_DEBUG names, as
// GLib's own writer does. Installed once per process; later calls do nothing.
void RouteLogToDiagnostics();

}  // namespace tk::glib
