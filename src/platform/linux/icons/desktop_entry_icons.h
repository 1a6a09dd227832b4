#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "desktop/file_icons.h"

namespace tk {

// A program's icon as the desktop shows it in menus: the icon of the desktop entry that
// starts that executable, else the theme's generic program icon.
class DesktopEntryIcons final : public FileIcons {
public:
    // `dataDirs` empty: the desktop's data folders, the user's first (XDG_DATA_HOME, then
    // XDG_DATA_DIRS). Entries are read from "applications" below each.
    explicit DesktopEntryIcons(std::vector<std::string> dataDirs = {});

    // Nothing for an empty path; the generic "application-x-executable" when no entry matches.
    std::optional<FileIcon> IconOf(const std::string& path) override;

    static constexpr const char* kGenericIconName = "application-x-executable";

private:
    struct FolderStamp {
        std::string path;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        bool operator==(const FolderStamp& other) const;
    };
    static FolderStamp StampOf(const std::string& folder);

    // Reads every entry again: executable (real path) -> icon.
    void Rebuild();
    void ReadFolder(const std::string& folder, const std::string& idPrefix, int depth,
                    std::unordered_set<std::string>& seenIds);
    void ReadEntry(const std::string& file);
    // Entries come and go with their folders' modification times.
    bool FoldersChanged() const;

    std::vector<std::string> m_dataDirs;
    bool m_built = false;
    std::unordered_map<std::string, FileIcon> m_iconByExecutable;
    std::vector<FolderStamp> m_stamps;
};

}  // namespace tk
