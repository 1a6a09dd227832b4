#include "platform/linux/autorun/xdg_autostart_store.h"

#include <cerrno>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/atomic_file.h"
#include "base/folders.h"
#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/glib/key_file.h"
#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

constexpr const char* kGroup = "Desktop Entry";
// An entry holds a few short lines; a file far larger is not one.
constexpr std::size_t kMaxEntryBytes = 1u << 20;
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

bool IsTrue(const std::optional<std::string>& value) {
    return value && (TrimView(*value) == "true" || TrimView(*value) == "1");
}

bool IsFalse(const std::optional<std::string>& value) {
    return value && (TrimView(*value) == "false" || TrimView(*value) == "0");
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
           std::string(kDesktopEntryId) +  // the icon the package installs
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// The user's entry with only what makes it start this program changed: the keys they added
// (a delay, a comment, a desktop it is limited to) stay. Nothing when it is no entry to edit.
std::optional<std::string> EditedEntry(const std::string& bytes, const std::string& path) {
    glib::KeyFile keys;
    if (!keys.Load(bytes) || !keys.HasGroup(kGroup)) return std::nullopt;
    const std::string ours = "Type=Application\nExec=" + EscapeValue(ExecWord(path)) +
                             "\nX-GNOME-Autostart-enabled=true\n";
    std::string out;
    bool inGroup = false;
    bool added = false;
    for (std::size_t pos = 0; pos < bytes.size();) {
        std::size_t end = bytes.find('\n', pos);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string_view line(bytes.data() + pos, end - pos);
        pos = end;
        const std::string_view body = TrimView(line);
        if (!body.empty() && body.front() == '[') {
            if (inGroup && !added) {
                out += ours;
                added = true;
            }
            inGroup = body == "[Desktop Entry]";
        } else if (inGroup) {
            const std::string_view key = TrimView(body.substr(0, body.find('=')));
            if (key == "Type" || key == "Exec" || key == "Hidden" || key == "X-GNOME-Autostart-enabled") {
                continue;
            }
        }
        out.append(line);
        if (line.back() != '\n') out += '\n';
    }
    if (!added) out += ours;
    return out;
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
    if (entry.empty()) return std::nullopt;
    // Only a regular file: a FIFO left in its place is refused, never waited on.
    std::string bytes;
    bool missing = false;
    if (!ReadWholeFile(entry, bytes, missing, kMaxEntryBytes).ok || missing) return std::nullopt;
    return ProgramOfEntry(bytes);
}

std::optional<std::string> XdgAutostartStore::ProgramOfEntry(const std::string& text) {
    glib::KeyFile keys;
    if (!keys.Load(text) || !keys.HasGroup(kGroup)) return std::nullopt;
    // Raw values with the project's own unescaping: it keeps "\$" and the like for the Exec
    // quoting rules, where GLib's string reading gives up on the whole value.
    const auto value = [&](const char* key) -> std::optional<std::string> {
        std::optional<std::string> raw = keys.RawValue(kGroup, key);
        if (!raw) return std::nullopt;
        return UnescapeValue(*raw);
    };
    const std::optional<std::string> type = value("Type");
    const std::optional<std::string> exec = value("Exec");
    if (type != "Application" || IsTrue(value("Hidden")) ||
        IsFalse(value("X-GNOME-Autostart-enabled")) || !exec) {
        return std::nullopt;
    }
    return FirstExecWord(*exec);
}

bool XdgAutostartStore::Write(const std::string& name, const std::string& path) {
    const std::string entry = EntryPath(name);
    if (entry.empty() || !IsWritablePath(path) || !MakeDirectories(m_folder)) return false;
    // A linked entry (some tools link the menu's entry here) is replaced, not written through.
    struct stat st {};
    if (::lstat(entry.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(entry.c_str()) != 0) {
        return false;
    }
    std::string text = EntryText(name, path);
    std::string bytes;
    bool missing = false;
    if (::lstat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ReadWholeFile(entry, bytes, missing, kMaxEntryBytes).ok && !missing) {
        if (std::optional<std::string> edited = EditedEntry(bytes, path)) text = std::move(*edited);
    }
    AtomicWriteOptions options;
    options.followOwnLink = false;
    return WriteFileAtomically(entry, text, options).ok;
}

bool XdgAutostartStore::Remove(const std::string& name) {
    const std::string entry = EntryPath(name);
    if (entry.empty()) return false;
    return ::unlink(entry.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

}  // namespace tk
