#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>

// UTF-8, which the program holds, to and from UTF-16, which the wide calls and COM take: every
// name the file system can hold and every character a window can show.
namespace tk {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace tk
#endif
