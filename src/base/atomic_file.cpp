#include "base/atomic_file.h"

#include "base/unique_fd.h"
#include "base/wide_text.h"

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

FileResult WriteFileAtomically(const std::string& path,
                               const std::function<bool(const ByteSink&)>& produce,
                               const AtomicWriteOptions& options) {
    // A random suffix in the target's own folder, so the final move never crosses volumes.
    std::random_device random;
    std::string temp;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temp = path + "." + std::to_string(random() % 1000000u) + ".tmp";
        created = ::CreateFileW(Utf8ToWide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    UniqueHandle file(created);
    if (!file.Valid()) return {false, LastErrorText("create temporary file")};
    const ByteSink sink = [&file](std::string_view bytes) { return WriteAll(file.Get(), bytes); };
    if (!produce(sink) || !::FlushFileBuffers(file.Get())) {
        FileResult r{false, LastErrorText("write temporary file")};
        file.Close();
        ::DeleteFileW(Utf8ToWide(temp).c_str());
        return r;
    }
    if (!file.Close()) {
        FileResult r{false, LastErrorText("close temporary file")};
        ::DeleteFileW(Utf8ToWide(temp).c_str());
        return r;
    }
    if (options.beforeRename) options.beforeRename(temp);
    if (!::MoveFileExW(Utf8ToWide(temp).c_str(), Utf8ToWide(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FileResult r{false, LastErrorText("rename")};
        ::DeleteFileW(Utf8ToWide(temp).c_str());
        return r;
    }
    return {true, {}};
}

int RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(Utf8ToWide(path + ".*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring name = Utf8ToWide(dir) + found.cFileName;
        if (::DeleteFileW(name.c_str())) ++removed;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}

}  // namespace tk

#else

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

FileResult WriteFileAtomically(const std::string& path,
                               const std::function<bool(const ByteSink&)>& produce,
                               const AtomicWriteOptions& options) {
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string temp = target + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.Valid()) return {false, ErrnoText("create temporary file")};
    // Keep the permissions the user gave the old file; a new one is private unless asked.
    struct stat st {};
    if (options.keepMode && ::stat(target.c_str(), &st) == 0) {
        ::fchmod(fd.Get(), st.st_mode & 07777);
    } else {
        ::fchmod(fd.Get(), static_cast<mode_t>(options.newFileMode));
    }
    const ByteSink sink = [&fd](std::string_view bytes) { return WriteAll(fd.Get(), bytes); };
    if (!produce(sink) || ::fsync(fd.Get()) != 0) {
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

int RemoveStaleTemporaries(const std::string& path) {
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".";
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) return 0;
    int removed = 0;
    // mkstemp's names: the target's name, a dot and six letters or digits.
    const auto isTemporary = [&prefix](std::string_view name) {
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) return false;
        for (char c : name.substr(prefix.size())) {
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
                return false;
            }
        }
        return true;
    };
    while (const dirent* entry = ::readdir(folder)) {
        if (!isTemporary(entry->d_name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlinkat(::dirfd(folder), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(folder);
    return removed;
}

}  // namespace tk

#endif

namespace tk {

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    return WriteFileAtomically(
        path, [bytes](const ByteSink& sink) { return sink(bytes); }, options);
}

}  // namespace tk
