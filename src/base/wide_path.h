#pragma once

#ifdef _WIN32
#include <string>

namespace tk {

// A UTF-8 path for the wide file calls, which take every name the file system can hold.
std::wstring WidePath(const std::string& path);

}  // namespace tk
#endif
