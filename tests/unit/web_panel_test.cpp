#include <gtest/gtest.h>

#include <vector>

#include "webpanel/strip_navigation.h"
#include "webpanel/web_panel.h"

using tk::BrowserPlacement;
using tk::WebPanelSchedule;

TEST(WebPanel, ScheduleShowsTheNextPageAtMostOnce) {
    std::vector<int> draws = {10, 71, 72, 99, 0, 72, 50};
    std::size_t i = 0;
    WebPanelSchedule schedule("http://test.local:8080/", [&] { return draws[i++]; });
    EXPECT_EQ(schedule.FirstPage(), "http://test.local:8080/kelmora/first/");
    EXPECT_EQ(schedule.ClosePage(), "http://test.local:8080/kelmora/next/");
    EXPECT_EQ(schedule.LoadPanelPage(), "http://test.local:8080/kelmora/");
    EXPECT_EQ(schedule.LoadPanelPage(), "http://test.local:8080/kelmora/");
    EXPECT_FALSE(schedule.NextPageShown());
    EXPECT_EQ(schedule.LoadPanelPage(), "http://test.local:8080/kelmora/next/");
    EXPECT_TRUE(schedule.NextPageShown());
    for (int k = 0; k < 4; ++k) EXPECT_EQ(schedule.LoadPanelPage(), "http://test.local:8080/kelmora/");
    EXPECT_EQ(schedule.ClosePage(), "http://test.local:8080/kelmora/exit/");
    EXPECT_EQ(schedule.HomePage(), "http://test.local:8080/");

    // With the clock-seeded generator about 28 draws in 100 pick the next page.
    int next = 0;
    for (int k = 0; k < 2000; ++k) {
        WebPanelSchedule fresh;
        if (fresh.LoadPanelPage() != fresh.Address(tk::kMainPage)) ++next;
    }
    EXPECT_GT(next, 400);
    EXPECT_LT(next, 750);
}

TEST(WebPanel, PageCheck) {
    EXPECT_EQ(tk::CheckBrowserPage("", "<body>fine</body>", true, 480, 47).kind,
              BrowserPlacement::Kind::Unchanged);
    for (const char* body : {"<BODY>Page NOT Found</BODY>", "<body>NotFound</body>",
                             "<body>无法显示网页</body>", "<body>点击取消</body>"}) {
        BrowserPlacement p = tk::CheckBrowserPage("http://x/", body, true, 480, 47);
        EXPECT_EQ(p.kind, BrowserPlacement::Kind::OutOfView) << body;
        EXPECT_EQ(p.left, -2000);
    }
    // A failed load is an error page whatever its words, in any language.
    for (const char* body : {"<body>This site can't be reached</body>", "<body>新闻</body>", ""}) {
        BrowserPlacement p = tk::CheckBrowserPage("http://x/", body, false, 480, 47);
        EXPECT_EQ(p.kind, BrowserPlacement::Kind::OutOfView) << body;
        EXPECT_EQ(p.left, -2000);
    }
    // A loaded page with nothing in its body changes nothing: the banner stays.
    for (const char* body : {"", " \n", "<body></body>", "<BODY class=\"a>b\" >\n </BODY>", "<body/>"}) {
        EXPECT_EQ(tk::CheckBrowserPage("http://x/", body, true, 480, 47).kind,
                  BrowserPlacement::Kind::Unchanged)
            << body;
    }
    for (const char* body : {"<body> x</body>", "<body><div></div></body>", "<bodyx></bodyx>"}) {
        EXPECT_EQ(tk::CheckBrowserPage("http://x/", body, true, 480, 47).kind,
                  BrowserPlacement::Kind::OverStrip)
            << body;
    }
    BrowserPlacement fit = tk::CheckBrowserPage("http://x/", "<body>新闻</body>", true, 480, 47);
    EXPECT_EQ(fit.kind, BrowserPlacement::Kind::OverStrip);
    EXPECT_EQ(fit.left, -4);
    EXPECT_EQ(fit.top, -4);
    EXPECT_EQ(fit.width, 488);
    EXPECT_EQ(fit.height, 55);
}

TEST(WebPanel, OnlyTheSiteItselfStaysInTheStrip) {
    const char* site = "http://www.tarvokelmora.com";
    struct Case {
        const char* address;
        bool stays;
    } cases[] = {
        {"http://www.tarvokelmora.com/kelmora/", true},
        {"HTTPS://WWW.TarvoKelmora.com:443/x?y#z", true},
        {"http://www.tarvokelmora.com", true},
        {"http://tarvokelmora.com/", false},
        {"http://www.tarvokelmora.com.evil.test/", false},
        {"http://www.tarvokelmora.com@evil.test/", false},
        {"http://evil.test\\@www.tarvokelmora.com/", false},
        {"http://evil.test/?http://www.tarvokelmora.com/", false},
        {"ftp://www.tarvokelmora.com/", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"about:blank", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(tk::StaysOnSite(site, c.address), c.stays) << c.address;
    EXPECT_TRUE(tk::StaysOnSite("http://[::1]:8080", "http://[::1]/page"));
    EXPECT_FALSE(tk::StaysOnSite("not a site", "not a site"));
}

// One strip's life, in order: what each request of the page gets, with the user's clicks as
// the clock saw them.
TEST(WebPanel, StripNavigationGuardLetsOnlyTheUsersClicksLeave) {
    using V = tk::StripNavigationGuard::Verdict;
    const std::string site = "http://www.tarvokelmora.com";
    tk::StripNavigationGuard guard;
    enum Kind { Program, Go, Frame, Window, UserWindow };
    struct Step {
        Kind kind;
        const char* address;
        std::uint32_t lastInput, now;
        V verdict;
    } steps[] = {
        // The user clicked the tray a moment ago while the schedule loads a page: still ours.
        {Program, "http://www.tarvokelmora.com/kelmora", 0, 0, V::Allow},
        {Go, "http://www.tarvokelmora.com/kelmora/", 900, 1000, V::Allow},
        // A script wanders: on the site it may, elsewhere not; its frames are its own.
        {Go, "http://www.tarvokelmora.com/kelmora/next/", 0, 5000, V::Allow},
        {Go, "http://ads.example/", 0, 5000, V::Cancel},
        {Frame, "http://ads.example/frame", 0, 5000, V::Allow},
        {Window, "http://ads.example/pop", 4800, 5000, V::Cancel},  // not the user's own window
        // A click opens its page once in the user's browser, on the site or not.
        {Go, "https://example.org/news", 7000, 7100, V::OpenInBrowser},
        {Go, "https://example.org/news", 7000, 7200, V::Cancel},  // the same click again
        {Go, "http://www.tarvokelmora.com/kelmora/about", 8000, 8100, V::OpenInBrowser},
        // Only web addresses leave the strip.
        {Go, "file:///C:/Windows/system32/calc.exe", 9000, 9100, V::Cancel},
        {UserWindow, "javascript:alert(1)", 9500, 9600, V::Cancel},
        {UserWindow, "http://example.org/win", 10000, 10100, V::OpenInBrowser},
        {UserWindow, "http://example.org/win2", 10000, 10200, V::Cancel},
        // A stale click is no click; the tick counter may have wrapped meanwhile.
        {UserWindow, "http://example.org/late", 10500, 13000, V::Cancel},
        {Go, "http://example.org/wrap", 0xFFFFFF00u, 0x100u, V::OpenInBrowser},
    };
    for (const Step& s : steps) {
        V got = V::Allow;
        switch (s.kind) {
            case Program: guard.ProgramNavigates(s.address); break;
            case Go: got = guard.Navigation(site, s.address, true, s.lastInput, s.now); break;
            case Frame: got = guard.Navigation(site, s.address, false, s.lastInput, s.now); break;
            case Window: got = guard.NewWindow(s.address, false, s.lastInput, s.now); break;
            case UserWindow: got = guard.NewWindow(s.address, true, s.lastInput, s.now); break;
        }
        EXPECT_EQ(got, s.verdict) << s.address << " at " << s.now;
    }
}
