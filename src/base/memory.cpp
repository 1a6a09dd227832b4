#include "base/memory.h"

#include <array>
#include <charconv>
#include <string>

#include "base/text.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>

#include "base/whole_file.h"
#endif

namespace tk {

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

void UseOneHeap() {
#if defined(__GLIBC__)
    ::mallopt(M_ARENA_MAX, 1);
#endif
}

namespace {

bool ParseHex(std::string_view text, std::size_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// The next space-separated field of a maps line.
std::string_view NextField(std::string_view& line) {
    const std::size_t from = line.find_first_not_of(' ');
    if (from == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(from);
    const std::size_t to = line.find(' ');
    const std::string_view field = line.substr(0, to);
    line = to == std::string_view::npos ? std::string_view{} : line.substr(to);
    return field;
}

bool EndsWithFontSuffix(std::string_view path) {
    static constexpr std::array<std::string_view, 6> kSuffixes{".ttf", ".ttc", ".otf", ".otc",
                                                               ".pfb", ".woff"};
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
    const std::string suffix = LowerAscii(path.substr(dot));
    for (const std::string_view known : kSuffixes) {
        if (suffix == known) return true;
    }
    return false;
}

}  // namespace

bool IsReleasableFontMapping(std::string_view line, std::size_t& start, std::size_t& end) {
    const std::string_view range = NextField(line);
    const std::string_view perms = NextField(line);
    NextField(line);  // offset
    NextField(line);  // device
    const std::string_view inode = NextField(line);
    const std::size_t from = line.find_first_not_of(' ');
    const std::string_view path = from == std::string_view::npos ? std::string_view{} : line.substr(from);
    // Only a private mapping that was never writable: its pages are the file's own, never a
    // changed copy, so dropping them loses nothing.
    if (perms != "r--p" || inode.empty() || inode == "0" || path.empty() || path.front() != '/') {
        return false;
    }
    if (path.ends_with(" (deleted)") || !EndsWithFontSuffix(path)) return false;
    const std::size_t dash = range.find('-');
    if (dash == std::string_view::npos) return false;
    return ParseHex(range.substr(0, dash), start) && ParseHex(range.substr(dash + 1), end) && start < end;
}

std::size_t ReleaseFontPages() {
    std::size_t released = 0;
#if defined(__linux__)
    std::string maps;
    bool missing = false;
    if (!ReadWholeFile("/proc/self/maps", maps, missing, 16u << 20).ok || missing) return 0;
    std::string_view rest = maps;
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        const std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        std::size_t start = 0;
        std::size_t end = 0;
        if (!IsReleasableFontMapping(line, start, end)) continue;
        if (::madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED) == 0) {
            released += end - start;
        }
    }
#endif
    return released;
}

}  // namespace tk
