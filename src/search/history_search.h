#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/path_dialect.h"
#include "history/doc.h"

namespace tk {

// The reading of a Chinese character of GB 2312 in pinyin, without tones (ü as "v", as pinyin
// keyboards take it); empty for any other character.
std::string_view PinyinOf(char32_t c);

// What a query is matched against: the text in lower case, and the text with each Chinese
// character as its full pinyin and as its initial (other characters stand as themselves).
struct SearchKey {
    std::string lower;
    std::string pinyin;
    std::string initials;
};
SearchKey MakeSearchKey(std::string_view text);

// How well a text answers a query, best first.
enum class MatchRank { Exact, Prefix, Substring, Pinyin, None };
// `query` already in lower case (LowerQuery).
MatchRank RankMatch(const SearchKey& key, std::string_view query);
std::string LowerQuery(std::string_view query);
// The same for a text as it stands; copies only a text with Chinese in it.
MatchRank RankText(std::string_view text, std::string_view query);

// The tree a record's kind shows under: 软件, 文件夹 or 网页.
const char* KindWord(int docType);

// The text 全部 shows for a record: the child node it gets under its group, or the group's own
// text when it gets none.
std::string ShownText(const TMyDoc& doc, const PathDialect& dialect);

// The words of a query, in lower case.
std::vector<std::string> QueryTerms(std::string_view query);
// How a text answers a query (lower case) whose words are `terms`: as a whole, or else with
// every word found, ranked as the weakest of them (never above a substring).
MatchRank RankQuery(std::string_view text, std::string_view query, const std::vector<std::string>& terms);

// The records whose shown text answers `query`, best first: exact, prefix, substring, then
// pinyin; newest first among equals. At most `limit`; an empty query answers nothing.
std::vector<int> SearchHistory(const std::vector<TMyDoc>& docs, const PathDialect& dialect,
                               std::string_view query, std::size_t limit);

}  // namespace tk
