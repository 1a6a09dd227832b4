// The session file parsers on files made here: what counts as open, and bad input of every
// kind ending cleanly.
#include "platform/linux/shell_windows/browser_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "session_files.h"

using tk::BrowserSession;
using tk::ParseChromiumSession;
using tk::ParseFirefoxSession;
using tk::ParseFirefoxSessionJson;
using tk::test::MozLz4;
using tk::test::SnssWriter;
using Urls = std::vector<std::string>;

namespace {

std::string FirefoxTab(const std::string& entries, const std::string& index = "") {
    return R"({"entries":[)" + entries + "]" + (index.empty() ? "" : ",\"index\":" + index) +
           R"(,"hidden":false,"attributes":{}})";
}

std::string Entry(const std::string& url) {
    return R"({"url":")" + url + R"(","title":"t","children":[{"url":"http://frame/"}]})";
}

// ---- Firefox

TEST(FirefoxSession, TheCurrentEntryOfEveryTabOfEveryOpenWindow) {
    const std::string json =
        R"({"version":["sessionrestore",1],"windows":[)"
        R"({"tabs":[)" +
        FirefoxTab(Entry("http://a/1") + "," + Entry("http://a/2") + "," + Entry("http://a/3"),
                   "2") +
        "," + FirefoxTab(Entry("http://b/1") + "," + Entry("http://b/2")) +  // no index: last
        "," + FirefoxTab(Entry("http://c/1"), "9") +                         // past the end: last
        "," + FirefoxTab("") +                                               // nothing to show
        "," + FirefoxTab(R"({"title":"no url"})") + R"(],"_closedTabs":[{"state":)" +
        FirefoxTab(Entry("http://closed/tab"), "1") +
        R"(}],"selected":1},)"
        R"({"isPrivate":true,"tabs":[)" +
        FirefoxTab(Entry("http://private/before"), "1") +
        R"(]},)"
        R"({"tabs":[)" +
        FirefoxTab(Entry("http://private/after"), "1") +
        R"(],"isPrivate":true},)"
        R"({"isPrivate":false,"tabs":[)" +
        FirefoxTab(Entry("https://d/%E4%B8%AD?q=1#x"), "1") +
        R"(]}],)"
        R"("_closedWindows":[{"tabs":[)" +
        FirefoxTab(Entry("http://closed/window"), "1") + R"(]}],"session":{"lastUpdate":1}})";
    const Urls expected{"http://a/2", "http://b/2", "http://c/1", "https://d/%E4%B8%AD?q=1#x"};

    const BrowserSession session = ParseFirefoxSession(MozLz4(json));
    EXPECT_TRUE(session.Ok()) << session.error;
    EXPECT_EQ(session.urls, expected);
    EXPECT_EQ(ParseFirefoxSessionJson(json).urls, expected);
}

TEST(FirefoxSession, BadFilesEndCleanly) {
    const std::string json =
        R"({"windows":[{"tabs":[)" + FirefoxTab(Entry("http://a/"), "1") + "]}]}";
    const std::string good = MozLz4(json);

    const auto fails = [](std::string_view bytes) {
        const BrowserSession session = ParseFirefoxSession(bytes);
        EXPECT_FALSE(session.Ok());
        EXPECT_TRUE(session.urls.empty());
        return session.error;
    };
    fails("");
    fails("mozLz40");
    fails("mozLz41" + good.substr(7));
    fails(good.substr(0, good.size() - 3));  // block cut short
    fails(good + "trailing");
    // A stated size of gigabytes is refused before anything is allocated.
    std::string huge = good;
    huge[8] = '\0';
    huge[9] = '\0';
    huge[10] = '\0';
    huge[11] = '\x40';
    EXPECT_NE(fails(huge).find("refused"), std::string::npos);
    // A stated size too small for the block.
    std::string small = good;
    small[8] = '\x05';
    small[9] = small[10] = small[11] = '\0';
    fails(small);
    fails(MozLz4(""));
    fails(MozLz4("[1,2]"));
    fails(MozLz4("{\"windows\":"));
}

TEST(FirefoxSession, DamagedJsonKeepsTheWindowsBeforeTheDamage) {
    const std::string first = R"({"tabs":[)" + FirefoxTab(Entry("http://first/"), "1") + "]}";
    const std::string json =
        R"({"windows":[)" + first + R"(,{"tabs":[)" + FirefoxTab(Entry("http://second/"), "1");
    for (const std::string& bad : {json, json + "]]]]", json + "\xff\"}"}) {
        const BrowserSession session = ParseFirefoxSessionJson(bad);
        EXPECT_FALSE(session.Ok());
        // The unfinished window is not reported: it might have turned out to be private.
        EXPECT_EQ(session.urls, Urls{"http://first/"});
    }
}

TEST(FirefoxSession, LoneSurrogatesInTitlesDoNotCostTheSession) {
    // Page titles may hold a lone UTF-16 surrogate, which the browser writes escaped.
    const std::string json =
        R"({"windows":[{"tabs":[)"
        R"({"entries":[{"url":"http://a/","title":"x\ud800y"}],"index":1},)"
        R"({"entries":[{"url":"http://b/","title":"\udc00\ud83d\ude00\ud800"}],"index":1},)"
        R"({"entries":[{"url":"http://c/\\ud800","title":"\\\ud800"}],"index":1}]}]})";
    const BrowserSession session = ParseFirefoxSessionJson(json);
    EXPECT_TRUE(session.Ok()) << session.error;
    EXPECT_EQ(session.urls, (Urls{"http://a/", "http://b/", "http://c/\\ud800"}));
}

TEST(FirefoxSession, HostileShapesAndSizes) {
    // Deep nesting anywhere is skipped, not recursed into or kept.
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    std::string json = R"({"windows":[{"tabs":[{"entries":[{"url":"http://a/","x":)" + deep +
                       R"(}],"index":1,"formdata":)" + deep + R"(}]}],"y":)" + deep + "}";
    BrowserSession session = ParseFirefoxSession(MozLz4(json));
    EXPECT_TRUE(session.Ok()) << session.error;
    EXPECT_EQ(session.urls, Urls{"http://a/"});

    // Values of the wrong type are ignored.
    json = R"({"windows":[{"isPrivate":"yes","tabs":[{"entries":[{"url":7}],"index":1},)"
           R"({"entries":[{"url":"http://b/"}],"index":"1"},{"entries":{"url":"http://c/"}}]},)"
           R"(7,"w",null],"windows2":[]})";
    session = ParseFirefoxSessionJson(json);
    EXPECT_TRUE(session.Ok()) << session.error;
    EXPECT_EQ(session.urls, Urls{"http://b/"});

    // Addresses with control characters are no addresses; broken UTF-8 is mended.
    json = R"({"windows":[{"tabs":[{"entries":[{"url":"http://a/\nb"}]},)"
           R"({"entries":[{"url":"http://a/\u0000"}]},{"entries":[{"url":"http://b/\u00e9"}]},)"
           R"({"entries":[{"url":")" +
           std::string(tk::kMaxSessionUrlBytes + 1, 'x') + R"("}]}]}]})";
    session = ParseFirefoxSessionJson(json);
    EXPECT_EQ(session.urls, Urls{"http://b/\xc3\xa9"});
    EXPECT_EQ(tk::CleanSessionUrl("http://a/\xff"), "http://a/\xef\xbf\xbd");

    // Thousands of tabs come through in order; past the cap the file is refused midway.
    std::string many = R"({"windows":[{"tabs":[)";
    for (int i = 0; i < 5000; ++i) {
        if (i > 0) many += ",";
        many += FirefoxTab(Entry("http://h/" + std::to_string(i)), "1");
    }
    session = ParseFirefoxSession(MozLz4(many + "]}]}"));
    ASSERT_EQ(session.urls.size(), 5000u);
    EXPECT_EQ(session.urls[4999], "http://h/4999");
    std::string tooMany = R"({"windows":[{"tabs":[)";
    for (std::size_t i = 0; i <= tk::kMaxSessionTabs; ++i) tooMany += "{},";
    session = ParseFirefoxSessionJson(tooMany + "{}]}]}");
    EXPECT_FALSE(session.Ok());
    EXPECT_TRUE(session.urls.empty());
}

// ---- Chromium

TEST(ChromiumSession, ReplaysTheCommandsToTheOpenTabs) {
    SnssWriter file;
    file.WindowType(1).WindowType(2).WindowType(3);
    file.Tab(2, 20, 1, "http://w2/second");
    file.Tab(2, 21, 0, "http://w2/first");
    file.Tab(1, 10, 0, "http://w1/only");
    // Back and forward: the selected entry counts.
    file.Tab(1, 11, 1, "http://back/0").Navigation(11, 1, "http://back/1");
    file.Navigation(11, 2, "http://back/2").Selected(11, 1);
    // A selection past the entries takes the last one.
    file.Tab(1, 12, 2, "http://past/0").Navigation(12, 1, "http://past/1").Selected(12, 7);
    // A closed tab, a closed window, a tab with no window, a window never given a type.
    file.Tab(1, 13, 3, "http://closed/tab").TabClosed(13);
    file.Tab(3, 30, 0, "http://closed/window").WindowClosed(3);
    file.Navigation(40, 0, "http://no/window");
    file.Tab(4, 41, 0, "http://untyped/window");
    // Entries pruned from the back, from the front and in the middle.
    file.Tab(1, 14, 4, "http://prune/0").Navigation(14, 1, "http://prune/1");
    file.Navigation(14, 2, "http://prune/2").Selected(14, 2).PrunedFromBack(14, 2);
    file.Tab(1, 15, 5, "http://front/0").Navigation(15, 1, "http://front/1");
    file.Navigation(15, 2, "http://front/2").Selected(15, 2).PrunedFromFront(15, 1);
    file.Tab(1, 16, 6, "http://mid/0").Navigation(16, 1, "http://mid/1");
    file.Navigation(16, 2, "http://mid/2").Navigation(16, 3, "http://mid/3").Selected(16, 3);
    file.Pruned(16, 1, 2);
    // An entry replaced in place; the initial-state marker and unknown commands are skipped.
    file.Tab(1, 17, 7, "http://old/").Navigation(17, 0, "http://new/");
    file.Record(255, "").Record(200, "whatever").Record(33, "");

    const BrowserSession session = ParseChromiumSession(file.Bytes());
    EXPECT_TRUE(session.Ok()) << session.error;
    EXPECT_EQ(session.urls, (Urls{"http://w1/only", "http://back/1", "http://past/1",
                                  "http://prune/1", "http://front/2", "http://mid/3", "http://new/",
                                  "http://w2/first", "http://w2/second"}));
    EXPECT_EQ(
        ParseChromiumSession(SnssWriter(1).Tab(1, 1, 0, "http://v1/").WindowType(1).Bytes()).urls,
        Urls{"http://v1/"});
}

TEST(ChromiumSession, ACutOrDamagedFileKeepsWhatCameBefore) {
    SnssWriter file;
    file.WindowType(1).Tab(1, 1, 0, "http://kept/");
    const std::string before = file.Bytes();
    file.Tab(1, 2, 1, "http://late/");
    const std::string full = file.Bytes();

    // Cut anywhere in the second tab's records: still being appended, not an error.
    for (std::size_t cut = before.size(); cut < full.size(); ++cut) {
        const BrowserSession session = ParseChromiumSession(full.substr(0, cut));
        EXPECT_TRUE(session.Ok()) << session.error;
        EXPECT_EQ(session.urls.front(), "http://kept/");
    }
    // A zero-size record is damage.
    BrowserSession session = ParseChromiumSession(before + std::string(2, '\0') + "more");
    EXPECT_FALSE(session.Ok());
    EXPECT_EQ(session.urls, Urls{"http://kept/"});

    // Payloads too short, or lying about their sizes, are skipped one by one.
    SnssWriter odd;
    odd.WindowType(1).Record(0, "ab").Record(7, "").Record(9, "xyz").Record(24, "12345678");
    odd.Record(6, std::string("\xff\xff\xff\x7f", 4) + "tab!idx!");
    std::string lying;
    SnssWriter::Int(lying, 12);
    SnssWriter::Int(lying, 1);
    SnssWriter::Int(lying, 0);
    SnssWriter::Int(lying, 1000);  // a URL longer than the record
    odd.Record(6, lying + "http://x/");
    odd.Tab(1, 1, 0, "http://fine/");
    // Indices at the ends of the range.
    odd.Tab(1, 2, 1, "http://edge/0").Navigation(2, 0x7fffffff, "http://edge/max");
    odd.Selected(2, -0x7fffffff - 1).Pruned(2, 0x7ffffff0, 0x7ffffff0);
    odd.Pruned(2, 0x7fffffff, 0x7fffffff).PrunedFromBack(2, 0x7fffffff);
    session = ParseChromiumSession(odd.Bytes());
    EXPECT_TRUE(session.Ok()) << session.error;
    EXPECT_EQ(session.urls, (Urls{"http://fine/", "http://edge/0"}));

    EXPECT_FALSE(ParseChromiumSession("").Ok());
    EXPECT_FALSE(ParseChromiumSession("SNSS").Ok());
    EXPECT_FALSE(ParseChromiumSession(std::string("SSNS\3\0\0\0", 8)).Ok());
    EXPECT_NE(ParseChromiumSession(SnssWriter(2).Bytes()).error.find("encrypted"),
              std::string::npos);
    EXPECT_FALSE(ParseChromiumSession(SnssWriter(4).Bytes()).Ok());
    EXPECT_FALSE(ParseChromiumSession(SnssWriter(7).Bytes()).Ok());
}

TEST(ChromiumSession, HostileCountsAreBounded) {
    SnssWriter many;
    many.WindowType(1);
    for (int i = 0; i < 5000; ++i) many.Tab(1, i + 1, i, "http://h/" + std::to_string(i));
    BrowserSession session = ParseChromiumSession(many.Bytes());
    ASSERT_EQ(session.urls.size(), 5000u);
    EXPECT_EQ(session.urls[4999], "http://h/4999");

    // More tabs than anyone has: refused midway, what came before is kept.
    SnssWriter tooMany;
    tooMany.WindowType(1).Tab(1, -1, 0, "http://first/");
    for (std::size_t i = 0; i <= tk::kMaxSessionTabs; ++i) {
        tooMany.TabIndex(static_cast<std::int32_t>(i), 0);
    }
    session = ParseChromiumSession(tooMany.Bytes());
    EXPECT_FALSE(session.Ok());
    EXPECT_EQ(session.urls, Urls{"http://first/"});

    // Entries far apart and pruning over and over cost bounded work.
    SnssWriter pruning;
    pruning.WindowType(1).Tab(1, 1, 0, "http://p/");
    for (int i = 1; i < 300; ++i) pruning.Navigation(1, i * 1000, "http://p/" + std::to_string(i));
    for (int i = 0; i < 200000; ++i) pruning.Pruned(1, 1, 1);
    session = ParseChromiumSession(pruning.Bytes());
    EXPECT_FALSE(session.Ok());  // gave up on the pruning, not on the file
    EXPECT_EQ(session.urls.size(), 1u);
    // A stated file past the limit is refused outright.
    EXPECT_FALSE(
        ParseChromiumSession(SnssWriter().Bytes() + std::string(tk::kMaxSessionBytes, '\0')).Ok());
}

}  // namespace
