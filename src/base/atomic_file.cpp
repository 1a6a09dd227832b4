#include "base/atomic_file.h"

#include "base/unique_fd.h"
#include "base/wide_path.h"

#ifdef _WIN32

#include <algorithm>
#include <random>
#include <windows.h>

namespace tk {


namespace {

std::string LastErrorText(const char* what) {
    return std::string(what) + ": error " + std::to_string(::GetLastError());
}


bool WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    // A random suffix in the target's own folder, so the final move never crosses volumes.
    std::random_device random;
    std::string temp;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temp = path + "." + std::to_string(random() % 1000000u) + ".tmp";
        created = ::CreateFileW(WidePath(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    UniqueHandle file(created);
    if (!file.Valid()) return {false, LastErrorText("create temporary file")};
    if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get())) {
        FileResult r{false, LastErrorText("write temporary file")};
        file.Close();
        ::DeleteFileW(WidePath(temp).c_str());
        return r;
    }
    if (!file.Close()) {
        FileResult r{false, LastErrorText("close temporary file")};
        ::DeleteFileW(WidePath(temp).c_str());
        return r;
    }
    if (options.beforeRename) options.beforeRename(temp);
    if (!::MoveFileExW(WidePath(temp).c_str(), WidePath(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FileResult r{false, LastErrorText("rename")};
        ::DeleteFileW(WidePath(temp).c_str());
        return r;
    }
    return {true, {}};
}


}  // namespace tk

#else

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk {

namespace {

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

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string temp = target + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.Valid()) return {false, ErrnoText("create temporary file")};
    // Keep the permissions the user gave the old file.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd.Get(), st.st_mode & 07777);
    else ::fchmod(fd.Get(), 0644);
    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0) {
        FileResult r{false, ErrnoText("write temporary file")};
        fd.Close();
        ::unlink(temp.c_str());
        return r;
    }
    if (!fd.Close()) {
        FileResult r{false, ErrnoText("close temporary file")};
        ::unlink(temp.c_str());
        return r;
    }
    if (options.beforeRename) options.beforeRename(temp);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        FileResult r{false, ErrnoText("rename")};
        ::unlink(temp.c_str());
        return r;
    }
    // Make the rename itself durable.
    if (UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dirFd.Valid()) {
        ::fsync(dirFd.Get());
    }
    return {true, {}};
}


}  // namespace tk

#endif
