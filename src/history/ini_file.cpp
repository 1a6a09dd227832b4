#include "history/ini_file.h"

#include <limits>

#include "base/text.h"
#include "base/whole_file.h"

namespace tk {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

// A value must stay on its line: line breaks and NULs would let one hostile text add sections
// or keys of its own, so they are written as blanks.
std::string IniFile::SingleLineValue(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    return out;
}

IniFile::IniFile(std::string path, TextEncoding newFileEncoding)
    : m_path(std::move(path)),
      m_newFileEncoding(newFileEncoding),
      m_encoding(newFileEncoding),
      m_eol(SystemLineEnd()) {
    m_sections.push_back(Section{});
}

FileResult IniFile::Load() {
    std::string bytes;
    bool missing = false;
    FileResult r = ReadWholeFile(m_path, bytes, missing, kMaxFileBytes);
    if (!r.ok) bytes.clear();
    m_existed = r.ok && !missing;
    LoadOwned(std::move(bytes));
    return r;
}

void IniFile::LoadFromBytes(std::string_view bytes) { LoadOwned(std::string(bytes)); }

void IniFile::LoadOwned(std::string contents) {
    m_sections.clear();
    m_sections.push_back(Section{});
    m_bom = std::string_view(contents).substr(0, kBom.size()) == kBom;
    if (m_bom) contents.erase(0, kBom.size());
    // The text is kept as read; the sections not used yet are parsed from it later.
    m_source = std::move(contents);
    const std::string_view bytes = m_source;
    if (bytes.empty() && !m_bom) {
        m_encoding = m_newFileEncoding;
    } else {
        // Files written by the Windows program are GBK; text that is (almost all) valid UTF-8
        // is UTF-8: one stray byte must not turn the whole file into the other code page.
        if (IsAscii(bytes) && !m_bom) m_encoding = m_newFileEncoding;
        else if (m_bom || IsValidUtf8(bytes) || MostlyUtf8(bytes)) m_encoding = TextEncoding::Utf8;
        else m_encoding = TextEncoding::Gb18030;
    }
    // The file's own line ending is the one its first line uses.
    std::size_t firstNl = bytes.find('\n');
    if (firstNl != std::string_view::npos) {
        m_eol = (firstNl > 0 && bytes[firstNl - 1] == '\r') ? "\r\n" : "\n";
    }
    // Only the section headers are read now; a section's lines are parsed when the section is
    // first used, so a long history costs nothing before the window is up.
    const std::string_view source = bytes;
    m_sections.back().bodyBegin = 0;
    m_sections.back().parsed = false;
    // A header is a line whose first byte that is not blank is '['. Only the '[' bytes are
    // looked at: one preceded on its line by blanks alone starts a header. A '[' that is the
    // trail byte of a GBK character always follows its lead byte, which is not blank.
    std::size_t pos = 0;
    while (pos < source.size()) {
        const std::size_t bracket = source.find('[', pos);
        if (bracket == std::string_view::npos) break;
        std::size_t lineStart = bracket;
        while (lineStart > 0 && source[lineStart - 1] != '\n' &&
               static_cast<unsigned char>(source[lineStart - 1]) <= 32) {
            --lineStart;
        }
        if (lineStart > 0 && source[lineStart - 1] != '\n') {
            pos = bracket + 1;
            continue;
        }
        std::string_view raw;
        std::string_view eol;
        const std::size_t next = NextLine(source, lineStart, raw, eol);
        m_sections.back().bodyEnd = lineStart;
        ParseHeader(raw, eol);
        m_sections.back().bodyBegin = next;
        m_sections.back().parsed = false;
        pos = next;
    }
    m_sections.back().bodyEnd = source.size();
}

std::size_t IniFile::NextLine(std::string_view source, std::size_t pos, std::string_view& raw,
                              std::string_view& eol) {
    const std::size_t nl = source.find('\n', pos);
    if (nl == std::string_view::npos) {
        raw = source.substr(pos);
        eol = {};
        return source.size();
    }
    raw = source.substr(pos, nl - pos);
    eol = "\n";
    if (!raw.empty() && raw.back() == '\r') {
        raw.remove_suffix(1);
        eol = "\r\n";
    }
    return nl + 1;
}

template <typename F>
void IniFile::ForEachUnparsedLine(const Section& section, F&& each) const {
    const std::string_view body =
        std::string_view(m_source).substr(section.bodyBegin, section.bodyEnd - section.bodyBegin);
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::string_view raw;
        std::string_view eol;
        pos = NextLine(body, pos, raw, eol);
        each(raw, eol);
    }
}

void IniFile::EnsureParsed(Section& section) const {
    if (section.parsed) return;
    section.parsed = true;
    ForEachUnparsedLine(section, [&](std::string_view raw, std::string_view eol) {
        ParseBodyLine(section, raw, eol);
    });
}

void IniFile::ParseHeader(std::string_view raw, std::string_view eol) {
    // Decoded as the file's one encoding: many GBK characters are byte pairs that also read
    // as UTF-8, so a line must never be judged on its own. Bytes are never searched as
    // characters either: a GBK character may hold the byte of '[' or ']'.
    const std::string text = DecodeText(raw, m_encoding).text;
    std::string_view inner = TrimView(text).substr(1);
    const std::size_t close = inner.find(']');
    if (close != std::string_view::npos) inner = inner.substr(0, close);
    Section section;
    section.name = LowerAscii(TrimView(inner));
    section.hasHeader = true;
    section.headerRaw = std::string(raw);
    section.headerEol = std::string(eol);
    m_sections.push_back(std::move(section));
}

void IniFile::SplitLine(std::string_view text, std::string& key, std::string_view& value) {
    key.clear();
    value = {};
    const std::string_view trimmed = TrimView(text);
    if (trimmed.empty() || trimmed.front() == ';') return;
    const std::size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) return;
    key = LowerAscii(TrimView(trimmed.substr(0, eq)));
    value = StripQuotes(TrimView(trimmed.substr(eq + 1)));
}

void IniFile::ParseBodyLine(Section& section, std::string_view raw, std::string_view eol) const {
    const std::string text = DecodeText(raw, m_encoding).text;
    Line line;
    line.raw = std::string(raw);
    line.eol = std::string(eol);
    std::string_view value;
    SplitLine(text, line.key, value);
    line.value = std::string(value);
    if (!line.key.empty()) section.firstKey.emplace(line.key, section.lines.size());
    section.lines.push_back(std::move(line));
}

void IniFile::ForEachKey(std::string_view section, const KeyVisitor& each) const {
    const std::string lowerSection = LowerAscii(TrimView(section));
    for (const Section& s : m_sections) {
        if (!s.hasHeader || s.name != lowerSection) continue;
        if (s.parsed) {
            for (const Line& line : s.lines) {
                if (!line.key.empty()) each(line.key, line.value);
            }
            return;
        }
        std::string key;
        std::string_view value;
        ForEachUnparsedLine(s, [&](std::string_view raw, std::string_view) {
            const std::string text = DecodeText(raw, m_encoding).text;
            SplitLine(text, key, value);
            if (!key.empty()) each(key, value);
        });
        return;
    }
}

std::string IniFile::EncodeLine(std::string_view text) const {
    return EncodeText(text, m_encoding);
}

void IniFile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) {
    const std::string lowerSection = LowerAscii(TrimView(section));
    const std::string lowerKey = LowerAscii(TrimView(key));
    if (lowerKey.empty()) return;
    const std::string clean = SingleLineValue(value);
    Section* s = FindSection(lowerSection);
    if (s == nullptr) {
        Section fresh;
        fresh.name = lowerSection;
        fresh.hasHeader = true;
        fresh.headerRaw = EncodeLine("[" + std::string(TrimView(section)) + "]");
        fresh.headerEol = m_eol;
        m_sections.push_back(std::move(fresh));
        s = &m_sections.back();
    }
    const std::string raw = EncodeLine(std::string(TrimView(key)) + "=" + clean);
    auto it = s->firstKey.find(lowerKey);
    if (it != s->firstKey.end()) {
        Line& line = s->lines[it->second];
        line.raw = raw;
        line.value = std::string(StripQuotes(TrimView(clean)));
        return;
    }
    // New keys go after the section's last non-blank line, before the blanks that part it
    // from the next section.
    std::size_t at = s->lines.size();
    while (at > 0 && TrimView(s->lines[at - 1].raw).empty()) --at;
    Line line;
    line.raw = raw;
    line.eol = m_eol;
    line.key = lowerKey;
    line.value = std::string(StripQuotes(TrimView(clean)));
    // Only blank lines follow `at`, so no recorded key position moves.
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    s->firstKey.emplace(lowerKey, at);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(std::string_view section) {
    const std::string lowerSection = LowerAscii(TrimView(section));
    const std::size_t before = m_sections.size();
    std::erase_if(m_sections,
                  [&](const Section& s) { return s.hasHeader && s.name == lowerSection; });
    if (m_sections.size() != before) CompactSource();
}

// Keeps of the text as read only the sections still to be parsed: the file's largest section
// is read once and erased, and its bytes must not stay behind for the rest of the run.
void IniFile::CompactSource() {
    std::size_t needed = 0;
    for (const Section& s : m_sections) {
        if (!s.parsed) needed += s.bodyEnd - s.bodyBegin;
    }
    std::string kept;
    kept.reserve(needed);
    for (Section& s : m_sections) {
        if (s.parsed) continue;
        const std::size_t begin = kept.size();
        kept.append(m_source, s.bodyBegin, s.bodyEnd - s.bodyBegin);
        s.bodyBegin = begin;
        s.bodyEnd = kept.size();
    }
    m_source.swap(kept);  // a move into it would keep its old capacity when `kept` is short
}

std::string IniFile::Serialize(bool* endsOpen) const {
    std::string out;
    if (m_bom) out.append(kBom);
    bool pendingBreak = false;  // the previous line ended the file without a line ending
    auto emit = [&](const std::string& raw, const std::string& eol) {
        if (pendingBreak) out.append(m_eol);
        out.append(raw);
        out.append(eol);
        pendingBreak = eol.empty();
    };
    for (const auto& s : m_sections) {
        EnsureParsed(const_cast<Section&>(s));
        if (s.hasHeader) emit(s.headerRaw, s.headerEol);
        for (const auto& line : s.lines) emit(line.raw, line.eol);
    }
    if (endsOpen != nullptr) *endsOpen = pendingBreak;
    return out;
}

FileResult IniFile::Flush() const { return WriteFileAtomically(m_path, Serialize()); }

}  // namespace tk
