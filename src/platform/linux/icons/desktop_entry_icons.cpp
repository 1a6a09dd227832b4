#include "platform/linux/icons/desktop_entry_icons.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <utility>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/linux/glib/glib_ptr.h"
#include "platform/linux/icons/desktop_entry_programs.h"
#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

// Subfolders of "applications" are rare and shallow; the limit guards against link loops.
constexpr int kMaxFolderDepth = 8;

struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
};

std::string RealPath(const char* path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::optional<FileIcon> IconFromGIcon(GIcon* icon) {
    FileIcon result;
    if (G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        if (names != nullptr && names[0] != nullptr) result.themeName = names[0];
    } else if (G_IS_FILE_ICON(icon)) {
        glib::String path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        if (path) result.filePath = path.get();
    }
    if (result.themeName.empty() && result.filePath.empty()) return std::nullopt;
    return result;
}

std::vector<std::string> DesktopDataDirs() {
    // The user's folder by the backend's one home rule; GLib would keep its first answer.
    std::vector<std::string> dirs{xdg::DataHome()};
    for (const gchar* const* d = g_get_system_data_dirs(); *d != nullptr; ++d)
        dirs.emplace_back(*d);
    return dirs;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<FileIcon> IconOfEntry(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.c_str()));
    GIcon* gicon = info ? g_app_info_get_icon(G_APP_INFO(info.get())) : nullptr;
    return gicon != nullptr ? IconFromGIcon(gicon) : std::nullopt;
}

}  // namespace

bool DesktopEntryIcons::FolderStamp::operator==(const FolderStamp& other) const {
    return path == other.path && exists == other.exists && device == other.device &&
           inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

DesktopEntryIcons::DesktopEntryIcons(std::vector<std::string> dataDirs)
    : m_dataDirs(std::move(dataDirs)) {}

std::optional<FileIcon> DesktopEntryIcons::IconOf(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    FileIcon generic;
    generic.themeName = kGenericIconName;
    const std::string real = RealPath(path.c_str());
    if (real.empty()) return generic;
    // A program recorded as its desktop entry shows that entry's icon.
    if (EndsWith(real, ".desktop")) return IconOfEntry(real).value_or(generic);

    if (!m_built) Rebuild();
    auto found = m_iconByExecutable.find(real);
    // A program installed since the last reading brought its entry along: read again, but
    // only when some applications folder really changed.
    if (found == m_iconByExecutable.end() && FoldersChanged()) {
        Rebuild();
        found = m_iconByExecutable.find(real);
    }
    return found != m_iconByExecutable.end() ? found->second : generic;
}

DesktopEntryIcons::FolderStamp DesktopEntryIcons::StampOf(const std::string& folder) {
    FolderStamp stamp;
    stamp.path = folder;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        stamp.exists = true;
        stamp.device = st.st_dev;
        stamp.inode = st.st_ino;
        stamp.modified = st.st_mtim;
    }
    return stamp;
}

bool DesktopEntryIcons::FoldersChanged() const {
    return std::any_of(m_stamps.begin(), m_stamps.end(),
                       [](const FolderStamp& s) { return !(StampOf(s.path) == s); });
}

void DesktopEntryIcons::Rebuild() {
    m_iconByExecutable.clear();
    m_stamps.clear();
    // Entries are known by their id (path below "applications", "/" read as "-"); an id
    // found in an earlier data folder hides the same id in later ones, as on the desktop.
    std::unordered_set<std::string> seenIds;
    for (const std::string& dir : m_dataDirs.empty() ? DesktopDataDirs() : m_dataDirs) {
        if (!dir.empty()) ReadFolder(dir + "/applications", "", 0, seenIds);
    }
    m_built = true;
}

void DesktopEntryIcons::ReadFolder(const std::string& folder, const std::string& idPrefix,
                                   int depth, std::unordered_set<std::string>& seenIds) {
    m_stamps.push_back(StampOf(folder));
    if (!m_stamps.back().exists || depth > kMaxFolderDepth) return;
    std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.c_str()));
    if (!dir) return;
    // Sorted, so which of two clashing ids wins does not depend on the file system's order.
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            ReadFolder(path, idPrefix + name + "-", depth + 1, seenIds);
        } else if (S_ISREG(st.st_mode) && EndsWith(name, ".desktop") &&
                   seenIds.insert(idPrefix + name).second) {
            ReadEntry(path);
        }
    }
}

void DesktopEntryIcons::ReadEntry(const std::string& file) {
    // Null for hidden entries, entries of other types and entries whose TryExec is missing.
    glib::Object<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(file.c_str()));
    if (!info) return;
    GIcon* gicon = g_app_info_get_icon(G_APP_INFO(info.get()));
    if (gicon == nullptr) return;
    const std::optional<FileIcon> icon = IconFromGIcon(gicon);
    if (!icon) return;

    glib::String tryExec(g_desktop_app_info_get_string(info.get(), "TryExec"));
    const std::string fromTryExec = ResolveEntryProgram(tryExec.get());
    if (!fromTryExec.empty()) m_iconByExecutable.try_emplace(fromTryExec, *icon);
    const char* executable = g_app_info_get_executable(G_APP_INFO(info.get()));
    if (executable != nullptr && !IsEntryLauncher(executable)) {
        const std::string fromExec = ResolveEntryProgram(executable);
        if (!fromExec.empty()) m_iconByExecutable.try_emplace(fromExec, *icon);
    }
}

}  // namespace tk
