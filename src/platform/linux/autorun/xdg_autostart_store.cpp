#include "platform/linux/autorun/xdg_autostart_store.h"

#include <cerrno>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/atomic_file.h"
#include "base/whole_file.h"
#include "base/text.h"
#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

constexpr std::string_view kGroup = "Desktop Entry";
// Characters that force a quoted Exec word.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters escaped by a backslash inside a quoted Exec word.
constexpr std::string_view kQuoteEscaped = "\"`$\\";

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// What an entry can carry: tab, newline and carriage return have escapes; other controls none.
bool IsWritablePath(const std::string& path) {
    if (TrimView(path).empty() || !IsValidUtf8(path)) return false;
    for (unsigned char c : path) {
        if (IsControl(c) && c != '\t' && c != '\n' && c != '\r') return false;
    }
    return true;
}

// The string-value escapes: the result stays on one line and keeps a leading blank.
std::string EscapeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (const char next = text[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            // Not a value escape; kept for the Exec quoting rules, which read "\$" and the like.
            default:
                out += '\\';
                out += next;
        }
    }
    return out;
}

// The program as an Exec word: % doubled so it is no field code, quoted when it holds a
// reserved character. The value escapes come on top (EscapeValue). GLib-based sessions look
// for the program before undoing %%, so there a path with % does not start.
std::string ExecWord(std::string_view path) {
    const std::string word = ReplaceAll(path, "%", "%%");
    if (word.find_first_of(kReserved) == std::string::npos) return word;
    std::string quoted = "\"";
    for (char c : word) {
        if (kQuoteEscaped.find(c) != std::string_view::npos) quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The first word of an unescaped Exec value with its quoting and %% undone; nothing when its
// quote never closes.
std::optional<std::string> FirstExecWord(std::string_view exec) {
    std::size_t i = exec.find_first_not_of(" \t");
    if (i == std::string_view::npos) return std::string();
    std::string word;
    if (exec[i] == '"') {
        for (++i;; ++i) {
            if (i == exec.size()) return std::nullopt;
            const char c = exec[i];
            if (c == '"') break;
            if (c == '\\' && i + 1 < exec.size() &&
                kQuoteEscaped.find(exec[i + 1]) != std::string_view::npos) {
                word += exec[++i];
            } else {
                word += c;
            }
        }
    } else {
        const std::size_t end = exec.find_first_of(" \t", i);
        word = exec.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
    }
    return ReplaceAll(word, "%%", "%");
}

struct EntryKeys {
    bool hasGroup = false;
    std::optional<std::string> type, exec, hidden, autostartEnabled;
};

// The keys of [Desktop Entry] that decide whether the session starts anything; a later line of
// the same key wins.
EntryKeys ParseEntry(std::string_view text) {
    EntryKeys keys;
    bool inGroup = false;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inGroup =
                line.size() >= 2 && line.back() == ']' && line.substr(1, line.size() - 2) == kGroup;
            keys.hasGroup = keys.hasGroup || inGroup;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos) continue;
        const std::string_view key = TrimView(line.substr(0, equals));
        std::string_view raw = line.substr(equals + 1);
        while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t')) raw.remove_prefix(1);
        std::string value = UnescapeValue(raw);
        if (key == "Type")
            keys.type = std::move(value);
        else if (key == "Exec")
            keys.exec = std::move(value);
        else if (key == "Hidden")
            keys.hidden = std::move(value);
        else if (key == "X-GNOME-Autostart-enabled")
            keys.autostartEnabled = std::move(value);
    }
    return keys;
}

bool IsTrue(const std::optional<std::string>& value) {
    return value && (TrimView(*value) == "true" || TrimView(*value) == "1");
}

bool IsFalse(const std::optional<std::string>& value) {
    return value && (TrimView(*value) == "false" || TrimView(*value) == "0");
}

// Creates `path` and its missing parents, private to the user as the base-directory rules ask.
bool MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string EntryText(const std::string& name, const std::string& path) {
    const std::string shownName = EscapeValue(name);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           shownName +
           "\n"
           "Comment=Starts " +
           shownName +
           " at log-on\n"
           "Comment[zh_CN]=开机时自动启动 " +
           shownName +
           "\n"
           "Exec=" +
           EscapeValue(ExecWord(path)) +
           "\n"
           "Icon=" +
           EscapeValue(LowerAscii(name)) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace

XdgAutostartStore::XdgAutostartStore() : m_folder(xdg::ConfigHome() + "/autostart") {}

XdgAutostartStore::XdgAutostartStore(std::string folder) : m_folder(std::move(folder)) {}

std::string XdgAutostartStore::EntryPath(const std::string& name) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        !IsValidUtf8(name)) {
        return {};
    }
    for (unsigned char c : name) {
        if (IsControl(c)) return {};
    }
    return m_folder + "/" + name + ".desktop";
}

std::optional<std::string> XdgAutostartStore::Read(const std::string& name) {
    const std::string entry = EntryPath(name);
    struct stat st {};
    // Only a regular file: opening a FIFO left in its place would block for good.
    if (entry.empty() || ::stat(entry.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string text;
    bool missing = false;
    if (!ReadWholeFile(entry, text, missing).ok || missing) return std::nullopt;
    const EntryKeys keys = ParseEntry(text);
    if (!keys.hasGroup || keys.type != "Application" || IsTrue(keys.hidden) ||
        IsFalse(keys.autostartEnabled) || !keys.exec) {
        return std::nullopt;
    }
    return FirstExecWord(*keys.exec);
}

bool XdgAutostartStore::Write(const std::string& name, const std::string& path) {
    const std::string entry = EntryPath(name);
    if (entry.empty() || !IsWritablePath(path) || !MakeDirectories(m_folder)) return false;
    // A linked entry (some tools link the menu's entry here) is replaced, not written through.
    struct stat st {};
    if (::lstat(entry.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(entry.c_str()) != 0) {
        return false;
    }
    return WriteFileAtomically(entry, EntryText(name, path)).ok;
}

bool XdgAutostartStore::Remove(const std::string& name) {
    const std::string entry = EntryPath(name);
    if (entry.empty()) return false;
    return ::unlink(entry.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

std::string RunningExecutablePath() {
    std::string path(256, '\0');
    while (true) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    // An executable replaced while running (an update) is reported with this mark; the new file
    // at the same place is the one to start next time.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted) && ::access(path.c_str(), F_OK) != 0) {
        const std::string original = path.substr(0, path.size() - kDeleted.size());
        if (::access(original.c_str(), F_OK) == 0) return original;
    }
    return path;
}

}  // namespace tk
