#include "platform/linux/posix/files.h"

#include <string_view>
#include <unistd.h>

namespace tk {

std::optional<std::string> ReadLink(const std::string& path) {
    std::string target(256, '\0');
    while (true) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0) return std::nullopt;
        // A target that fills the buffer may have been cut short: ask again with more room.
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

std::string RunningExecutablePath() {
    std::string path = ReadLink("/proc/self/exe").value_or(std::string());
    // An executable replaced while running (an update) is reported with this mark; the new file
    // at the same place is the one to start next time.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted) && ::access(path.c_str(), F_OK) != 0) {
        const std::string original = path.substr(0, path.size() - kDeleted.size());
        if (::access(original.c_str(), F_OK) == 0) return original;
    }
    return path;
}

}  // namespace tk
