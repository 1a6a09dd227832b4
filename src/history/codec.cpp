#include "history/codec.h"

#ifdef _WIN32
#include <algorithm>
#include <string>
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#include "history/text.h"

namespace tk {

namespace {

#ifdef _WIN32
// mingw has no iconv: the Win32 code-page calls do the work. GB18030 is code page 54936.
UINT CodePageOf(const char* name) {
    return std::string_view(name) == "UTF-8" ? CP_UTF8 : 54936u;
}

// Length of the character starting at `in[0]`, judged by the encoding's byte structure only.
std::size_t UnitLength(UINT codePage, std::string_view in) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) return 1;
    if (codePage == CP_UTF8) {
        std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return std::min(n, in.size());
    }
    if (in.size() >= 4 && b(1) >= 0x30 && b(1) <= 0x39) return 4;
    return std::min<std::size_t>(2, in.size());
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

std::string FromWide(UINT codePage, std::wstring_view in) {
    if (in.empty()) return {};
    const int size = static_cast<int>(in.size());
    int n = ::WideCharToMultiByte(codePage, 0, in.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, in.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

// Same contract as the iconv version: `onInvalid` replaces one bad byte, then we resynchronise.
template <typename OnInvalid>
std::string Convert(const char* to, const char* from, std::string_view in, OnInvalid onInvalid) {
    const UINT fromCp = CodePageOf(from);
    const UINT toCp = CodePageOf(to);
    std::wstring wide;
    std::string out;
    if (ToWide(fromCp, in, wide)) return FromWide(toCp, wide);
    // Some bytes are invalid: go character by character, flushing good text before each bad byte.
    while (!in.empty()) {
        const std::size_t n = UnitLength(fromCp, in);
        if (ToWide(fromCp, in.substr(0, n), wide)) {
            in.remove_prefix(n);
            continue;
        }
        out += FromWide(toCp, wide);
        wide.clear();
        onInvalid(out, in.substr(0, 1));
        in.remove_prefix(1);
    }
    out += FromWide(toCp, wide);
    return out;
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
        std::size_t rc = iconv(cd.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
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

}  // namespace tk
