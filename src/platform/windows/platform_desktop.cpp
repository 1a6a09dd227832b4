#include "desktop/platform_desktop.h"

#include <windows.h>

#include "platform/windows/ansi_text.h"

namespace tk {

std::string ExecutablePath() {
    // The module file name as the system reports it, which is what the Run value must hold.
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return win32::AnsiToUtf8(std::string_view(buffer, n));
}

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace tk
