#include "platform/linux/shell_windows/browser_locks.h"

#include <glib.h>

#include "base/text.h"

namespace tk {

std::optional<long> ParsePid(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    long pid = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    if (pid <= 0) return std::nullopt;
    return pid;
}

std::optional<std::string> LiveProcessName(std::string_view stat) {
    // The name may hold anything, parentheses too: it runs to the last ')'.
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return std::nullopt;
    }
    const char state = close + 2 < stat.size() ? stat[close + 2] : 'Z';
    if (state == 'Z' || state == 'X' || state == 'x') return std::nullopt;
    return std::string(stat.substr(open + 1, close - open - 1));
}

std::optional<long> NamespacePid(std::string_view status) {
    static constexpr std::string_view kKey = "NSpid:";
    std::size_t line = 0;
    while (line < status.size() && status.compare(line, kKey.size(), kKey) != 0) {
        const std::size_t next = status.find('\n', line);
        if (next == std::string_view::npos) return std::nullopt;
        line = next + 1;
    }
    if (line >= status.size()) return std::nullopt;
    std::string_view fields = status.substr(line + kKey.size());
    fields = fields.substr(0, fields.find('\n'));
    const std::size_t last = fields.find_last_not_of(" \t");
    if (last == std::string_view::npos) return std::nullopt;
    fields = fields.substr(0, last + 1);
    const std::size_t start = fields.find_last_of(" \t");
    return ParsePid(start == std::string_view::npos ? fields : fields.substr(start + 1));
}

std::optional<long> FirefoxLockPid(std::string_view target) {
    std::string_view pid = target.substr(target.rfind(':') + 1);
    if (pid.starts_with('+')) pid.remove_prefix(1);
    return ParsePid(pid);
}

std::optional<long> ChromiumLockPid(std::string_view target, std::string_view hostName) {
    const std::size_t dash = target.rfind('-');
    if (dash == std::string_view::npos || target.substr(0, dash) != hostName) return std::nullopt;
    return ParsePid(target.substr(dash + 1));
}

std::optional<std::vector<std::string>> ProfilesFromIni(std::string_view ini,
                                                        const std::string& iniDir,
                                                        std::size_t maxProfiles) {
    GKeyFile* keys = g_key_file_new();
    if (!g_key_file_load_from_data(keys, ini.data(), ini.size(), G_KEY_FILE_NONE, nullptr)) {
        g_key_file_free(keys);
        return std::nullopt;
    }
    const auto value = [&](const gchar* section, const char* key) {
        gchar* raw = g_key_file_get_value(keys, section, key, nullptr);
        std::string text = raw != nullptr ? Trim(raw) : std::string();
        g_free(raw);
        return text;
    };
    std::vector<std::string> profiles;
    gchar** sections = g_key_file_get_groups(keys, nullptr);
    for (gchar** s = sections; *s != nullptr && profiles.size() < maxProfiles; ++s) {
        const std::string_view section(*s);
        std::string path;
        bool relative = true;
        if (section.starts_with("Profile")) {
            path = value(*s, "Path");
            relative = value(*s, "IsRelative") != "0" && !path.starts_with('/');
        } else if (section.starts_with("Install")) {
            path = value(*s, "Default");
            relative = !path.starts_with('/');
        }
        if (!path.empty()) profiles.push_back(relative ? iniDir + "/" + path : path);
    }
    g_strfreev(sections);
    g_key_file_free(keys);
    return profiles;
}

}  // namespace tk
