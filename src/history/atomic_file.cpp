#include "history/atomic_file.h"

#ifdef _WIN32

#include <algorithm>
#include <random>
#include <windows.h>

namespace tk {

std::wstring WidePath(const std::string& path) {
    if (path.empty()) return {};
    const int size = static_cast<int>(path.size());
    int n = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, path.data(), size, out.data(), n);
    return out;
}

namespace {

std::function<void(const std::string&)>& BeforeRenameHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

std::string LastErrorText(const char* what) {
    return std::string(what) + ": error " + std::to_string(::GetLastError());
}

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    bool Close() {
        if (!Valid()) return true;
        bool ok = ::CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_h;
};

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

void SetBeforeRenameHookForTesting(std::function<void(const std::string&)> hook) {
    BeforeRenameHook() = std::move(hook);
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
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
    Handle file(created);
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
    if (BeforeRenameHook()) BeforeRenameHook()(temp);
    if (!::MoveFileExW(WidePath(temp).c_str(), WidePath(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FileResult r{false, LastErrorText("rename")};
        ::DeleteFileW(WidePath(temp).c_str());
        return r;
    }
    return {true, {}};
}

FileResult ReadWholeFile(const std::string& path, std::string& bytes, bool& missing) {
    bytes.clear();
    missing = false;
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return {false, "is a directory"};
    }
    Handle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = ::GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing, missing ? std::string() : LastErrorText("open")};
    }
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) {
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    char buffer[65536];
    while (true) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) {
            return {false, LastErrorText("read")};
        }
        if (n == 0) break;
        bytes.append(buffer, n);
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
    // A regular file is read straight into a buffer of its size; what it grew by meanwhile, and
    // files of no known size, come in pieces after.
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                FileResult r{false, ErrnoText("read")};
                ::close(fd);
                bytes.clear();
                return r;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
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

#endif
