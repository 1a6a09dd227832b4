#pragma once

#include <string>
#include <string_view>

// Legacy X11 text property encodings, turned into the UTF-8 the core works with.
namespace tk {

// ISO 8859-1 bytes (the X type STRING) as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// X compound text (ISO 2022 with the X registry's designations: Latin-1 and the other
// ISO 8859 right halves, GB 2312, JIS X 0208/0212, KS C 5601, CNS 11643, JIS X 0201, UTF-8
// and named extended segments) as valid UTF-8. Xlib writes it for titles set in a UTF-8
// locale (xterm does so with no _NET_WM_NAME at all). A character we cannot map becomes
// U+FFFD; nothing is dropped silently.
std::string DecodeCompoundText(std::string_view bytes);

}  // namespace tk
