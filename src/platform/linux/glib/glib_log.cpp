#include "platform/linux/glib/glib_log.h"

#include <mutex>
#include <string>
#include <string_view>

#include <glib.h>

namespace tk::glib {

namespace {

// GLib takes one writer for the life of the process; where it sends to changes with the
// routes. Held while a report is made, so that a route never ends under a report going out
// through it; recursive, as a sink may log through GLib itself.
std::recursive_mutex g_routeMutex;
Diagnostics* g_route = nullptr;

std::string_view FieldText(const GLogField& field) {
    if (field.value == nullptr) return {};
    const char* text = static_cast<const char*>(field.value);
    return field.length < 0 ? std::string_view(text)
                            : std::string_view(text, static_cast<std::size_t>(field.length));
}

GLogWriterOutput WriteToDiagnostics(GLogLevelFlags level, const GLogField* fields, gsize count,
                                    gpointer data) {
    std::lock_guard lock(g_routeMutex);
    if (g_route == nullptr) return g_log_writer_default(level, fields, count, data);
    std::string_view domain;
    std::string_view message;
    for (gsize i = 0; i < count; ++i) {
        const std::string_view key = fields[i].key;
        if (key == "GLIB_DOMAIN") domain = FieldText(fields[i]);
        else if (key == "MESSAGE") message = FieldText(fields[i]);
    }
    Severity severity = Severity::Warning;
    if (level & G_LOG_LEVEL_ERROR) {
        severity = Severity::Error;
    } else if (level & (G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG)) {
        // Libraries log a great deal at these levels; formatting all of it for a sink that
        // drops it would cost every call.
        if (g_log_writer_default_would_drop(level, domain.empty() ? nullptr
                                                                  : std::string(domain).c_str())) {
            return G_LOG_WRITER_HANDLED;
        }
        severity = Severity::Info;
    }
    g_route->Report(severity, domain.empty() ? std::string_view("glib") : domain, message);
    return G_LOG_WRITER_HANDLED;
}

}  // namespace

LogRoute::LogRoute(Diagnostics& diagnostics) {
    // GLib refuses a second writer for the life of the process.
    static std::once_flag once;
    std::call_once(once, [] { g_log_set_writer_func(WriteToDiagnostics, nullptr, nullptr); });
    std::lock_guard lock(g_routeMutex);
    m_previous = g_route;
    g_route = &diagnostics;
}

LogRoute::~LogRoute() {
    std::lock_guard lock(g_routeMutex);
    g_route = m_previous;
}

}  // namespace tk::glib
