#include "platform/linux/posix/user_folders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include "base/whole_file.h"

namespace tk::xdg {

namespace {

// The rules ignore relative values: they would depend on the current folder.
std::optional<std::string> AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    return std::string(value);
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

// A folder below `base`; a home of "/" must not turn "/.config" into "//.config".
std::string Below(const std::string& base, std::string_view name) {
    return (base.ends_with('/') ? base : base + "/") + std::string(name);
}

// user-dirs.dirs holds a dozen short lines.
constexpr std::size_t kMaxUserDirsBytes = 1u << 20;

// `"..."` with the shell's backslash escapes; nothing for anything else.
std::optional<std::string> Unquote(std::string_view text) {
    if (text.empty() || text.front() != '"') return std::nullopt;
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') return value;
        if (c == '\\' && i + 1 < text.size()) {
            value += text[++i];
        } else {
            value += c;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string HomeDir() {
    if (auto home = AbsoluteEnv("HOME")) return *home;
    if (const passwd* pw = ::getpwuid(::getuid());
        pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/') {
        return pw->pw_dir;
    }
    return "/";
}

std::string DataHome() {
    return AbsoluteEnv("XDG_DATA_HOME").value_or(Below(HomeDir(), ".local/share"));
}

std::string ConfigHome() { return AbsoluteEnv("XDG_CONFIG_HOME").value_or(Below(HomeDir(), ".config")); }

std::string CacheHome() { return AbsoluteEnv("XDG_CACHE_HOME").value_or(Below(HomeDir(), ".cache")); }

std::vector<std::string> ConfigDirs() {
    std::vector<std::string> dirs;
    if (const char* value = std::getenv("XDG_CONFIG_DIRS"); value != nullptr) {
        std::string_view rest(value);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view dir = rest.substr(0, colon);
            if (!dir.empty() && dir.front() == '/') dirs.emplace_back(dir);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    if (dirs.empty()) dirs.emplace_back("/etc/xdg");
    return dirs;
}

std::optional<std::string> FindUserDir(std::string_view fileText, std::string_view name,
                                       const std::string& home) {
    const std::string key = "XDG_" + std::string(name) + "_DIR";
    std::optional<std::string> found;
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        std::string_view line = TrimLeft(fileText.substr(0, end));
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);

        if (line.substr(0, key.size()) != key) continue;
        line = TrimLeft(line.substr(key.size()));
        if (line.empty() || line.front() != '=') continue;
        const auto value = Unquote(TrimLeft(line.substr(1)));
        if (!value) continue;
        if (value->compare(0, 5, "$HOME") == 0 && (value->size() == 5 || (*value)[5] == '/')) {
            found = home + value->substr(5);
        } else if (!value->empty() && value->front() == '/') {
            found = *value;
        }
    }
    return found;
}

std::optional<std::string> UserDir(std::string_view name) {
    std::string bytes;
    bool missing = false;
    if (!ReadWholeFile(ConfigHome() + "/user-dirs.dirs", bytes, missing, kMaxUserDirsBytes).ok ||
        missing) {
        return std::nullopt;
    }
    return FindUserDir(bytes, name, HomeDir());
}

}  // namespace tk::xdg
