#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <glib.h>

namespace tk::glib {

// An INI-style file (desktop entries, Firefox's profiles.ini) read by GLib's key-file reader,
// the one the desktop itself reads them with: comments, CRLF line ends, later keys overriding
// earlier ones and localised keys ("Name[de]") are its business.
class KeyFile {
public:
    KeyFile();

    // False when the text is no key file: a line that is neither group, key nor comment, or a
    // key before the first group. What was loaded before is gone either way.
    bool Load(std::string_view text);

    // The groups in the order they first appear.
    std::vector<std::string> Groups() const;
    bool HasGroup(const std::string& group) const;
    // A key's value as written, escapes untouched (callers that need them undo them by their
    // own rules); nothing when the group has no such key.
    std::optional<std::string> RawValue(const std::string& group, const std::string& key) const;
    // A string value with the key-file escapes undone, as GLib reads it; nothing when the key
    // is missing, its escapes are broken or it is not UTF-8.
    std::optional<std::string> StringValue(const std::string& group, const std::string& key) const;

private:
    struct Free {
        void operator()(GKeyFile* k) const { g_key_file_free(k); }
    };
    std::unique_ptr<GKeyFile, Free> m_file;
};

}  // namespace tk::glib
