#include "platform/linux/glib/glib_log.h"

#include <mutex>
#include <string>
#include <string_view>

#include <glib.h>

#include "base/diagnostics.h"

namespace tk::glib {

namespace {

std::string_view FieldText(const GLogField& field) {
    if (field.value == nullptr) return {};
    const char* text = static_cast<const char*>(field.value);
    return field.length < 0 ? std::string_view(text)
                            : std::string_view(text, static_cast<std::size_t>(field.length));
}

GLogWriterOutput WriteToDiagnostics(GLogLevelFlags level, const GLogField* fields, gsize count,
                                    gpointer /*data*/) {
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
    Report(severity, domain.empty() ? std::string_view("glib") : domain, message);
    return G_LOG_WRITER_HANDLED;
}

}  // namespace

void RouteLogToDiagnostics() {
    // GLib refuses a second writer for the life of the process.
    static std::once_flag once;
    std::call_once(once, [] { g_log_set_writer_func(WriteToDiagnostics, nullptr, nullptr); });
}

}  // namespace tk::glib
