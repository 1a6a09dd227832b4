#include "platform/linux/posix/posix_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/posix/desktop_entry_trust.h"

namespace tk {

bool PosixFileSystem::FileExists(const std::string& path) const {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PosixFileSystem::DirectoryExists(const std::string& path) const {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::IsProgramFile(const std::string& path) const {
    struct stat st {};
    if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        return false;
    }
    if (path.ends_with(".desktop")) return IsTrustedDesktopEntry(path);
    return (st.st_mode & 0111) != 0 && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace tk
