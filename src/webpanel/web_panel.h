#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tk {

// The maker's web site, in front of the strip's page paths.
inline constexpr std::string_view kMakerSite = "http://www.tarvokelmora.com";

// The pages of the web strip, as paths on the maker's site.
inline constexpr std::string_view kFirstPage = "/kelmora/first/";
inline constexpr std::string_view kMainPage = "/kelmora/";
inline constexpr std::string_view kNextPage = "/kelmora/next/";
inline constexpr std::string_view kExitPage = "/kelmora/exit/";
inline constexpr std::string_view kHomePage = "/";

// Which page the strip loads when: the first page at start, then every minute the main page
// or, at most once per run, the next page; at the close request the exit or the next page.
class WebPanelSchedule {
public:
    // `draw` gives an integer in 0..99; the default draws from a generator seeded by the clock.
    explicit WebPanelSchedule(std::string site = std::string(kMakerSite),
                              std::function<int()> draw = {});

    std::string Address(std::string_view path) const { return m_site + std::string(path); }
    std::string FirstPage() const { return Address(kFirstPage); }
    // LoadPanelPage's choice; sets NextPageShown when it picks the next page.
    std::string LoadPanelPage();
    // The close request's page; does not set NextPageShown.
    std::string ClosePage() const;
    std::string HomePage() const { return Address(kHomePage); }
    bool NextPageShown() const { return m_nextPageShown; }
    const std::string& Site() const { return m_site; }

private:
    std::string m_site;
    std::function<int()> m_draw;
    bool m_nextPageShown = false;
};

// Where the browser goes after a page check.
struct BrowserPlacement {
    enum class Kind { Unchanged, OutOfView, OverStrip } kind = Kind::Unchanged;
    int left = 0, top = 0, width = 0, height = 0;
};

// CheckBrowserPage's rule: no address, or a loaded page with no body content, nothing; an error page (a load that did not succeed,
// whatever the engine shows for it, or a body holding a marker), out of view at left -2000;
// otherwise over the whole strip with 4 pixels to spare all round.
BrowserPlacement CheckBrowserPage(std::string_view locationUrl, std::string_view bodyHtml,
                                  bool loaded, int stripWidth, int stripHeight);

// Where the strip may go by itself: an http or https address on the host of `site`. Anything
// else a page asks for leaves the strip only as a link the user clicked.
bool StaysOnSite(std::string_view site, std::string_view address);

}  // namespace tk
