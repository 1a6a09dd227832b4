#include "base/wide_path.h"

#ifdef _WIN32
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

}  // namespace tk
#endif
