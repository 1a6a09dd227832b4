// Reading the file's values: sections, keys, numbers and booleans as the classic calls read them.
#include "history/ini_file.h"

#include <limits>

#include "base/text.h"
#include "base/whole_file.h"

namespace tk {

IniFile::Section* IniFile::FindSection(std::string_view lowerName) {
    for (auto& s : m_sections) {
        if (s.hasHeader && s.name == lowerName) {
            EnsureParsed(s);
            return &s;
        }
    }
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(std::string_view lowerName) const {
    return const_cast<IniFile*>(this)->FindSection(lowerName);
}

bool IniFile::HasSection(std::string_view section) const {
    return FindSection(LowerAscii(TrimView(section))) != nullptr;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(LowerAscii(TrimView(section)));
    if (s == nullptr) return std::nullopt;
    auto it = s->firstKey.find(LowerAscii(TrimView(key)));
    if (it == s->firstKey.end()) return std::nullopt;
    return s->lines[it->second].value;
}

IniFile::SectionReader IniFile::ReadSection(std::string_view section) const {
    SectionReader reader;
    reader.m_section = FindSection(LowerAscii(TrimView(section)));
    reader.m_file = this;
    return reader;
}

const std::string* IniFile::SectionReader::Find(const std::string& lowerKey) const {
    const auto* s = static_cast<const Section*>(m_section);
    if (s == nullptr) return nullptr;
    auto it = s->firstKey.find(lowerKey);
    return it == s->firstKey.end() ? nullptr : &s->lines[it->second].value;
}

std::size_t IniFile::SectionReader::KeyCount() const {
    const auto* s = static_cast<const Section*>(m_section);
    return s == nullptr ? 0 : s->firstKey.size();
}

std::int32_t IniFile::SectionReader::Integer(const std::string& lowerKey, std::int32_t def) const {
    const std::string* value = Find(lowerKey);
    return value ? ParseInteger(*value).value_or(def) : def;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    auto v = Read(section, key);
    return v ? *v : std::string(def);
}

std::optional<std::int32_t> IniFile::ParseInteger(std::string_view text) {
    text = TrimView(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal covers the whole 32-bit pattern, as the Windows readers take it.
        auto bits = static_cast<std::uint32_t>(value);
        auto v = static_cast<std::int32_t>(bits);
        return negative ? static_cast<std::int32_t>(0u - bits) : v;
    }
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
    }
    if (value > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t def) const {
    auto v = Read(section, key);
    if (!v) return def;
    return ParseInteger(*v).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

}  // namespace tk
