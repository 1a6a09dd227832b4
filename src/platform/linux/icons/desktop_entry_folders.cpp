#include "platform/linux/icons/desktop_entry_folders.h"

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unordered_set>

#include <glib.h>

#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

// Subfolders of "applications" are rare and shallow; the limit guards against link loops.
constexpr int kMaxFolderDepth = 8;

struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
};

void ReadFolder(const std::string& folder, const std::string& idPrefix, int depth,
                std::unordered_set<std::string>& seenIds, PathStamps& stamps,
                std::vector<DesktopEntryFile>& found) {
    stamps.Add(folder);
    if (depth > kMaxFolderDepth) return;
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
            ReadFolder(path, idPrefix + name + "-", depth + 1, seenIds, stamps, found);
        } else if (S_ISREG(st.st_mode) && name.ends_with(".desktop") &&
                   seenIds.insert(idPrefix + name).second) {
            found.push_back({idPrefix + name, path});
        }
    }
}

}  // namespace

bool PathStamps::Stamp::operator==(const Stamp& other) const {
    return path == other.path && exists == other.exists && device == other.device &&
           inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

PathStamps::Stamp PathStamps::StampOf(const std::string& path) {
    Stamp stamp;
    stamp.path = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        stamp.exists = true;
        stamp.device = st.st_dev;
        stamp.inode = st.st_ino;
        stamp.modified = st.st_mtim;
    }
    return stamp;
}

void PathStamps::Add(const std::string& path) { m_stamps.push_back(StampOf(path)); }

bool PathStamps::Changed() const {
    return std::any_of(m_stamps.begin(), m_stamps.end(),
                       [](const Stamp& s) { return !(StampOf(s.path) == s); });
}

std::vector<std::string> DesktopDataDirs() {
    // The user's folder by the backend's one home rule; GLib would keep its first answer.
    std::vector<std::string> dirs{xdg::DataHome()};
    for (const gchar* const* d = g_get_system_data_dirs(); *d != nullptr; ++d)
        dirs.emplace_back(*d);
    return dirs;
}

std::vector<DesktopEntryFile> DesktopEntryFiles(const std::vector<std::string>& dataDirs,
                                                PathStamps& stamps) {
    std::vector<DesktopEntryFile> found;
    std::unordered_set<std::string> seenIds;
    for (const std::string& dir : dataDirs) {
        if (!dir.empty()) ReadFolder(dir + "/applications", "", 0, seenIds, stamps, found);
    }
    return found;
}

}  // namespace tk
