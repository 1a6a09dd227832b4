#include "history/settings.h"

#include "base/folders.h"

namespace tk {

std::string CheckTimeLabel(int position) {
    return "每" + std::to_string(position) + "秒刷新一次";
}

SettingsLocation ResolveSettingsLocation(const std::string& exeDir, const std::string& configHome) {
    const std::string beside = exeDir + "/" + std::string(kSettingsFileName);
    if (DirectoryIsWritable(exeDir)) return {beside, beside};
    const std::string dir = configHome + "/TarvoKelmora";
    MakeDirectories(dir);
    const std::string perUser = dir + "/" + std::string(kSettingsFileName);
    // A history shipped or left beside a read-only executable seeds the per-user file.
    if (!PathExists(perUser) && PathExists(beside)) return {beside, perUser};
    return {perUser, perUser};
}

}  // namespace tk
