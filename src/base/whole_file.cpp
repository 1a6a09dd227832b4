#include "base/whole_file.h"

#include "base/unique_fd.h"
#include "base/wide_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace tk {

#ifdef _WIN32
namespace {
std::string LastErrorText(const char* what) {
    return std::string(what) + ": error " + std::to_string(::GetLastError());
}

std::int64_t UnixNanoseconds(const FILETIME& time) {
    const std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime;
    constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
    return (ticks - kTicksFrom1601To1970) * 100;
}

std::optional<FileStamp> StampOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    FileStamp stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (static_cast<std::int64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modifiedNs = UnixNanoseconds(info.ftLastWriteTime);
    stamp.changedNs = UnixNanoseconds(info.ftCreationTime);
    stamp.mode = info.dwFileAttributes;
    return stamp;
}
}  // namespace

std::optional<FileStamp> StampOfFile(const std::string& path) {
    // No access asked: the stamp of a file another program holds open is still read.
    UniqueHandle file(::CreateFileW(Utf8ToWide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.Valid()) return std::nullopt;
    return StampOfHandle(file.Get());
}

FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing,
                         std::uint64_t maxBytes, FileStamp* stamp) {
    bytes.clear();
    missing = false;
    const std::wstring wide = Utf8ToWide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return {false, "is a directory", FileProblem::NotRegular};
    }
    UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = ::GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing, missing ? std::string() : LastErrorText("open"),
                missing ? FileProblem::None : FileProblem::Unreadable};
    }
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return {false, "not a regular file", FileProblem::NotRegular};
    }
    if (stamp != nullptr) *stamp = StampOfHandle(file.Get()).value_or(FileStamp{});
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        return {false, "larger than " + std::to_string(maxBytes) + " bytes", FileProblem::TooLarge};
    }
    if (size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    while (true) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) {
            bytes.clear();
            return {false, LastErrorText("read"), FileProblem::Unreadable};
        }
        if (n == 0) break;
        bytes.append(buffer, n);
        if (bytes.size() > maxBytes) {
            bytes.clear();
            return {false, "grew past the size limit", FileProblem::TooLarge};
        }
    }
    return {true, {}};
}
#else
namespace {
std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileStamp StampOf(const struct stat& info) {
    return FileStamp{static_cast<std::int64_t>(info.st_dev), static_cast<std::int64_t>(info.st_ino),
                     static_cast<std::int64_t>(info.st_size), Nanoseconds(info.st_mtim),
                     Nanoseconds(info.st_ctim), static_cast<std::int64_t>(info.st_mode)};
}
}  // namespace

std::optional<FileStamp> StampOfFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return StampOf(info);
}

FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing,
                         std::uint64_t maxBytes, FileStamp* stamp) {
    bytes.clear();
    missing = false;
    // Non-blocking: a pipe put in the file's place must not hang the program at the open.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) {
        missing = errno == ENOENT || errno == ENOTDIR;
        return {missing, missing ? std::string() : ErrnoText("open"),
                missing ? FileProblem::None : FileProblem::Unreadable};
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return {false, ErrnoText("stat"), FileProblem::Unreadable};
    if (!S_ISREG(st.st_mode)) {
        return {false, S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file",
                FileProblem::NotRegular};
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        return {false, "larger than " + std::to_string(maxBytes) + " bytes", FileProblem::TooLarge};
    }
    if (stamp != nullptr) *stamp = StampOf(st);
    // A regular file is read straight into a buffer of its size; what it grew by meanwhile, and
    // files of no known size, come in pieces after.
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd.Get(), bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                bytes.clear();
                return {false, ErrnoText("read"), FileProblem::Unreadable};
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            bytes.clear();
            return {false, ErrnoText("read"), FileProblem::Unreadable};
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) {
            bytes.clear();
            return {false, "grew past the size limit", FileProblem::TooLarge};
        }
    }
    return {true, {}};
}
#endif

}  // namespace tk
