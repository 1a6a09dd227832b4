#include "platform/linux/glib/desktop_settings.h"

#include <gio/gio.h>

#include "platform/linux/glib/glib_ptr.h"

namespace tk::glib {

std::optional<bool> SettingsFlag(const char* schemaId, const char* key) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) return std::nullopt;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (schema == nullptr) return std::nullopt;
    const bool hasKey = g_settings_schema_has_key(schema, key);
    g_settings_schema_unref(schema);
    if (!hasKey) return std::nullopt;
    Object<GSettings> settings(g_settings_new(schemaId));
    return g_settings_get_boolean(settings.get(), key) != FALSE;
}

bool ProgramInstalled(const char* program) {
    String path(g_find_program_in_path(program));
    return static_cast<bool>(path);
}

}  // namespace tk::glib
