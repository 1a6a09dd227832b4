// The encoding seam and the UTF-8 helpers on arbitrary bytes. Whatever comes in, what leaves
// the decoder is valid UTF-8, truncation cuts only between characters, and valid text survives
// a trip through GB18030 unchanged. Mixed inputs too: UTF-8 text with a stray byte put in is
// still judged UTF-8 when it holds enough of it, and a settings file made of it is read as
// UTF-8 and written back byte for byte.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "base/codec.h"
#include "base/text.h"
#include "history/ini_file.h"

using tk::TextEncoding;
using tk::fuzz::Require;

namespace {

// Length of the character a valid UTF-8 text has at `i`, from its lead byte alone.
std::size_t CharLength(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    return b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

void CheckTruncate(std::string_view text, std::size_t maxBytes) {
    const std::string_view cut = tk::TruncateUtf8(text, maxBytes);
    Require(cut.data() == text.data() && cut.size() <= text.size(), "truncation is a prefix");
    Require(cut.size() <= maxBytes || text.size() <= maxBytes, "truncation respects the limit");
    if (text.size() <= maxBytes) {
        Require(cut.size() == text.size(), "a short text is not truncated");
        return;
    }
    if (!tk::IsValidUtf8(text)) return;
    Require(tk::IsValidUtf8(cut), "truncation never splits a character");
    // Nothing is dropped that would have fitted.
    Require(cut.size() + CharLength(text, cut.size()) > maxBytes, "truncation keeps all that fits");
}

void CheckRoundTrips(std::string_view text) {
    // `text` is valid UTF-8 here.
    Require(tk::SanitizeUtf8(text) == text, "sanitizing valid text changes nothing");
    const std::string gb = tk::EncodeText(text, TextEncoding::Gb18030);
    const tk::DecodeResult back = tk::DecodeText(gb, TextEncoding::Gb18030);
    Require(back.lossless, "GB18030 output of the encoder decodes without loss");
    Require(back.text == text, "GB18030 encode then decode is the identity");
}

// Bytes of `text` (valid UTF-8) inside multi-byte characters.
std::size_t MultiByteBytes(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += c >= 0x80 ? 1 : 0;
    return n;
}

// One byte that never belongs to valid UTF-8, or a lone continuation byte, put in at a
// character boundary chosen by `seed`.
std::string WithStrayByte(std::string_view text, std::uint8_t seed) {
    std::size_t at = text.empty() ? 0 : seed % (text.size() + 1);
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    const char stray = (seed & 1) != 0 ? '\xFF' : static_cast<char>(0x80 | (seed & 0x3F));
    std::string out(text.substr(0, at));
    out.push_back(stray);
    out.append(text.substr(at));
    return out;
}

void CheckMixed(std::string_view text, std::uint8_t seed) {
    // `text` is valid UTF-8 here.
    Require(tk::MostlyUtf8(text), "valid UTF-8 is mostly UTF-8");
    const std::string mixed = WithStrayByte(text, seed);
    if (MultiByteBytes(text) >= 8) {
        Require(tk::MostlyUtf8(mixed), "one stray byte does not outweigh eight good ones");
    }
    // The same as a settings file: a line the program does not touch keeps its bytes, and
    // the file keeps its encoding.
    std::string line;
    for (char c : mixed) line.push_back(c == '\n' || c == '\r' || c == '[' ? ' ' : c);
    const std::string file = "[default]\nwidth=1\n[other]\nnote=" + line + "\n";
    tk::IniFile ini("/nonexistent/defualt.ini", TextEncoding::Utf8);
    ini.LoadFromBytes(file);
    if (MultiByteBytes(text) >= 8) {
        Require(ini.Encoding() == TextEncoding::Utf8, "a mostly UTF-8 file is read as UTF-8");
    }
    ini.WriteInteger("default", "width", 2);
    const std::string expected = "[default]\nwidth=2\n[other]\nnote=" + line + "\n";
    Require(ini.Serialize() == expected, "an untouched line keeps its bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool valid = tk::IsValidUtf8(bytes);

    const tk::DecodeResult asUtf8 = tk::DecodeText(bytes, TextEncoding::Utf8);
    Require(tk::IsValidUtf8(asUtf8.text), "UTF-8 decoding gives valid UTF-8");
    Require(asUtf8.lossless == valid, "UTF-8 decoding is lossless exactly for valid input");
    if (valid) Require(asUtf8.text == bytes, "valid UTF-8 decodes to itself");

    const tk::DecodeResult asGb = tk::DecodeText(bytes, TextEncoding::Gb18030);
    Require(tk::IsValidUtf8(asGb.text), "GB18030 decoding gives valid UTF-8");
    if (asGb.lossless) {
        // Bytes that were all valid GB18030 come back from the encoder as they were.
        Require(tk::EncodeText(asGb.text, TextEncoding::Gb18030) == bytes,
                "valid GB18030 decodes and encodes back to itself");
    }

    const std::string sanitized = tk::SanitizeUtf8(bytes);
    Require(tk::IsValidUtf8(sanitized), "sanitized text is valid UTF-8");
    Require(sanitized == asUtf8.text, "UTF-8 decoding and sanitizing agree");
    CheckRoundTrips(sanitized);
    CheckRoundTrips(asGb.text);
    const std::uint8_t seed = size > 0 ? data[size - 1] : 0;
    CheckMixed(sanitized, seed);
    CheckMixed(asGb.text, seed);

    // Every limit up to a little past the end, on the raw bytes and on clean text.
    const std::size_t limits[] = {0,
                                  1,
                                  2,
                                  3,
                                  4,
                                  5,
                                  size / 2,
                                  size > 0 ? size - 1 : 0,
                                  size,
                                  size + 1,
                                  data != nullptr && size > 0 ? data[0] : 0u};
    for (std::size_t limit : limits) {
        CheckTruncate(bytes, limit);
        CheckTruncate(sanitized, limit);
    }
    return 0;
}
