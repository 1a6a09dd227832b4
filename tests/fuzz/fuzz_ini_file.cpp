// The settings file reader and writer on arbitrary bytes: nothing may crash, an untouched file
// must serialize to its exact bytes, and what we write must read back after a save and a reload.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "history/ini_file.h"
#include "base/text.h"

using tk::IniFile;
using tk::TextEncoding;
using tk::fuzz::Require;

namespace {

constexpr std::size_t kValueBytes = 48;

IniFile Parse(std::string_view bytes, TextEncoding newFileEncoding) {
    IniFile ini("/nonexistent/defualt.ini", newFileEncoding);
    ini.LoadFromBytes(bytes);
    return ini;
}

// What a reader gets back for a value we wrote: the writer keeps a value on its line and the
// reader trims it and drops one pair of enclosing quotes.
std::string ExpectedReadBack(std::string_view value) {
    std::string oneLine(value);
    for (char& c : oneLine) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    std::string_view v = tk::TrimView(oneLine);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

void ReadEverything(const IniFile& ini) {
    // The keys the program reads; every value handed out must be valid UTF-8, whatever the file.
    static constexpr std::string_view kKeys[][2] = {
        {"default", "RunSelectDoc"},
        {"default", "CbRefresh"},
        {"DEFAULT", "ActivePageIndex"},
        {"default", "CheckDocInterval"},
        {"default", "width"},
        {"docs", "path0"},
        {"docs", "NAME0"},
        {"docs", "doctype1"},
        {"display", "display0"},
        {"", ""},
    };
    for (const auto& k : kKeys) {
        if (auto v = ini.Read(k[0], k[1])) Require(tk::IsValidUtf8(*v), "read value is UTF-8");
        const std::int32_t n = ini.ReadInteger(k[0], k[1], -7);
        if (!ini.Read(k[0], k[1])) Require(n == -7, "missing key reads as its default");
        (void)ini.ReadBool(k[0], k[1], true);
        (void)ini.HasSection(k[0]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // An odd size stands for a new file in GBK, the system code page on Windows.
    const TextEncoding newFileEncoding =
        (size % 2 == 0) ? TextEncoding::Utf8 : TextEncoding::Gb18030;

    const IniFile whole = Parse(bytes, newFileEncoding);
    Require(whole.Serialize() == bytes, "an untouched file serializes to its own bytes");
    ReadEverything(whole);

    // Keys read through without keeping the lines are the keys the parsed section holds, first
    // one of a name winning; and the same again once the section is parsed.
    for (const std::string_view section : {"docs", "default"}) {
        const IniFile fresh = Parse(bytes, newFileEncoding);
        std::map<std::string, std::string, std::less<>> firsts;
        std::size_t seen = 0;
        fresh.ForEachKey(section, [&](std::string_view key, std::string_view value) {
            Require(!key.empty() && tk::LowerAscii(key) == key, "keys come lower-cased");
            firsts.emplace(std::string(key), std::string(value));
            ++seen;
        });
        for (const auto& [key, value] : firsts) {
            Require(fresh.Read(section, key) == value, "a key read through reads the same");
        }
        Require(fresh.ReadSection(section).KeyCount() == firsts.size(), "as many keys");
        std::size_t again = 0;
        fresh.ForEachKey(section, [&](std::string_view, std::string_view) { ++again; });
        Require(again == seen, "the parsed section holds as many key lines");
    }

    // The input's tail is the value we write, the rest is the file it goes into: a value need
    // not be in the file's encoding. The number comes from the first bytes.
    const std::size_t valueBytes = size < kValueBytes ? size / 2 : kValueBytes;
    const std::string_view fileBytes = bytes.substr(0, size - valueBytes);
    const std::string value = tk::SanitizeUtf8(bytes.substr(size - valueBytes));
    std::int32_t number = 0;
    std::memcpy(&number, data, size < sizeof number ? size : sizeof number);

    IniFile ini = Parse(fileBytes, newFileEncoding);
    ini.WriteString("docs", "path0", value);
    ini.WriteInteger("Default", "width", number);
    ini.EraseSection("display");
    Require(ini.ReadString("docs", "path0", "?") == ExpectedReadBack(value),
            "written string reads back");
    Require(ini.ReadInteger("default", "WIDTH", 0) == number, "written integer reads back");
    Require(!ini.HasSection("display"), "erased section is gone");

    // The file as saved, loaded again, holds the same values and saves to the same bytes.
    const std::string saved = ini.Serialize();
    const IniFile reloaded = Parse(saved, newFileEncoding);
    Require(reloaded.Serialize() == saved, "a saved file reloads to the same bytes");
    // A file whose every non-ASCII byte happens to form valid UTF-8 reads as UTF-8, whatever it
    // was written in: that guess is the file format's, so only a file read back in the encoding
    // it was written in has to return the value.
    if (reloaded.Encoding() == ini.Encoding()) {
        Require(reloaded.ReadString("docs", "path0", "?") == ExpectedReadBack(value),
                "written string survives a save and a reload");
    }
    Require(reloaded.ReadInteger("default", "width", 0) == number,
            "written integer survives a save and a reload");
    Require(!reloaded.HasSection("display"), "erased section stays gone after a reload");
    ReadEverything(reloaded);
    return 0;
}
