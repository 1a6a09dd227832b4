#include "platform/linux/posix/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "base/folders.h"
#include "base/unique_fd.h"

namespace tk {

CappedFile ReadWholeFileCapped(const std::string& path, std::size_t cap) {
    CappedFile file;
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer for good.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) {
        const int error = errno;
        file.status = (error == ENOENT || error == ENOTDIR) ? CappedFile::Status::Missing
                                                            : CappedFile::Status::Failed;
        file.error = std::strerror(error);
        return file;
    }
    struct stat& info = file.info;
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        file.error = "not a regular file";
        return file;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > cap) {
        file.error = "refused: " + std::to_string(info.st_size) + " bytes";
        return file;
    }
    file.bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            file.error = std::strerror(errno);
            break;
        }
        if (n == 0) {
            file.status = CappedFile::Status::Ok;
            break;
        }
        if (file.bytes.size() + static_cast<std::size_t>(n) > cap) {
            file.error = "refused: grew past " + std::to_string(cap) + " bytes";
            break;
        }
        file.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    if (file.status != CappedFile::Status::Ok) file.bytes.clear();
    return file;
}

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

bool MakeFolders(const std::string& path) {
    MakeDirectories(path);
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace tk
