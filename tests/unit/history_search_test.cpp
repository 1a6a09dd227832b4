// Finding history entries as a Chinese user types: by the text 全部 shows, in any letter case,
// and by the pinyin of its Chinese characters, best matches first and newest first among equals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/path_dialect.h"
#include "history/doc_records.h"
#include "search/history_search.h"

using namespace tk;

namespace {

TEST(HistorySearch, ShownTextsAnswerByCaseByPlaceAndByPinyin) {
    PosixPathDialect dialect("/home/u");
    DocRecords records(dialect, StderrDiagnostics());
    // Oldest first, as they were recorded.
    records.AddDoc("/usr/bin/xterm", "xterm", true, false);                   // 0
    records.AddDoc("file:///home/u/我的文档", "/home/u/我的文档", false, false);  // 1
    records.AddDoc("http://www.a.com/下载/x.html", "page", false, false);       // 2
    records.AddDoc("file:///home/u/下载", "/home/u/下载", false, false);          // 3
    records.AddDoc("/usr/bin/Xterminal", "Xterminal", true, false);           // 4
    records.AddDoc("http://绿.cn/", "green", false, false);                   // 5
    const auto& docs = records.DocHistory();
    ASSERT_EQ(docs.size(), 6u);

    struct Case {
        const char* query;
        std::vector<int> found;
    };
    const Case cases[] = {
        {"XTERM", {0, 4}},         // exact before prefix, whatever the case
        {"xtermi", {4}},           // a prefix of a text in capitals
        {"term", {4, 0}},          // substrings, newest first
        {"wdwd", {1}},             // initials: 我的文档
        {"wodewendang", {1}},      // full pinyin
        {"wendang", {1}},          // part of it
        {"xz", {3, 2}},            // 下载 in a folder and in an address
        {"下载", {3, 2}},
        {"lv", {5}},               // ü typed as v
        {"  xterm  ", {0, 4}},     // blanks around the query are not part of it
        {"xia zai", {3, 2}},       // words typed apart each have to be found
        {"home 文档", {1}},
        {"x 下载", {2, 3}},        // every word as written before a word found by pinyin alone
        {"home zzzz", {}},
        {"", {}},
        {"zzzz", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchHistory(docs, dialect, c.query, 10), c.found) << c.query;
    }
    EXPECT_EQ(SearchHistory(docs, dialect, "xterm", 1), std::vector<int>{0}) << "at most the limit";
    // Ranks of texts in capitals, as a query is lower-cased before it is matched.
    EXPECT_EQ(RankText("XTerm", "xterm"), MatchRank::Exact);
    EXPECT_EQ(RankText("Xterminal", "xterm"), MatchRank::Prefix);
    EXPECT_EQ(RankText("MyXTerm", "xterm"), MatchRank::Substring);
}

TEST(HistorySearch, ReadingsAndKeysOfAwkwardText) {
    EXPECT_EQ(PinyinOf(U'我'), "wo");
    EXPECT_EQ(PinyinOf(U'绿'), "lv");
    EXPECT_EQ(PinyinOf(U'a'), "");
    EXPECT_EQ(PinyinOf(0x10FFFF), "");
    // Stray bytes, a cut character and characters outside GB 2312 stand as themselves.
    const SearchKey key = MakeSearchKey(std::string("A\xff") + "文" + "\xe6\x96" + "😀");
    EXPECT_EQ(key.lower, std::string("a\xff") + "文" + "\xe6\x96" + "😀");
    EXPECT_EQ(key.pinyin, std::string("a\xff") + "wen" + "\xe6\x96" + "😀");
    EXPECT_EQ(key.initials, std::string("a\xff") + "w" + "\xe6\x96" + "😀");
}

}  // namespace
