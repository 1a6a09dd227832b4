#include "history/codec.h"

#include <cerrno>
#include <iconv.h>

#include "history/text.h"

namespace tk {

namespace {

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
