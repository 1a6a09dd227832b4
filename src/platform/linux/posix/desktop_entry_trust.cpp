#include "platform/linux/posix/desktop_entry_trust.h"

#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/linux/posix/user_folders.h"

namespace tk {

namespace {

std::optional<std::string> Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    if (path.empty() || ::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
    return std::string(resolved);
}

std::vector<std::string> ApplicationFolders() {
    std::vector<std::string> folders = {"/usr/share/applications", "/usr/local/share/applications",
                                        xdg::DataHome() + "/applications"};
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs = dataDirs != nullptr ? dataDirs : "";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        // A relative entry would let the current folder decide.
        if (!dir.empty() && dir.front() == '/') folders.push_back(std::string(dir) + "/applications");
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return folders;
}

bool Inside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

}  // namespace

bool IsTrustedDesktopEntry(const std::string& path) {
    const std::optional<std::string> entry = Canonical(path);
    if (!entry) return false;
    struct stat st {};
    if (::stat(entry->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_uid == ::geteuid() && (st.st_mode & S_IXUSR) != 0) return true;
    for (const std::string& folder : ApplicationFolders()) {
        const std::optional<std::string> canonicalFolder = Canonical(folder);
        if (canonicalFolder && Inside(*entry, *canonicalFolder)) return true;
    }
    return false;
}

}  // namespace tk
