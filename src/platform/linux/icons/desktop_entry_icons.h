#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "desktop/file_icons.h"
#include "platform/linux/icons/desktop_entry_folders.h"

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
    // Reads every entry again: executable (real path) -> icon.
    void Rebuild();
    void ReadEntry(const std::string& file);

    std::vector<std::string> m_dataDirs;
    bool m_built = false;
    std::unordered_map<std::string, FileIcon> m_iconByExecutable;
    // Entries come and go with their folders' modification times.
    PathStamps m_stamps;
};

}  // namespace tk
