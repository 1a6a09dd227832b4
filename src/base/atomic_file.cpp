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
    const std::size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temp = folder + "." + name + ".tk-" + std::to_string(100000u + random() % 900000u) + ".tmp";
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
    const std::string target = slash == std::string::npos ? path : path.substr(slash + 1);
    HANDLE search = ::FindFirstFileW(Utf8ToWide(dir + "." + target + ".tk-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (!IsTemporaryName(WideToUtf8(found.cFileName), target)) continue;
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

// Where a write to `path` lands: a link is written through only when the user made it, the
// link and what it names being the user's own, and it names a regular file; anything else in
// the file's place is replaced, never written through.
std::string ResolveTarget(const std::string& path, bool followOwnLink) {
    char resolved[PATH_MAX];
    struct stat link {};
    if (!followOwnLink || ::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    struct stat st {};
    if (link.st_uid == ::geteuid() && ::realpath(path.c_str(), resolved) != nullptr &&
        ::stat(resolved, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
        return resolved;
    }
    return path;
}

}  // namespace

FileResult WriteFileAtomically(const std::string& path,
                               const std::function<bool(const ByteSink&)>& produce,
                               const AtomicWriteOptions& options) {
    const std::string target = ResolveTarget(path, options.followOwnLink);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + name + ".tk-XXXXXX.tmp";
    UniqueFd fd(::mkostemps(temp.data(), 4, O_CLOEXEC));
    if (!fd.Valid()) return {false, ErrnoText("create temporary file")};
    // Keep the permissions the user gave the old file; a new one is private unless asked.
    struct stat st {};
    if (options.keepMode && ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
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
    const std::string target = ResolveTarget(path, true);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (!IsTemporaryName(entry->d_name, name)) continue;
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

bool IsTemporaryName(std::string_view name, std::string_view target) {
    constexpr std::string_view kMark = ".tk-";
    constexpr std::string_view kEnd = ".tmp";
    const std::size_t head = 1 + target.size() + kMark.size();
    if (target.empty() || name.size() != head + 6 + kEnd.size() || name.front() != '.' ||
        name.substr(1, target.size()) != target || name.substr(1 + target.size(), kMark.size()) != kMark ||
        name.substr(head + 6) != kEnd) {
        return false;
    }
    for (char c : name.substr(head, 6)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    return WriteFileAtomically(
        path, [bytes](const ByteSink& sink) { return sink(bytes); }, options);
}

}  // namespace tk
