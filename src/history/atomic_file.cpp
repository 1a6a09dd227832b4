#include "history/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk {

namespace {

std::function<void(const std::string&)>& BeforeRenameHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string ResolveTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

}  // namespace

void SetBeforeRenameHookForTesting(std::function<void(const std::string&)> hook) {
    BeforeRenameHook() = std::move(hook);
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return {false, ErrnoText("create temporary file")};
    // Keep the permissions the user gave the old file.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    else ::fchmod(fd, 0644);
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        FileResult r{false, ErrnoText("write temporary file")};
        ::close(fd);
        ::unlink(temp.c_str());
        return r;
    }
    if (::close(fd) != 0) {
        FileResult r{false, ErrnoText("close temporary file")};
        ::unlink(temp.c_str());
        return r;
    }
    if (BeforeRenameHook()) BeforeRenameHook()(temp);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        FileResult r{false, ErrnoText("rename")};
        ::unlink(temp.c_str());
        return r;
    }
    // Make the rename itself durable.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {true, {}};
}

FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing) {
    bytes.clear();
    missing = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        return {missing, missing ? std::string() : ErrnoText("open")};
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return {false, "is a directory"};
    }
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            FileResult r{false, ErrnoText("read")};
            ::close(fd);
            return r;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return {true, {}};
}

}  // namespace tk
