#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/atomic_file.h"
#include "base/codec.h"

// The settings file, read the way Windows' private-profile calls read it, and written back
// without disturbing what we do not own: every untouched line keeps its exact bytes, its
// encoding and its line ending.
namespace tk {

class IniFile {
public:
    explicit IniFile(std::string path, TextEncoding newFileEncoding = SystemEncoding());

    const std::string& Path() const { return m_path; }
    // Where Flush writes from now on (reading may have come from elsewhere).
    void SetPath(std::string path) { m_path = std::move(path); }

    // Reads the file from disk; a missing file reads as empty. Never throws.
    FileResult Load();
    // The largest file Load takes: past this it is not a history but a mistake.
    static constexpr std::uint64_t kMaxFileBytes = 256ull << 20;
    // Whether the last Load found a file (and read it whole).
    bool Existed() const { return m_existed; }
    void LoadFromBytes(std::string_view bytes);

    // Section and key names compare without regard to ASCII case; the first match wins.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Decimal or "0x" hexadecimal; anything else reads as `def`.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Reads of many keys of one section, without looking the section up each time. Keys must
    // be given in lower case. Valid until the file is next changed.
    class SectionReader {
    public:
        const std::string* Find(const std::string& lowerKey) const;
        std::int32_t Integer(const std::string& lowerKey, std::int32_t def) const;
        // How many different keys the section holds.
        std::size_t KeyCount() const;

    private:
        friend class IniFile;
        const void* m_section = nullptr;
        const IniFile* m_file = nullptr;
    };
    SectionReader ReadSection(std::string_view section) const;

    // Each key of the section (the first of that name), in the file's order, as its lower-cased
    // key and its value; duplicates too. A section not used yet is read through without keeping
    // its lines: a long history is taken in once, not held twice.
    using KeyVisitor = std::function<void(std::string_view lowerKey, std::string_view value)>;
    void ForEachKey(std::string_view section, const KeyVisitor& each) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Removes every section of that name, header and all.
    void EraseSection(std::string_view section);
    bool HasSection(std::string_view section) const;

    // The file as it would be written; `endsOpen`, when given, tells whether its last line has
    // no line ending, so that whatever is appended must start with one.
    std::string Serialize(bool* endsOpen = nullptr) const;
    // Writes the whole file atomically.
    FileResult Flush() const;

    TextEncoding Encoding() const { return m_encoding; }
    const std::string& LineEnding() const { return m_eol; }

    static std::optional<std::int32_t> ParseInteger(std::string_view text);
    // A value as written: line breaks and NULs become blanks, so it cannot start a line.
    static std::string SingleLineValue(std::string_view value);

private:
    // Takes the file's bytes as its own and reads the section headers.
    void LoadOwned(std::string contents);

    struct Line {
        std::string raw;  // bytes as they stand in the file, without the line ending
        std::string eol;  // "\r\n", "\n" or "" for a last line without one
        std::string key;  // lower-cased key, empty when the line holds no key
        std::string value;
    };
    struct Section {
        std::string name;  // lower-cased; empty with no header for the lines before the first
        bool hasHeader = false;
        std::string headerRaw;
        std::string headerEol;
        std::vector<Line> lines;
        std::unordered_map<std::string, std::size_t> firstKey;
        // Lines not parsed yet lie in m_source between these offsets.
        bool parsed = true;
        std::size_t bodyBegin = 0;
        std::size_t bodyEnd = 0;
    };

    static std::size_t NextLine(std::string_view source, std::size_t pos, std::string_view& raw,
                                std::string_view& eol);
    void ParseHeader(std::string_view raw, std::string_view eol);
    void ParseBodyLine(Section& section, std::string_view raw, std::string_view eol) const;
    // A line's key (lower-cased, empty for a line without one) and value, from its decoded text.
    static void SplitLine(std::string_view text, std::string& key, std::string_view& value);
    // Each line of a section not parsed yet, as its bytes and line ending.
    template <typename F>
    void ForEachUnparsedLine(const Section& section, F&& each) const;
    void EnsureParsed(Section& section) const;
    void CompactSource();
    Section* FindSection(std::string_view lowerName);
    const Section* FindSection(std::string_view lowerName) const;
    std::string EncodeLine(std::string_view text) const;

    std::string m_path;
    TextEncoding m_newFileEncoding;
    TextEncoding m_encoding;
    std::string m_eol;
    bool m_bom = false;
    bool m_existed = false;
    std::string m_source;  // the file as read, for the sections still to be parsed
    mutable std::vector<Section> m_sections;  // mutable: parsed on first use
};

}  // namespace tk
