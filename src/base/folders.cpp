#include "base/folders.h"

#include "base/wide_text.h"

#ifdef _WIN32
#include <random>
#include <windows.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tk {

#ifdef _WIN32
bool DirectoryIsWritable(const std::string& dir) {
    std::random_device random;
    const std::string probe = (dir.empty() ? std::string(".") : dir) + "/.tk-write-probe." +
                              std::to_string(random() % 1000000u);
    HANDLE h = ::CreateFileW(Utf8ToWide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool MakeDirectories(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            ::CreateDirectoryW(Utf8ToWide(path.substr(0, i)).c_str(), nullptr);
        }
    }
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool InProgramFilesFolder(const std::string& dir) {
    std::wstring wide = Utf8ToWide(dir);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    // Both views: a 64-bit program may sit in the 32-bit folder and the other way round.
    for (const wchar_t* name : {L"ProgramFiles", L"ProgramW6432", L"ProgramFiles(x86)"}) {
        wchar_t root[MAX_PATH];
        const DWORD n = ::GetEnvironmentVariableW(name, root, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) continue;
        std::wstring prefix(root, n);
        while (!prefix.empty() && prefix.back() == L'\\') prefix.pop_back();
        if (prefix.empty() || wide.size() < prefix.size()) continue;
        if (wide.size() > prefix.size() && wide[prefix.size()] != L'\\') continue;
        if (::CompareStringOrdinal(wide.data(), static_cast<int>(prefix.size()), prefix.data(),
                                   static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}
#else
bool DirectoryIsWritable(const std::string& dir) {
    std::string probe = (dir.empty() ? std::string(".") : dir) + "/.tk-write-probe.XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool MakeDirectories(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0700);
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool InProgramFilesFolder(const std::string&) { return false; }
#endif

}  // namespace tk
