#pragma once

#include <string>
#include <string_view>

// The one seam through which text changes encoding. Memory holds UTF-8; files written by the
// Windows program are GBK, which we read and write as GB18030 (a superset that encodes every
// GBK character with the same bytes and can also hold what GBK cannot).
namespace tk {

enum class TextEncoding { Utf8, Gb18030 };

struct DecodeResult {
    std::string text;      // valid UTF-8
    bool lossless = true;  // false when some bytes were invalid and became U+FFFD
};

// Decodes `bytes` from `encoding` into UTF-8; invalid sequences become U+FFFD.
DecodeResult DecodeText(std::string_view bytes, TextEncoding encoding);

// Encodes UTF-8 `text` into `encoding`. Every Unicode character has a GB18030 form, so nothing
// is lost; invalid UTF-8 input is sanitised first.
std::string EncodeText(std::string_view text, TextEncoding encoding);

// The system's own code page for new files: UTF-8 here, GBK on Windows.
TextEncoding SystemEncoding();

// The line end of a new text file on this system: CR LF on Windows, LF elsewhere.
const char* SystemLineEnd();

}  // namespace tk
