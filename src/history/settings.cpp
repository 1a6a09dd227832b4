#include "history/settings.h"

#include "base/folders.h"
#include "desktop/autorun.h"

namespace tk {

std::string CheckTimeLabel(int position) {
    return "每" + std::to_string(position) + "秒刷新一次";
}

bool IsSystemInstall(const std::string& exeDir) {
    for (std::string_view prefix : {"/usr", "/opt"}) {
        if (exeDir.compare(0, prefix.size(), prefix) == 0 &&
            (exeDir.size() == prefix.size() || exeDir[prefix.size()] == '/')) {
            return true;
        }
    }
    return false;
}

SettingsLocation ResolveSettingsLocation(const std::string& exeDir, const std::string& configHome) {
    const std::string beside = exeDir + "/" + std::string(kSettingsFileName);
    // Installed for everyone, the folder is shared: one user's history (root's too) never
    // lands beside the program. Nor in a bin folder of an install under any other prefix
    // (~/.local), which has its menu entry in ../share beside it.
    // On Windows, installed means under Program Files, writable or not.
    const bool installed =
        IsSystemInstall(exeDir) || InProgramFilesFolder(exeDir) ||
        PathExists(exeDir + "/../share/applications/" + std::string(kDesktopEntryId) + ".desktop");
    if (!installed && DirectoryIsWritable(exeDir)) return {beside, beside};
    const std::string dir = configHome + "/TarvoKelmora";
    MakeDirectories(dir);
    const std::string perUser = dir + "/" + std::string(kSettingsFileName);
    // A history shipped or left beside a read-only executable seeds the per-user file.
    if (!PathExists(perUser) && PathExists(beside)) return {beside, perUser};
    return {perUser, perUser};
}

}  // namespace tk
