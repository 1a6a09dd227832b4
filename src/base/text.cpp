#include "base/text.h"

#include <cstdint>
#include <cstring>

namespace tk {

std::string_view TrimView(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view lowerPart) {
    if (lowerPart.empty()) return true;
    if (text.size() < lowerPart.size()) return false;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i + lowerPart.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lowerPart.size() && lower(text[i + k]) == lowerPart[k]) ++k;
        if (k == lowerPart.size()) return true;
    }
    return false;
}

std::string_view FromPosition(std::string_view text, std::size_t pos) {
    if (pos == 0) pos = 1;
    if (pos > text.size()) return {};
    return text.substr(pos - 1);
}

namespace {

// Length of the valid UTF-8 sequence starting at `i`, or 0 when it is invalid.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return 1;
    std::size_t len;
    unsigned int cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    // Reject overlong forms, surrogates and code points beyond U+10FFFF.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    return len;
}

}  // namespace

bool IsAscii(std::string_view text) {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & 0x8080808080808080ull) != 0) return false;
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    }
    return true;
}

bool MostlyUtf8(std::string_view bytes) {
    // At least this many bytes of valid multi-byte sequences for every byte outside one. GBK
    // text reaches nowhere near it: its lead bytes are often valid UTF-8 leads, but its trail
    // bytes seldom continue them.
    constexpr std::size_t kValidPerStray = 8;
    std::size_t valid = 0;
    std::size_t stray = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = Utf8SequenceLength(bytes, i);
        if (len == 0) {
            ++stray;
            ++i;
        } else {
            valid += len;
            i += len;
        }
    }
    return valid >= kValidPerStray * stray;
}

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    auto continuation = [](unsigned char b) { return (b & 0xC0u) == 0x80u; };
    while (p < end) {
        // Histories are mostly ASCII (web addresses, paths): skip it eight bytes at a time.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
        } else if (c < 0xC2) {
            return false;  // a stray continuation byte or an overlong two-byte form
        } else if (c < 0xE0) {
            if (end - p < 2 || !continuation(p[1])) return false;
            p += 2;
        } else if (c < 0xF0) {
            if (end - p < 3 || !continuation(p[1]) || !continuation(p[2])) return false;
            if (c == 0xE0 && p[1] < 0xA0) return false;   // overlong
            if (c == 0xED && p[1] >= 0xA0) return false;  // surrogates
            p += 3;
        } else if (c < 0xF5) {
            if (end - p < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3])) {
                return false;
            }
            if (c == 0xF0 && p[1] < 0x90) return false;   // overlong
            if (c == 0xF4 && p[1] >= 0x90) return false;  // beyond U+10FFFF
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

std::string_view TruncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = Utf8SequenceLength(text, i);
        if (len == 0) len = 1;  // a stray byte is one unit of its own
        if (i + len > maxBytes) break;
        i += len;
        end = i;
    }
    return text.substr(0, end);
}

std::string SanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = Utf8SequenceLength(text, i);
        if (len == 0) {
            out.append("\xEF\xBF\xBD");
            ++i;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::vector<std::string> SplitNulSeparated(std::string_view bytes, std::size_t most) {
    std::vector<std::string> args;
    while (!bytes.empty() && args.size() < most) {
        const std::size_t end = bytes.find('\0');
        args.emplace_back(bytes.substr(0, end));
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    }
    return args;
}

}  // namespace tk
