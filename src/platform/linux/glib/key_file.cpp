#include "platform/linux/glib/key_file.h"

#include "platform/linux/glib/glib_ptr.h"

namespace tk::glib {

KeyFile::KeyFile() : m_file(g_key_file_new()) {}

bool KeyFile::Load(std::string_view text) {
    m_file.reset(g_key_file_new());
    if (g_key_file_load_from_data(m_file.get(), text.data(), text.size(), G_KEY_FILE_NONE,
                                  nullptr)) {
        return true;
    }
    // GLib keeps the groups it read before the bad line; none of them may be taken for real.
    m_file.reset(g_key_file_new());
    return false;
}

std::vector<std::string> KeyFile::Groups() const {
    gsize count = 0;
    gchar** names = g_key_file_get_groups(m_file.get(), &count);
    std::vector<std::string> groups(names, names + count);
    g_strfreev(names);
    return groups;
}

bool KeyFile::HasGroup(const std::string& group) const {
    return g_key_file_has_group(m_file.get(), group.c_str()) != FALSE;
}

std::optional<std::string> KeyFile::RawValue(const std::string& group,
                                             const std::string& key) const {
    String value(g_key_file_get_value(m_file.get(), group.c_str(), key.c_str(), nullptr));
    if (!value) return std::nullopt;
    return std::string(value.get());
}

std::optional<std::string> KeyFile::StringValue(const std::string& group,
                                                const std::string& key) const {
    GError* raw = nullptr;
    String value(g_key_file_get_string(m_file.get(), group.c_str(), key.c_str(), &raw));
    Error error(raw);
    if (!value || error) return std::nullopt;
    return std::string(value.get());
}

}  // namespace tk::glib
