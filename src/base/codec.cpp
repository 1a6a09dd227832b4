#include "base/codec.h"

#ifdef _WIN32
#include <algorithm>
#include <cstdint>
#include <string>
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#include "base/text.h"

namespace tk {

namespace {

#ifdef _WIN32
// mingw has no iconv: the Win32 code-page calls do the work. GB18030 is code page 54936. Where
// the system lacks it (Wine 8 does), GBK's code page 936 covers the two-byte forms and the
// four-byte forms of the supplementary planes are computed, as they are plain arithmetic; the
// four-byte forms of the few BMP characters outside GBK need the standard's table and are then
// reported as lost.
constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

bool HaveGb18030() {
    static const bool have = ::IsValidCodePage(kGb18030) != 0;
    return have;
}

bool ToWide(UINT codePage, std::string_view in, std::wstring& out) {
    if (in.empty()) return true;
    const int size = static_cast<int>(in.size());
    int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (n <= 0) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, out.data() + at, n);
    return true;
}

// False when some character had no form in the code page.
bool FromWide(UINT codePage, std::wstring_view in, std::string& out) {
    if (in.empty()) return true;
    const int size = static_cast<int>(in.size());
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultPtr = codePage == CP_UTF8 || codePage == kGb18030 ? nullptr : &usedDefault;
    const DWORD flags = usedDefaultPtr != nullptr ? WC_NO_BEST_FIT_CHARS : 0;
    int n = ::WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, nullptr,
                                  usedDefaultPtr);
    if (n <= 0) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    ::WideCharToMultiByte(codePage, flags, in.data(), size, out.data() + at, n, nullptr, nullptr);
    return usedDefault == FALSE;
}

// Length of the character starting at `in[0]`, judged by the encoding's byte structure only.
std::size_t UnitLength(bool fromUtf8, std::string_view in) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) return 1;
    if (fromUtf8) {
        std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return std::min(n, in.size());
    }
    if (in.size() >= 4 && b(1) >= 0x30 && b(1) <= 0x39) return 4;
    return std::min<std::size_t>(2, in.size());
}

// A four-byte GB18030 sequence of the supplementary planes, or 0.
char32_t FourByteToCodePoint(std::string_view unit) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(unit[i]); };
    if (b(0) < 0x90 || b(0) > 0xE3 || b(2) < 0x81 || b(2) > 0xFE || b(3) < 0x30 || b(3) > 0x39) {
        return 0;
    }
    const std::uint32_t linear =
        (((b(0) - 0x90u) * 10 + (b(1) - 0x30u)) * 126 + (b(2) - 0x81u)) * 10 + (b(3) - 0x30u);
    return linear <= 0xFFFFFu ? static_cast<char32_t>(0x10000 + linear) : 0;
}

void AppendFourByte(std::string& out, char32_t cp) {
    std::uint32_t linear = static_cast<std::uint32_t>(cp) - 0x10000;
    char bytes[4];
    bytes[3] = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    bytes[2] = static_cast<char>(0x81 + linear % 126);
    linear /= 126;
    bytes[1] = static_cast<char>(0x30 + linear % 10);
    bytes[0] = static_cast<char>(0x90 + linear / 10);
    out.append(bytes, 4);
}

bool DecodeUnit(bool fromUtf8, std::string_view unit, std::wstring& wide) {
    if (fromUtf8) return ToWide(CP_UTF8, unit, wide);
    if (HaveGb18030()) return ToWide(kGb18030, unit, wide);
    if (unit.size() != 4) return ToWide(kGbk, unit, wide);
    const char32_t cp = FourByteToCodePoint(unit);
    if (cp == 0) return false;
    wide.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
    wide.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    return true;
}

// GB18030 bytes of `wide` without code page 54936; false when a character was lost.
template <typename OnInvalid>
void EncodeGb18030Fallback(std::wstring_view wide, std::string& out, OnInvalid& onInvalid) {
    std::size_t runStart = 0;
    const auto flushRun = [&](std::size_t end) {
        for (std::size_t i = runStart; i < end; ++i) {
            if (!FromWide(kGbk, wide.substr(i, 1), out)) {
                out.pop_back();
                onInvalid(out, std::string_view());
            }
        }
    };
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const wchar_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
            flushRun(i);
            const char32_t cp =
                0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            AppendFourByte(out, cp);
            runStart = ++i + 1;
        }
    }
    flushRun(wide.size());
}

// Same contract as the iconv version: `onInvalid` replaces one bad byte, then we resynchronise.
template <typename OnInvalid>
std::string Convert(const char* to, const char* from, std::string_view in, OnInvalid onInvalid) {
    const bool fromUtf8 = std::string_view(from) == "UTF-8";
    const bool toUtf8 = std::string_view(to) == "UTF-8";
    std::wstring wide;
    std::string out;
    const auto emit = [&] {
        if (toUtf8) {
            FromWide(CP_UTF8, wide, out);
        } else if (HaveGb18030()) {
            FromWide(kGb18030, wide, out);
        } else if (!FromWide(kGbk, wide, out)) {
            // Something GBK lacks: redo this stretch character by character.
            out.clear();
            EncodeGb18030Fallback(wide, out, onInvalid);
        }
        wide.clear();
    };
    // Any four-byte sequence is invalid as a whole in code page 936, so this fast path never
    // misreads one.
    const UINT wholeCp = fromUtf8 ? CP_UTF8 : HaveGb18030() ? kGb18030 : kGbk;
    if (ToWide(wholeCp, in, wide)) {
        emit();
        return out;
    }
    wide.clear();
    while (!in.empty()) {
        const std::size_t n = UnitLength(fromUtf8, in);
        if (DecodeUnit(fromUtf8, in.substr(0, n), wide)) {
            in.remove_prefix(n);
            continue;
        }
        std::string before = std::move(out);
        out.clear();
        emit();
        before += out;
        out = std::move(before);
        onInvalid(out, in.substr(0, 1));
        in.remove_prefix(1);
    }
    std::string before = std::move(out);
    out.clear();
    emit();
    return before + out;
}
#else
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts as much as possible; `onInvalid` decides what replaces an unconvertible byte.
template <typename OnInvalid>
std::string Convert(const char* to, const char* from, std::string_view in, OnInvalid onInvalid) {
    Iconv cd(to, from);
    std::string out;
    if (!cd.Valid()) {
        onInvalid(out, in);
        return out;
    }
    out.reserve(in.size() * 3 / 2 + 16);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        // Taken before the append, which may allocate and leave errno changed: a full buffer
        // read as a bad byte would corrupt one character per block.
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1)) {
            if (error == E2BIG) continue;
            // EILSEQ or EINVAL (truncated tail): replace one byte and resynchronise.
            onInvalid(out, std::string_view(inPtr, 1));
            ++inPtr;
            --inLeft;
            iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd.Get(), nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return out;
}

#endif

}  // namespace

DecodeResult DecodeText(std::string_view bytes, TextEncoding encoding) {
    DecodeResult result;
    if (encoding == TextEncoding::Utf8) {
        if (IsValidUtf8(bytes)) {
            result.text.assign(bytes);
        } else {
            result.text = SanitizeUtf8(bytes);
            result.lossless = false;
        }
        return result;
    }
    result.text = Convert("UTF-8", "GB18030", bytes, [&](std::string& out, std::string_view bad) {
        for (std::size_t i = 0; i < bad.size(); ++i) out.append("\xEF\xBF\xBD");
        result.lossless = false;
    });
    return result;
}

std::string EncodeText(std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) return SanitizeUtf8(text);
    std::string clean = IsValidUtf8(text) ? std::string(text) : SanitizeUtf8(text);
    return Convert("GB18030", "UTF-8", clean, [](std::string& out, std::string_view) {
        out.push_back('?');
    });
}

TextEncoding SystemEncoding() {
#ifdef _WIN32
    return TextEncoding::Gb18030;
#else
    return TextEncoding::Utf8;
#endif
}

const char* SystemLineEnd() {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

}  // namespace tk
