#include "search/history_search.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/text.h"
#include "history/category_trees.h"

namespace tk {

namespace {

// The reading held in place, not pointed to: the table then needs no relocation at start and
// stays on disk until a search reads it. The longest reading ("zhuang") has six letters.
struct Reading {
    std::uint32_t code;
    char pinyin[7];
};

constexpr Reading kReadings[] = {
#include "search/pinyin_table.inc"
};

// The next code point of `text` from `at`, moving `at` past it; a stray byte stands for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
        ++at;
        return lead;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++at;
            return lead;
        }
        c = (c << 6) | (next & 0x3F);
    }
    at += static_cast<std::size_t>(length);
    return c;
}


}  // namespace

std::string_view PinyinOf(char32_t c) {
    const auto* end = std::end(kReadings);
    const auto* found = std::lower_bound(std::begin(kReadings), end, c,
                                         [](const Reading& r, char32_t code) { return r.code < code; });
    if (found == end || found->code != c) return {};
    return found->pinyin;
}

std::string LowerQuery(std::string_view query) { return LowerAscii(std::string(Trim(query))); }

SearchKey MakeSearchKey(std::string_view text) {
    SearchKey key;
    key.lower = LowerAscii(std::string(text));
    if (IsAscii(text)) {
        // Nothing to read aloud: the text is its own pinyin.
        key.pinyin = key.initials = key.lower;
        return key;
    }
    for (std::size_t at = 0; at < key.lower.size();) {
        const std::size_t start = at;
        const std::string_view reading = PinyinOf(NextCodePoint(key.lower, at));
        if (reading.empty()) {
            key.pinyin.append(key.lower, start, at - start);
            key.initials.append(key.lower, start, at - start);
        } else {
            key.pinyin += reading;
            key.initials += reading.front();
        }
    }
    return key;
}

MatchRank RankMatch(const SearchKey& key, std::string_view query) {
    if (query.empty()) return MatchRank::None;
    if (key.lower == query) return MatchRank::Exact;
    if (key.lower.starts_with(query)) return MatchRank::Prefix;
    if (key.lower.find(query) != std::string::npos) return MatchRank::Substring;
    if (key.pinyin.find(query) != std::string::npos || key.initials.find(query) != std::string::npos) {
        return MatchRank::Pinyin;
    }
    return MatchRank::None;
}

const char* KindWord(int docType) {
    switch (docType) {
        case kDocTypeProgram: return "软件";
        case kDocTypeFolder: return "文件夹";
        default: return "网页";
    }
}

std::string ShownText(const TMyDoc& doc, const PathDialect& dialect) {
    if (doc.DocType != kDocTypeProgram) {
        std::string child = CategoryTrees::ChildTextOf(doc, dialect);
        if (!child.empty()) return child;
    }
    return Trim(doc.Name).empty() ? doc.Title : doc.Name;
}

namespace {

char LowerByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The rank of an all-ASCII text, without copying it: its pinyin is itself.
MatchRank RankAsciiText(std::string_view text, std::string_view query) {
    const auto same = [](char a, char b) { return LowerByte(a) == b; };
    if (text.size() < query.size()) return MatchRank::None;
    if (std::equal(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(query.size()), query.begin(), same)) {
        return text.size() == query.size() ? MatchRank::Exact : MatchRank::Prefix;
    }
    return std::search(text.begin(), text.end(), query.begin(), query.end(), same) != text.end()
               ? MatchRank::Substring
               : MatchRank::None;
}

}  // namespace

MatchRank RankText(std::string_view text, std::string_view query) {
    if (query.empty()) return MatchRank::None;
    return IsAscii(text) ? RankAsciiText(text, query) : RankMatch(MakeSearchKey(text), query);
}

std::vector<std::string> QueryTerms(std::string_view query) {
    std::vector<std::string> terms;
    std::string term;
    for (char c : LowerQuery(query)) {
        if (c == ' ' || c == '\t') {
            if (!term.empty()) terms.push_back(std::move(term));
            term.clear();
        } else {
            term += c;
        }
    }
    if (!term.empty()) terms.push_back(std::move(term));
    return terms;
}

MatchRank RankQuery(std::string_view text, std::string_view query, const std::vector<std::string>& terms) {
    const MatchRank whole = RankText(text, query);
    if (whole != MatchRank::None || terms.size() < 2) return whole;
    // Words typed apart ("xia zai", "report 2024") each have to be found; the weakest counts.
    MatchRank worst = MatchRank::Substring;
    for (const std::string& term : terms) {
        const MatchRank rank = RankText(text, term);
        if (rank == MatchRank::None) return rank;
        worst = std::max(worst, rank);
    }
    return worst;
}

std::vector<int> SearchHistory(const std::vector<TMyDoc>& docs, const PathDialect& dialect,
                               std::string_view query, std::size_t limit) {
    const std::string lowered = LowerQuery(query);
    if (lowered.empty() || limit == 0) return {};
    const std::vector<std::string> terms = QueryTerms(lowered);
    std::array<std::vector<int>, 4> ranked;
    // Newest first: the records are kept oldest first.
    for (int i = static_cast<int>(docs.size()) - 1; i >= 0; --i) {
        const MatchRank rank = RankQuery(ShownText(docs[static_cast<std::size_t>(i)], dialect), lowered, terms);
        if (rank != MatchRank::None) ranked[static_cast<std::size_t>(rank)].push_back(i);
    }
    std::vector<int> result;
    for (const auto& group : ranked) {
        for (int i : group) {
            if (result.size() == limit) return result;
            result.push_back(i);
        }
    }
    return result;
}

}  // namespace tk
