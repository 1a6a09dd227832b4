#pragma once

#include <string>
#include <string_view>

// Text crosses between the "A" calls and the core exactly here: the calls speak the ANSI code
// page (936 on a Chinese system), the core speaks UTF-8. No code searches the ANSI bytes.
namespace tk::win32 {

// The bytes of `ansi` that end on a whole character: a buffer cut at its size may split the
// last double-byte character, whose lead byte alone would decode as a stray character. Lead
// bytes come from the code page's own table; the bytes are walked from the start.
std::string_view WholeCharacters(std::string_view ansi);
// ANSI bytes to UTF-8. A lead byte left dangling by a cut buffer is dropped.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to ANSI; characters the code page lacks become the system's default character.
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace tk::win32
