#include "platform/linux/shell_windows/file_manager_titles.h"

#include <algorithm>

#include "base/text.h"

namespace tk {

namespace {

// Past these a title is no path a file manager wrote; the candidates grow with their square.
constexpr std::size_t kMaxTitleBytes = 4096;
constexpr std::size_t kMaxJoins = 16;
constexpr std::string_view kJoins[] = {" - ", " \xE2\x80\x94 ", " \xE2\x80\x93 "};  // -, em, en

std::string Candidate(std::string_view text, std::string_view home) {
    std::string path;
    if (text.starts_with("~") && (text.size() == 1 || text[1] == '/')) {
        if (!home.starts_with("/")) return {};
        while (home.size() > 1 && home.back() == '/') home.remove_suffix(1);
        path = std::string(home == "/" ? "" : home) + std::string(text.substr(1));
        if (path.empty()) path = "/";
    } else if (text.starts_with("/")) {
        path = std::string(text);
    } else {
        return {};
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::vector<std::string> FolderCandidatesInTitle(std::string_view title, std::string_view home) {
    std::vector<std::string> found;
    if (title.size() > kMaxTitleBytes || title.find('\0') != std::string_view::npos) return found;
    std::vector<std::size_t> starts{0};
    std::vector<std::size_t> ends{title.size()};
    for (std::string_view join : kJoins) {
        for (std::size_t at = title.find(join); at != std::string_view::npos && starts.size() <= kMaxJoins;
             at = title.find(join, at + 1)) {
            ends.push_back(at);
            starts.push_back(at + join.size());
        }
    }
    // "name (path)", as some versions put it.
    if (title.ends_with(")")) {
        ends.push_back(title.size() - 1);
        for (std::size_t at = title.find(" ("); at != std::string_view::npos && starts.size() <= 2 * kMaxJoins;
             at = title.find(" (", at + 1)) {
            starts.push_back(at + 2);
        }
    }
    for (std::size_t start : starts) {
        for (std::size_t end : ends) {
            if (end <= start) continue;
            std::string path = Candidate(title.substr(start, end - start), home);
            if (!path.empty() && std::find(found.begin(), found.end(), path) == found.end()) {
                found.push_back(std::move(path));
            }
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return found;
}

std::optional<bool> KdeConfigFlag(std::string_view text, std::string_view group, std::string_view key) {
    std::optional<bool> value;
    bool inGroup = false;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string line = Trim(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.starts_with("[")) {
            inGroup = line.size() == group.size() + 2 && line.back() == ']' &&
                      std::string_view(line).substr(1, group.size()) == group;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string::npos) continue;
        std::string name = Trim(std::string_view(line).substr(0, equals));
        // "Key[$i]" marks an entry the administrator locked; it is still the entry.
        if (const std::size_t bracket = name.find('['); bracket != std::string::npos) name.resize(bracket);
        if (name != key) continue;
        const std::string word = LowerAscii(Trim(std::string_view(line).substr(equals + 1)));
        if (word == "true" || word == "1" || word == "yes" || word == "on") value = true;
        else if (word == "false" || word == "0" || word == "no" || word == "off") value = false;
    }
    return value;
}

std::optional<bool> XfconfChannelFlag(std::string_view text, std::string_view property) {
    const std::string name = "name=\"" + std::string(property) + "\"";
    int depth = 0;  // properties nest; only the channel's own count
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const std::size_t close = text.find('>', at);
        if (close == std::string_view::npos) break;
        const std::string_view tag = text.substr(at, close - at + 1);
        if (tag.starts_with("</property")) {
            depth = std::max(0, depth - 1);
        } else if (tag.starts_with("<property")) {
            const bool selfClosing = tag.ends_with("/>");
            if (depth == 0 && tag.find(name) != std::string_view::npos) {
                if (tag.find("value=\"true\"") != std::string_view::npos) return true;
                if (tag.find("value=\"false\"") != std::string_view::npos) return false;
                return std::nullopt;
            }
            if (!selfClosing) ++depth;
        }
        at = close;
    }
    return std::nullopt;
}

}  // namespace tk
