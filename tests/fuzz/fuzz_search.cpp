// The history's search on arbitrary texts and queries, as the desktop's search and the
// command line hand them in. Whatever the bytes: the keys keep every byte that is no Chinese
// character, a text matches itself exactly, and a whole query's rank agrees with the plain
// lower-case search it stands for.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "base/text.h"
#include "search/history_search.h"

using tk::fuzz::Require;
using tk::MatchRank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view text = input.substr(0, split);
    const std::string_view query = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const tk::SearchKey key = tk::MakeSearchKey(text);
    Require(key.lower.size() == text.size(), "lower case keeps every byte");
    Require(key.initials.size() <= key.lower.size(), "initials are never longer than the text");
    Require(key.pinyin.size() >= key.initials.size(), "full pinyin holds at least the initials");

    const std::string lowered = tk::LowerQuery(text);
    if (!lowered.empty() && lowered == tk::LowerAscii(text)) {
        Require(tk::RankText(text, lowered) == MatchRank::Exact, "a text matches itself exactly");
    }
    const std::string q = tk::LowerQuery(query);
    const MatchRank rank = tk::RankQuery(text, q, tk::QueryTerms(q));
    if (!q.empty() && key.lower.find(q) != std::string::npos) {
        Require(rank <= MatchRank::Substring, "a plain substring is found as one");
    }
    if (q.empty()) Require(rank == MatchRank::None, "an empty query finds nothing");
    return 0;
}
