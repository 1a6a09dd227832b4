#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// String rules shared by the whole core. Texts are UTF-8; trimming and the ASCII-only
// case rules never split a multi-byte character because every byte they touch is < 0x80.
namespace tk {

// Removes every character with a code of 32 or below from both ends.
std::string Trim(std::string_view text);
std::string_view TrimView(std::string_view text);

// Upper- or lower-cases the ASCII letters only.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);

// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

inline bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// Whether `text` holds `part` (lower case) when the ASCII letters of `text` are lowered.
bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view lowerPart);

// Text from the 1-based position `pos` to the end; empty when past the end.
std::string_view FromPosition(std::string_view text, std::size_t pos);

bool IsValidUtf8(std::string_view text);
// Whether the non-ASCII bytes of `bytes` are overwhelmingly valid UTF-8: a few stray bytes in
// a UTF-8 text still make it UTF-8, while text in a legacy two-byte code page, of which only
// scattered pairs happen to form UTF-8 sequences, does not.
bool MostlyUtf8(std::string_view bytes);
// Whether every byte is below 0x80.
bool IsAscii(std::string_view text);

// At most `maxBytes` bytes of `text`, never ending inside a UTF-8 character.
std::string_view TruncateUtf8(std::string_view text, std::size_t maxBytes);

// Replaces invalid UTF-8 sequences by U+FFFD, so later stages only ever see valid text.
std::string SanitizeUtf8(std::string_view text);

// Strings each ended by a NUL, the last maybe not (a process's arguments as /proc lists
// them); at most `most` of them.
std::vector<std::string> SplitNulSeparated(std::string_view bytes, std::size_t most);

}  // namespace tk
