#include "platform/linux/icons/desktop_entry_browsers.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "base/text.h"
#include "base/whole_file.h"
#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/glib/key_file.h"
#include "platform/linux/icons/desktop_entry_programs.h"
#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

constexpr std::size_t kMaxListBytes = 1u << 20;
// A launcher script is a screenful of shell; what lies past this is no script of that kind.
constexpr std::size_t kMaxScriptBytes = 64u << 10;

std::string FileName(std::string_view path) { return std::string(path.substr(path.rfind('/') + 1)); }
std::string Folder(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::size_t semicolon = text.find(';');
        std::string item = Trim(text.substr(0, semicolon));
        if (!item.empty()) items.push_back(std::move(item));
        text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    }
    return items;
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

bool OnPath(const std::string& folder) {
    const char* path = std::getenv("PATH");
    std::string_view left = path != nullptr ? path : "";
    while (!left.empty()) {
        const std::size_t colon = left.find(':');
        const std::string dir(left.substr(0, colon));
        if (!dir.empty() && RealPath(dir) == folder) return true;
        left = colon == std::string_view::npos ? std::string_view() : left.substr(colon + 1);
    }
    return false;
}

// The program an entry's Exec line starts: its first word, or past `env` and its settings.
std::string ExecProgram(GDesktopAppInfo* info) {
    glib::String exec(g_desktop_app_info_get_string(info, "Exec"));
    if (!exec) return {};
    gchar** argv = nullptr;
    // GLib splits the line by the entry's quoting rules; nothing runs it.
    if (!g_shell_parse_argv(exec.get(), nullptr, &argv, nullptr)) return {};
    std::string program;
    gchar** word = argv;
    if (*word != nullptr && FileName(*word) == "env") {
        for (++word; *word != nullptr && ((*word)[0] == '-' || std::string_view(*word).find('=') !=
                                                                     std::string_view::npos);
             ++word) {
        }
    }
    if (*word != nullptr) program = *word;
    g_strfreev(argv);
    return program;
}

}  // namespace

DesktopEntryBrowsers::DesktopEntryBrowsers(Folders folders, Kind kind)
    : m_folders(std::move(folders)), m_kind(std::move(kind)) {}

bool DesktopEntryBrowsers::IsBrowser(const std::string& executable) {
    if (executable.empty() || executable.find('\0') != std::string::npos) return false;
    if (!m_built || m_stamps.Changed()) Rebuild();
    // A program recorded as the entry that starts it (a sandboxed browser's).
    if (m_paths.contains(executable) || m_entries.contains(executable)) return true;
    const std::string name = FileName(executable);
    if (m_kind.sameNameCounts && m_names.contains(name)) return true;
    const std::string folder = Folder(executable);
    for (const Wrapper& wrapper : m_wrappers) {
        if (wrapper.folder != folder) continue;
        // Named as a path ("$HERE/chrome"), ending where a file name cannot go on.
        const std::string named = "/" + name;
        for (std::size_t at = wrapper.text.find(named); at != std::string::npos;
             at = wrapper.text.find(named, at + 1)) {
            const std::size_t end = at + named.size();
            const char next = end < wrapper.text.size() ? wrapper.text[end] : '\n';
            const bool nameGoesOn = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                                    (next >= '0' && next <= '9') || next == '.' || next == '_' ||
                                    next == '-';
            if (!nameGoesOn) return true;
        }
    }
    return false;
}

void DesktopEntryBrowsers::Rebuild() {
    m_built = true;
    m_stamps.Clear();
    m_paths.clear();
    m_names.clear();
    m_wrappers.clear();
    m_entries.clear();
    const std::unordered_set<std::string> listed = ListedHandlers();
    const std::vector<std::string> dataDirs =
        m_folders.dataDirs.empty() ? DesktopDataDirs() : m_folders.dataDirs;
    for (const DesktopEntryFile& entry : DesktopEntryFiles(dataDirs, m_stamps)) {
        // Null for entries of other types and entries whose TryExec is missing; an entry the
        // user hid says nothing either.
        glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(entry.path.c_str()));
        if (!info || g_desktop_app_info_get_is_hidden(info.get())) continue;
        bool browser = listed.contains(entry.id);
        const char* categories = g_desktop_app_info_get_categories(info.get());
        for (const std::string& category : SplitList(categories != nullptr ? categories : "")) {
            browser = browser || category == m_kind.category;
        }
        bool handles = false;
        bool onlyFolders = true;
        const char* const* types = g_app_info_get_supported_types(G_APP_INFO(info.get()));
        for (; types != nullptr && *types != nullptr; ++types) {
            const std::string_view type = *types;
            for (const std::string& kindType : m_kind.types) handles = handles || type == kindType;
            onlyFolders = onlyFolders && (type.starts_with("inode/") ||
                                          type.starts_with("x-directory/") ||
                                          type.ends_with("-saved-search"));
        }
        browser = browser || (handles && (!m_kind.onlyFolderTypes || onlyFolders));
        if (!browser) continue;
        m_entries.insert(entry.path);
        glib::String tryExec(g_desktop_app_info_get_string(info.get(), "TryExec"));
        if (tryExec) AddProgram(tryExec.get());
        AddProgram(ExecProgram(info.get()));
    }
}

std::unordered_set<std::string> DesktopEntryBrowsers::ListedHandlers() {
    std::vector<std::string> files;
    const auto add = [&files](const std::string& dir) {
        if (dir.empty()) return;
        // The desktop's own list comes before the common one.
        const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
        std::string_view left = desktops != nullptr ? desktops : "";
        while (!left.empty()) {
            const std::size_t colon = left.find(':');
            const std::string name = LowerAscii(left.substr(0, colon));
            if (!name.empty() && name.find('/') == std::string::npos) {
                files.push_back(dir + "/" + name + "-mimeapps.list");
            }
            left = colon == std::string_view::npos ? std::string_view() : left.substr(colon + 1);
        }
        files.push_back(dir + "/mimeapps.list");
    };
    if (m_folders.configDirs.empty()) {
        add(xdg::ConfigHome());
        for (const std::string& dir : xdg::ConfigDirs()) add(dir);
    } else {
        for (const std::string& dir : m_folders.configDirs) add(dir);
    }
    for (const std::string& dir : m_folders.dataDirs.empty() ? DesktopDataDirs() : m_folders.dataDirs) {
        if (!dir.empty()) add(dir + "/applications");
    }

    std::unordered_set<std::string> ids;
    for (const std::string& file : files) {
        m_stamps.Add(file);
        std::string text;
        bool missing = false;
        glib::KeyFile keys;
        if (!ReadWholeFile(file, text, missing, kMaxListBytes).ok || missing || !keys.Load(text)) {
            continue;
        }
        for (const char* group : {"Default Applications", "Added Associations"}) {
            if (!m_kind.addedAssociationsCount && group != std::string_view("Default Applications")) {
                continue;
            }
            for (const std::string& type : m_kind.types) {
                const std::optional<std::string> value = keys.RawValue(group, type);
                for (std::string& id : SplitList(value.value_or(""))) ids.insert(std::move(id));
            }
        }
    }
    return ids;
}

void DesktopEntryBrowsers::AddProgram(const std::string& named) {
    if (named.empty() || IsEntryLauncher(named)) return;
    m_names.insert(FileName(named));
    const std::string real = ResolveEntryProgram(named.c_str());
    if (real.empty()) return;
    m_paths.insert(real);
    m_names.insert(FileName(real));
    const std::string folder = Folder(real);
    std::string text;
    bool missing = false;
    if (!ReadWholeFile(real, text, missing, kMaxScriptBytes).ok || !text.starts_with("#!") ||
        folder.empty() || OnPath(folder)) {
        return;
    }
    m_wrappers.push_back({folder, std::move(text)});
}

}  // namespace tk
