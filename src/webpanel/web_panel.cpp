#include "webpanel/web_panel.h"

#include <array>
#include <chrono>
#include <random>

#include "base/text.h"

namespace tk {

WebPanelSchedule::WebPanelSchedule(std::string site, std::function<int()> draw)
    : m_site(std::move(site)), m_draw(std::move(draw)) {
    while (!m_site.empty() && m_site.back() == '/') m_site.pop_back();
    if (!m_draw) {
        m_draw = [] {
            // Seeded from the clock at every draw, as the schedule always has been.
            std::mt19937 generator(static_cast<std::uint32_t>(
                std::chrono::steady_clock::now().time_since_epoch().count()));
            return static_cast<int>(std::uniform_int_distribution<int>(0, 99)(generator));
        };
    }
}

std::string WebPanelSchedule::LoadPanelPage() {
    const int r = m_draw();
    if (r < 72 || m_nextPageShown) return Address(kMainPage);
    m_nextPageShown = true;
    return Address(kNextPage);
}

std::string WebPanelSchedule::ClosePage() const {
    return Address(m_nextPageShown ? kExitPage : kNextPage);
}

namespace {

// Whether a page's body markup holds nothing: no markup at all, or a body element with only
// blanks inside. The engine gives every parsed document a body, an empty one too.
bool BodyIsEmpty(std::string_view bodyHtml) {
    std::string_view body = TrimView(bodyHtml);
    if (body.empty()) return true;
    if (LowerAscii(body.substr(0, 5)) != "<body" || body.size() < 6) return false;
    const char after = body[5];
    if (after != '>' && after != '/' && static_cast<unsigned char>(after) > ' ') return false;
    // The start tag ends at the first '>' outside its attributes' quotes.
    char quote = 0;
    std::size_t end = 5;
    for (; end < body.size(); ++end) {
        const char c = body[end];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (end >= body.size()) return false;
    std::string_view inside = TrimView(body.substr(end + 1));
    if (inside.size() >= 7 && LowerAscii(inside.substr(inside.size() - 7)) == "</body>") {
        inside = TrimView(inside.substr(0, inside.size() - 7));
    }
    return inside.empty();
}

}  // namespace

BrowserPlacement CheckBrowserPage(std::string_view locationUrl, std::string_view bodyHtml,
                                  bool loaded, int stripWidth, int stripHeight) {
    BrowserPlacement placement;
    if (locationUrl.empty()) return placement;
    // A page that loaded with nothing in it is no page to show: the strip stays as it is.
    if (loaded && BodyIsEmpty(bodyHtml)) return placement;
    static constexpr std::array<std::string_view, 4> kMarkers = {"无法", "取消", "not found",
                                                                 "notfound"};
    const std::string lowered = LowerAscii(bodyHtml);
    for (auto marker : kMarkers) {
        // The engine's own error page speaks the user's language: the load's outcome, not
        // its words, tells it.
        if (!loaded || Contains(lowered, marker)) {
            placement.kind = BrowserPlacement::Kind::OutOfView;
            placement.left = -2000;
            return placement;
        }
    }
    placement.kind = BrowserPlacement::Kind::OverStrip;
    placement.left = -4;
    placement.top = -4;
    placement.width = stripWidth + 8;
    placement.height = stripHeight + 8;
    return placement;
}

namespace {

// The lower-cased host of an http or https address; empty for any other address.
std::string WebHost(std::string_view address) {
    const std::size_t colon = address.find("://");
    if (colon == std::string_view::npos) return {};
    const std::string scheme = LowerAscii(address.substr(0, colon));
    if (scheme != "http" && scheme != "https") return {};
    std::string_view authority = address.substr(colon + 3);
    // Browsers end the authority at a backslash too.
    authority = authority.substr(0, authority.find_first_of("/\\?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    const std::size_t bracket = authority.rfind(']');
    const std::size_t port = authority.rfind(':');
    if (port != std::string_view::npos && (bracket == std::string_view::npos || port > bracket)) {
        authority = authority.substr(0, port);
    }
    return LowerAscii(authority);
}

}  // namespace

bool StaysOnSite(std::string_view site, std::string_view address) {
    const std::string host = WebHost(address);
    return !host.empty() && host == WebHost(site);
}

}  // namespace tk
