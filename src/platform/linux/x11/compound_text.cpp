#include "platform/linux/x11/compound_text.h"

#include <cerrno>
#include <cstddef>
#include <iconv.h>

#include "base/codec.h"
#include "base/text.h"

namespace tk {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kCsi = 0x9B;

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendReplacements(std::string& out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out.append(kReplacement);
}

// Converts `in` from `encoding` to UTF-8; each unit of `unit` bytes that does not convert
// becomes one U+FFFD, so one bad character never costs its neighbours.
void AppendIconv(std::string& out, const char* encoding, std::string_view in, std::size_t unit) {
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        AppendReplacements(out, (in.size() + unit - 1) / unit);
        return;
    }
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            std::size_t skip = inLeft < unit ? inLeft : unit;
            out.append(kReplacement);
            inPtr += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
}

enum class SetKind { Ascii, Latin1, JisRoman, Gb2312, Iconv, Unknown };

// What one half of the code table (GL: 0x21-0x7E, GR: 0xA0-0xFF) currently shows.
struct GraphicSet {
    SetKind kind = SetKind::Ascii;
    const char* encoding = nullptr;  // for SetKind::Iconv: the EUC-style encoding to use
    std::string_view prefix;         // put before each character (an EUC single shift)
    std::size_t width = 1;           // bytes per character
};

GraphicSet Plain(SetKind kind, std::size_t width = 1) { return {kind, nullptr, {}, width}; }

GraphicSet Converted(const char* encoding, std::string_view prefix = {}, std::size_t width = 1) {
    return {SetKind::Iconv, encoding, prefix, width};
}

// Decodes a run of bytes that all belong to one graphic set.
void AppendRun(std::string& out, const GraphicSet& set, std::string_view run) {
    switch (set.kind) {
        case SetKind::Ascii:
            for (char c : run) out.push_back(static_cast<char>(c & 0x7F));
            return;
        case SetKind::Latin1:
            for (char c : run) AppendCodePoint(out, 0x80 | (static_cast<unsigned char>(c) & 0x7F));
            return;
        case SetKind::JisRoman:
            for (char c : run) {
                char seven = static_cast<char>(c & 0x7F);
                if (seven == 0x5C) {
                    AppendCodePoint(out, 0x00A5);  // yen sign
                } else if (seven == 0x7E) {
                    AppendCodePoint(out, 0x203E);  // overline
                } else {
                    out.push_back(seven);
                }
            }
            return;
        case SetKind::Unknown:
            AppendReplacements(out, (run.size() + set.width - 1) / set.width);
            return;
        case SetKind::Gb2312:
        case SetKind::Iconv:
            break;
    }
    // Multi-byte and right-half sets: restore the high bits (EUC form), then convert.
    const std::size_t whole = run.size() / set.width * set.width;
    std::string euc;
    euc.reserve(whole / set.width * (set.prefix.size() + set.width));
    for (std::size_t i = 0; i < whole; i += set.width) {
        euc.append(set.prefix);
        for (std::size_t k = 0; k < set.width; ++k) {
            euc.push_back(static_cast<char>(run[i + k] | 0x80));
        }
    }
    if (set.kind == SetKind::Gb2312) {
        out.append(DecodeText(euc, TextEncoding::Gb18030).text);
    } else {
        AppendIconv(out, set.encoding, euc, set.prefix.size() + set.width);
    }
    if (whole < run.size()) out.append(kReplacement);  // half a character at the end
}

GraphicSet Designate94(char final) {
    switch (final) {
        case 'B':
            return Plain(SetKind::Ascii);
        case 'J':
            return Plain(SetKind::JisRoman);
        case 'I':
            return Converted("EUC-JP", "\x8E", 1);  // JIS X 0201 katakana
        default:
            return Plain(SetKind::Unknown);
    }
}

GraphicSet Designate96(char final) {
    switch (final) {
        case 'A':
            return Plain(SetKind::Latin1);
        case 'B':
            return Converted("ISO-8859-2");
        case 'C':
            return Converted("ISO-8859-3");
        case 'D':
            return Converted("ISO-8859-4");
        case 'F':
            return Converted("ISO-8859-7");
        case 'G':
            return Converted("ISO-8859-6");
        case 'H':
            return Converted("ISO-8859-8");
        case 'L':
            return Converted("ISO-8859-5");
        case 'M':
            return Converted("ISO-8859-9");
        case 'T':
            return Converted("TIS-620");
        case 'V':
            return Converted("ISO-8859-10");
        case 'Y':
            return Converted("ISO-8859-13");
        case '_':
            return Converted("ISO-8859-14");
        case 'b':
            return Converted("ISO-8859-15");
        case 'f':
            return Converted("ISO-8859-16");
        default:
            return Plain(SetKind::Unknown);
    }
}

GraphicSet Designate94N(char final) {
    switch (final) {
        case 'A':
            return Plain(SetKind::Gb2312, 2);
        case '@':
        case 'B':
            return Converted("EUC-JP", {}, 2);  // JIS X 0208
        case 'C':
            return Converted("EUC-KR", {}, 2);  // KS C 5601
        case 'D':
            return Converted("EUC-JP", "\x8F", 2);  // JIS X 0212
        case 'G':
            return Converted("EUC-TW", {}, 2);  // CNS 11643 plane 1
        case 'H':
            return Converted("EUC-TW", "\x8E\xA2", 2);
        default:
            return Plain(SetKind::Unknown, 2);
    }
}

// The iconv name for an extended segment's X encoding name; nullptr when we know none.
const char* ExtendedSegmentEncoding(std::string_view name) {
    std::string lower = LowerAscii(name);
    if (lower == "big5-0") return "BIG5";
    if (lower == "gbk-0") return "GBK";
    if (lower == "gb18030-0") return "GB18030";
    if (lower == "koi8-r") return "KOI8-R";
    if (lower == "koi8-u") return "KOI8-U";
    if (lower == "iso10646-1") return "UCS-2BE";
    if (lower == "utf-8") return "UTF-8";
    static constexpr const char* kIso8859[] = {
        nullptr,       "ISO-8859-1",  "ISO-8859-2",  "ISO-8859-3", "ISO-8859-4",  "ISO-8859-5",
        "ISO-8859-6",  "ISO-8859-7",  "ISO-8859-8",  "ISO-8859-9", "ISO-8859-10", nullptr,
        "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16"};
    constexpr std::string_view kIsoPrefix = "iso8859-";
    if (lower.starts_with(kIsoPrefix)) {
        std::string_view number = std::string_view(lower).substr(kIsoPrefix.size());
        int n = 0;
        for (char c : number) {
            if (c < '0' || c > '9' || n > 16) return nullptr;
            n = n * 10 + (c - '0');
        }
        if (!number.empty() && n < 16) return kIso8859[n];
    }
    return nullptr;
}

class Decoder {
public:
    explicit Decoder(std::string_view bytes) : m_in(bytes) {}

    std::string Run() {
        while (m_pos < m_in.size()) {
            const auto c = static_cast<unsigned char>(m_in[m_pos]);
            const bool gl = c >= 0x21 && c <= 0x7E;
            const bool gr = c >= 0xA0;
            if (gl || gr) {
                if (m_runStart != m_pos && m_runIsGr != gr) Flush();
                if (m_runStart == m_pos) m_runIsGr = gr;
                ++m_pos;
                continue;
            }
            Flush();
            if (c == kEsc) {
                Escape();
            } else if (c == kCsi) {
                SkipDirection();
            } else {
                // Space, tab, newline and other C0 controls stay; stray C1 bytes carry no text.
                if (c >= 0x80) {
                    m_out.append(kReplacement);
                } else {
                    m_out.push_back(static_cast<char>(c));
                }
                ++m_pos;
            }
            m_runStart = m_pos;
        }
        Flush();
        return IsValidUtf8(m_out) ? std::move(m_out) : SanitizeUtf8(m_out);
    }

private:
    void Flush() {
        if (m_runStart < m_pos) {
            AppendRun(m_out, m_runIsGr ? m_gr : m_gl, m_in.substr(m_runStart, m_pos - m_runStart));
        }
        m_runStart = m_pos;
    }

    // ESC, intermediates 0x20-0x2F, one final byte 0x30-0x7E.
    void Escape() {
        std::size_t j = m_pos + 1;
        while (j < m_in.size() && m_in[j] >= 0x20 && m_in[j] <= 0x2F) ++j;
        if (j >= m_in.size() || m_in[j] < 0x30 || m_in[j] > 0x7E) {
            m_out.append(kReplacement);
            ++m_pos;
            return;
        }
        const std::string_view inter = m_in.substr(m_pos + 1, j - m_pos - 1);
        const char final = m_in[j];
        m_pos = j + 1;
        if (inter == "(") {
            m_gl = Designate94(final);
        } else if (inter == ")") {
            m_gr = Designate94(final);
        } else if (inter == "-") {
            m_gr = Designate96(final);
        } else if (inter == "$(" ||
                   (inter == "$" && (final == '@' || final == 'A' || final == 'B'))) {
            m_gl = Designate94N(final);
        } else if (inter == "$)") {
            m_gr = Designate94N(final);
        } else if (inter == "%" && final == 'G') {
            Utf8Segment();
        } else if (inter == "%/" && final >= '0' && final <= '4') {
            ExtendedSegment();
        }
        // Any other sequence (direction, stray ESC % @) carries no text.
    }

    // ESC % G ... ESC % @: UTF-8 as it is.
    void Utf8Segment() {
        std::size_t end = m_in.find("\x1B%@", m_pos);
        std::string_view text =
            m_in.substr(m_pos, end == std::string_view::npos ? end : end - m_pos);
        m_out.append(SanitizeUtf8(text));
        m_pos = end == std::string_view::npos ? m_in.size() : end + 3;
    }

    // ESC % / F M L name STX text: a length-prefixed segment in a named encoding.
    void ExtendedSegment() {
        if (m_pos + 2 > m_in.size()) {
            m_out.append(kReplacement);
            m_pos = m_in.size();
            return;
        }
        const std::size_t length = (static_cast<std::size_t>(m_in[m_pos] & 0x7F) << 7) |
                                   static_cast<std::size_t>(m_in[m_pos + 1] & 0x7F);
        const std::string_view segment = m_in.substr(m_pos + 2, length);
        m_pos = m_pos + 2 + segment.size();
        const std::size_t stx = segment.find('\x02');
        const char* encoding = stx == std::string_view::npos
                                   ? nullptr
                                   : ExtendedSegmentEncoding(segment.substr(0, stx));
        if (encoding == nullptr) {
            m_out.append(kReplacement);
            return;
        }
        AppendIconv(m_out, encoding, segment.substr(stx + 1), 1);
    }

    // CSI 1 ] / CSI 2 ] / CSI ]: direction changes, which a title has no use for.
    void SkipDirection() {
        ++m_pos;
        while (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9') ++m_pos;
        if (m_pos < m_in.size() && m_in[m_pos] == ']') ++m_pos;
    }

    std::string_view m_in;
    std::string m_out;
    std::size_t m_pos = 0;
    std::size_t m_runStart = 0;
    bool m_runIsGr = false;
    GraphicSet m_gl = Plain(SetKind::Ascii);
    GraphicSet m_gr = Plain(SetKind::Latin1);
};

}  // namespace

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) AppendCodePoint(out, static_cast<unsigned char>(c));
    return out;
}

std::string DecodeCompoundText(std::string_view bytes) { return Decoder(bytes).Run(); }

}  // namespace tk
