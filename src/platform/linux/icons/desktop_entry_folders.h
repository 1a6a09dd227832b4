#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tk {

// Desktop entries as the desktop finds them, for the readers that index them (icons, browsers).

// What a set of folders and files held when they were read: read again only once one changed.
class PathStamps {
public:
    void Add(const std::string& path);
    bool Changed() const;
    void Clear() { m_stamps.clear(); }

private:
    struct Stamp {
        std::string path;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        bool operator==(const Stamp& other) const;
    };
    static Stamp StampOf(const std::string& path);

    std::vector<Stamp> m_stamps;
};

// The desktop's data folders, the user's first (XDG_DATA_HOME, then XDG_DATA_DIRS).
std::vector<std::string> DesktopDataDirs();

// Every entry file below "applications" of each data folder, by its id (its path below
// "applications", "/" read as "-"): an id found in an earlier folder hides the same id in later
// ones, as on the desktop. Every folder looked at is stamped.
struct DesktopEntryFile {
    std::string id;
    std::string path;
};
std::vector<DesktopEntryFile> DesktopEntryFiles(const std::vector<std::string>& dataDirs,
                                                PathStamps& stamps);

}  // namespace tk
