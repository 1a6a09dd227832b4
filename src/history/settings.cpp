#include "history/settings.h"

#include "history/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#ifdef _WIN32
#include <random>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tk {

std::string CheckTimeLabel(int position) {
    return "每" + std::to_string(position) + "秒刷新一次";
}

#ifdef _WIN32
namespace {

bool PathExists(const std::string& path) {
    return ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDirectories(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            ::CreateDirectoryW(WidePath(path.substr(0, i)).c_str(), nullptr);
        }
    }
}

}  // namespace

// Tried for real, as on every system: the attributes of a folder say nothing of its ACL.
bool DirectoryIsWritable(const std::string& dir) {
    std::random_device random;
    const std::string probe = (dir.empty() ? std::string(".") : dir) + "/.tk-write-probe." +
                              std::to_string(random() % 1000000u);
    HANDLE h = ::CreateFileW(WidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}
#else
bool DirectoryIsWritable(const std::string& dir) {
    std::string probe = (dir.empty() ? std::string(".") : dir) + "/.tk-write-probe.XXXXXX";
    int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

namespace {

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void MakeDirectories(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            ::mkdir(path.substr(0, i).c_str(), 0700);
        }
    }
}

}  // namespace
#endif

SettingsLocation ResolveSettingsLocation(const std::string& exeDir, const std::string& configHome) {
    const std::string beside = exeDir + "/" + std::string(kSettingsFileName);
    if (DirectoryIsWritable(exeDir)) return {beside, beside};
    const std::string dir = configHome + "/TarvoKelmora";
    MakeDirectories(dir);
    const std::string perUser = dir + "/" + std::string(kSettingsFileName);
    // A history shipped or left beside a read-only executable seeds the per-user file.
    if (!PathExists(perUser) && PathExists(beside)) return {beside, perUser};
    return {perUser, perUser};
}

std::string ConfigHomeFromEnvironment() {
#ifdef _WIN32
    // The per-user roaming folder, read wide so that no character of the name is lost.
    wchar_t appData[MAX_PATH];
    DWORD n = ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        int size = ::WideCharToMultiByte(CP_UTF8, 0, appData, static_cast<int>(n), nullptr, 0,
                                         nullptr, nullptr);
        std::string out(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, appData, static_cast<int>(n), out.data(), size, nullptr,
                              nullptr);
        return out;
    }
    return ".";
#else
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
#endif
}

}  // namespace tk
