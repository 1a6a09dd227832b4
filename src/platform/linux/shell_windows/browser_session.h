#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

// What one browser session file says is open.
struct BrowserSession {
    // The page each open tab shows, window by window in the browser's order, as valid UTF-8.
    std::vector<std::string> urls;
    // Why the file, or its end, could not be read; `urls` keeps what came before the fault.
    std::string error;

    bool Ok() const { return error.empty(); }
};

// Session files are small (a few MiB with thousands of tabs); anything claiming more is
// refused rather than allocated.
inline constexpr std::size_t kMaxSessionBytes = 64u << 20;
// Caps that keep a hostile file from turning its 64 MiB into gigabytes of bookkeeping.
inline constexpr std::size_t kMaxSessionTabs = 50000;
inline constexpr std::size_t kMaxSessionUrlBytes = 64u << 10;

// A tab's address as the session stores it, or empty when it is no address we can hand on:
// empty, too long, or holding control characters. Otherwise valid UTF-8.
std::string CleanSessionUrl(std::string_view url);

// Firefox: a `recovery.jsonlz4` file ("mozLz40\0", the decompressed size as 32-bit little
// endian, one LZ4 block of JSON). Never throws.
BrowserSession ParseFirefoxSession(std::string_view fileBytes);
// The decompressed JSON of such a file.
BrowserSession ParseFirefoxSessionJson(std::string json);

// Chromium and its family: a `Sessions/Session_*` command file. Never throws.
BrowserSession ParseChromiumSession(std::string_view fileBytes);

}  // namespace tk
