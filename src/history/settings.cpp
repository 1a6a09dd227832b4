#include "history/settings.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk {

std::string CheckTimeLabel(int position) {
    return "每" + std::to_string(position) + "秒刷新一次";
}

bool DirectoryIsWritable(const std::string& dir) {
    std::string probe = (dir.empty() ? std::string(".") : dir) + "/.tk-write-probe.XXXXXX";
    int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

namespace {

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void MakeDirectories(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            ::mkdir(path.substr(0, i).c_str(), 0700);
        }
    }
}

}  // namespace

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

std::string ConfigHomeFromEnvironment() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

}  // namespace tk
