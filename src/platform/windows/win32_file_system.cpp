#include "platform/windows/win32_file_system.h"

#include <windows.h>

#include "platform/windows/ansi_text.h"

namespace tk {

namespace {

DWORD Attributes(const std::string& path) {
    if (path.empty()) return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesA(win32::Utf8ToAnsi(path).c_str());
}

}  // namespace

bool Win32FileSystem::FileExists(const std::string& path) const {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::DirectoryExists(const std::string& path) const {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace tk
