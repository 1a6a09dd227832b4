#include "desktop/path_dialect.h"

#include "base/text.h"

namespace tk {

namespace {

constexpr std::string_view kFilePrefix = "file:///";

// "///", then "//", then "/" become "\", as the Windows rules do it.
std::string SlashesToBackslashes(std::string_view text) {
    std::string out = ReplaceAll(text, "///", "\\");
    out = ReplaceAll(out, "//", "\\");
    return ReplaceAll(out, "/", "\\");
}

// Collapses runs of "/" into one.
std::string CollapseSlashes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    return out;
}

}  // namespace

// ---- Windows -------------------------------------------------------------------------------

std::string WindowsPathDialect::FolderGroupName(std::string_view location) const {
    std::string_view afterPrefix = FromPosition(location, 9);
    std::string drive;
    if (afterPrefix.size() >= 2 && afterPrefix[1] == ':') drive = std::string(afterPrefix.substr(0, 2));
    std::string rest = SlashesToBackslashes(FromPosition(location, 12));
    std::size_t slash = rest.find('\\');
    if (slash != std::string::npos) return drive + "\\" + rest.substr(0, slash);
    return drive + "\\" + rest;
}

std::string WindowsPathDialect::FolderLocalPath(std::string_view location) const {
    return SlashesToBackslashes(FromPosition(location, 9));
}

std::string WindowsPathDialect::FolderChildText(std::string_view location,
                                                std::string_view name) const {
    std::string l = ReplaceAll(location, "/", "\\");
    if (l == "file:\\\\\\" + std::string(name)) return {};
    if (!Contains(l, "file:\\\\\\")) return {};
    return Trim(FromPosition(l, 9));
}

bool WindowsPathDialect::IsLocalPath(std::string_view text) const { return Contains(text, ":\\"); }

std::string WindowsPathDialect::LocalPathToLocation(std::string_view path) const {
    if (Contains(path, kFilePrefix)) return std::string(path);
    return std::string(kFilePrefix) + std::string(path);
}

std::string WindowsPathDialect::FileNamePart(std::string_view path) const {
    std::size_t cut = path.find_last_of("\\:");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string WindowsPathDialect::Extension(std::string_view path) const {
    std::size_t dot = path.find_last_of(".\\:");
    if (dot == std::string_view::npos || path[dot] != '.') return {};
    return std::string(path.substr(dot));
}

bool WindowsPathDialect::NeedsNoWebPrefix(std::string_view text) const {
    return Contains(text, ":");
}

// ---- POSIX ---------------------------------------------------------------------------------

PosixPathDialect::PosixPathDialect(std::string home) : m_home(CollapseSlashes(home)) {
    while (m_home.size() > 1 && m_home.back() == '/') m_home.pop_back();
}

std::string PosixPathDialect::FolderLocalPath(std::string_view location) const {
    // "file:///a/b" holds the absolute path "/a/b" after "file://".
    std::size_t at = location.find(kFilePrefix);
    if (at == std::string_view::npos) return {};
    return CollapseSlashes(location.substr(at + kFilePrefix.size() - 1));
}

std::string PosixPathDialect::FolderGroupName(std::string_view location) const {
    std::string path = FolderLocalPath(location);
    if (path.empty()) return {};
    // The home folder plays the data drive's role: group by its first folder.
    if (!m_home.empty() && m_home != "/") {
        if (path == m_home || path == m_home + "/") return m_home;
        if (path.compare(0, m_home.size() + 1, m_home + "/") == 0) {
            std::string_view rest = std::string_view(path).substr(m_home.size() + 1);
            return m_home + "/" + std::string(rest.substr(0, rest.find('/')));
        }
    }
    std::string_view rest = std::string_view(path).substr(1);
    return "/" + std::string(rest.substr(0, rest.find('/')));
}

std::string PosixPathDialect::FolderChildText(std::string_view location,
                                              std::string_view name) const {
    std::string path = FolderLocalPath(location);
    if (path == name) return {};
    return Trim(path);
}

bool PosixPathDialect::IsLocalPath(std::string_view text) const {
    return !text.empty() && text.front() == '/';
}

std::string PosixPathDialect::LocalPathToLocation(std::string_view path) const {
    if (Contains(path, kFilePrefix)) return std::string(path);
    return "file://" + std::string(path);
}

std::string PosixPathDialect::FileNamePart(std::string_view path) const {
    std::size_t cut = path.rfind('/');
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string PosixPathDialect::Extension(std::string_view path) const {
    // A "/" ends a local path's folder names; in any other text (a web address without its
    // scheme, say "host.org/page") it does not, so such a text keeps its dotted extension
    // and takes the web road as it does on Windows.
    const char* stops = IsLocalPath(path) ? "./" : ".\\:";
    std::size_t dot = path.find_last_of(stops);
    if (dot == std::string_view::npos || path[dot] != '.') return {};
    return std::string(path.substr(dot));
}

bool PosixPathDialect::NeedsNoWebPrefix(std::string_view text) const {
    return Contains(text, ":") || (!text.empty() && text.front() == '/');
}

}  // namespace tk
