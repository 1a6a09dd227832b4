#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controller/web_strip_controller.h"
#include "controller_fakes.h"
#include "recorded_diagnostics.h"
#include "webpanel/strip_protocol.h"

using namespace tk;

namespace {

std::vector<StripMessage> DecodeAll(StripDecoder& decoder) {
    std::vector<StripMessage> out;
    while (auto message = decoder.Next()) out.push_back(*message);
    return out;
}

}  // namespace

TEST(StripProtocol, EventsSurviveTheLineWhateverTheyCarry) {
    // A body with everything that could split or end a line, in Chinese, and an empty field.
    const std::string body = std::string("<body>\n无法 a%20b\r\t 100%\0end</body>", 36) + "\x7f";
    const std::vector<StripEvent> events = {
        WindowEvent{0x800020}, CompleteEvent{false, ""}, PageEvent{7, true, "http://a.test/x y", body},
        OpenEvent{"https://a.test/?q=%41"}};
    std::string stream;
    for (const StripEvent& event : events) stream += EncodeStripMessage(ToMessage(event));
    EXPECT_EQ(std::count(stream.begin(), stream.end(), '\n'), 4);

    // Read back as the pipe delivers it: a byte at a time.
    StripDecoder decoder;
    std::vector<StripEvent> back;
    for (char c : stream) {
        decoder.Feed(std::string_view(&c, 1));
        while (auto message = decoder.Next()) back.push_back(ParseStripEvent(*message).value());
    }
    ASSERT_EQ(back.size(), events.size());
    EXPECT_EQ(std::get<WindowEvent>(back[0]).windowId, 0x800020u);
    EXPECT_FALSE(std::get<CompleteEvent>(back[1]).ok);
    EXPECT_EQ(std::get<PageEvent>(back[2]).body, body);
    EXPECT_EQ(std::get<PageEvent>(back[2]).address, "http://a.test/x y");
    EXPECT_EQ(std::get<OpenEvent>(back[3]).address, "https://a.test/?q=%41");

    StripDecoder commands;
    commands.Feed(EncodeStripMessage(ToMessage(StripCommand{SizeCommand{493, 55}})) +
                  EncodeStripMessage(ToMessage(StripCommand{QuitCommand{}})));
    const auto parsed = DecodeAll(commands);
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(std::get<SizeCommand>(*ParseStripCommand(parsed[0])).height, 55);
    EXPECT_TRUE(std::holds_alternative<QuitCommand>(*ParseStripCommand(parsed[1])));
}

TEST(StripProtocol, WrongMessagesAreRefused) {
    // Well-formed lines with the wrong count, range or flag: not understood, the stream goes on.
    for (const char* line : {"window 0", "window -1", "window 18446744073709551616", "window 12 3",
                             "complete 2 http://a", "complete 1", "page x 1 a b", "page 1 1 a",
                             "size 10 40000", "size -1 5", "navigate", "hello there"}) {
        StripDecoder decoder;
        decoder.Feed(std::string(line) + "\n");
        auto message = decoder.Next();
        ASSERT_TRUE(message) << line;
        EXPECT_FALSE(ParseStripEvent(*message) || ParseStripCommand(*message)) << line;
        EXPECT_FALSE(decoder.Broken());
    }
    // Broken lines end the stream for good: a bad escape, a bad name, an endless line.
    for (const char* bytes : {"open http%2\n", "open a%zz\n", "Open a\n", " open\n", "\n", "open%20a\n"}) {
        StripDecoder decoder;
        decoder.Feed(std::string(bytes) + "complete 1 a\n");
        EXPECT_FALSE(decoder.Next()) << bytes;
        EXPECT_TRUE(decoder.Broken()) << bytes;
        EXPECT_FALSE(decoder.Next());
    }
    StripDecoder small(16);
    small.Feed(std::string(17, 'a'));
    EXPECT_FALSE(small.Next());
    EXPECT_TRUE(small.Broken());
}

TEST(StripProtocol, OnlyWebAddressesLeaveTheStrip) {
    for (const char* ok : {"http://a.test/", "HTTPS://a.test/x?y=1"}) EXPECT_TRUE(IsOpenableWebAddress(ok)) << ok;
    for (const char* no : {"file:///etc/passwd", "javascript:alert(1)", "http://", "ftp://a.test/",
                           "http://a.test/ x", "http://a.test/\n", "smb://host/share", ""}) {
        EXPECT_FALSE(IsOpenableWebAddress(no)) << no;
    }
}

class WebStripRest : public ::testing::Test {
protected:
    test::FakeTimers timers;
    test::FakeWebPort web;
    test::RecordedDiagnostics diagnostics;
    std::int64_t now = 1'000'000;
    WebStripController strip{"http://site.test", timers, diagnostics, [] { return 90; }, [this] { return now; }};
    void SetUp() override { strip.Attach(&web); }
};

TEST_F(WebStripRest, TheBrowserEndsOutOfSightAndComesBackAtTheCurrentPage) {
    strip.Navigate("http://site.test/kelmora/first/");
    strip.WindowShown(false);  // hidden before the first frame: no browser yet
    strip.CreateBrowser();
    EXPECT_EQ(web.created, 0);
    // The rest comes without a browser too (memory goes back then); there is nothing to end.
    timers["TimerWebRest"].Fire();
    EXPECT_EQ(web.ended, 0);
    EXPECT_EQ(web.created, 0);
    strip.WindowShown(true);
    EXPECT_EQ(web.created, 1);
    EXPECT_EQ(web.navigations, std::vector<std::string>{"http://site.test/kelmora/first/"});

    // Back in sight before the rest is over: nothing ends.
    strip.WindowShown(false);
    EXPECT_TRUE(timers["TimerWebRest"].enabled);
    EXPECT_EQ(timers["TimerWebRest"].interval, 30000u);
    strip.WindowShown(true);
    EXPECT_FALSE(timers["TimerWebRest"].enabled);

    strip.WindowShown(false);
    timers["TimerWebRest"].Fire();
    EXPECT_EQ(web.ended, 1);
    EXPECT_FALSE(strip.HasBrowser());
    // The schedule goes on: the minute's page (the draw picks the next page) is remembered.
    timers["TimerCheckRadom"].Fire();
    EXPECT_EQ(web.navigations.size(), 1u);
    EXPECT_TRUE(strip.Schedule().NextPageShown());
    strip.WindowShown(true);
    EXPECT_EQ(web.created, 2);
    EXPECT_EQ(web.navigations.back(), "http://site.test/kelmora/next/");

    // Without a page asked for since it ended, the browser comes back at the page it was at.
    strip.WindowShown(false);
    timers["TimerWebRest"].Fire();
    strip.WindowShown(true);
    EXPECT_EQ(web.created, 3);
    EXPECT_EQ(web.navigations.back(), "http://site.test/kelmora/next/");
}

TEST_F(WebStripRest, ACrashedBrowserIsStartedAgainAFewTimesAnHour) {
    strip.CreateBrowser();
    strip.Navigate("http://site.test/kelmora/");
    for (int crash = 1; crash <= WebStripController::kRestartsPerHour; ++crash) {
        strip.BrowserGone();
        EXPECT_FALSE(strip.HasBrowser());
        EXPECT_TRUE(timers["TimerWebRestart"].enabled);
        now += 60'000;
        timers["TimerWebRestart"].Fire();
        EXPECT_EQ(web.created, crash + 1);
        EXPECT_EQ(web.navigations.back(), "http://site.test/kelmora/");
    }
    // Once too often: the banner stays, showing the window again does not start one either.
    strip.BrowserGone();
    EXPECT_FALSE(timers["TimerWebRestart"].enabled);
    strip.WindowShown(false);
    strip.WindowShown(true);
    EXPECT_EQ(web.created, WebStripController::kRestartsPerHour + 1);
    // An hour after the first crash the window's next showing starts it.
    now += 3'600'000;
    strip.WindowShown(false);
    strip.WindowShown(true);
    EXPECT_EQ(web.created, WebStripController::kRestartsPerHour + 2);

    // A crash while out of sight waits for the window.
    strip.WindowShown(false);
    strip.BrowserGone();
    EXPECT_FALSE(timers["TimerWebRestart"].enabled);
    strip.WindowShown(true);
    EXPECT_EQ(web.created, WebStripController::kRestartsPerHour + 3);
    // Every crash is told, restarted or not.
    const test::RecordedDiagnostics::Line crashed{Severity::Warning, "web strip", "the browser ended unexpectedly"};
    EXPECT_EQ(diagnostics.Lines(), std::vector(WebStripController::kRestartsPerHour + 2, crashed));
}
