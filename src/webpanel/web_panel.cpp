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

BrowserPlacement CheckBrowserPage(std::string_view locationUrl, std::string_view bodyHtml,
                                  bool loaded, int stripWidth, int stripHeight) {
    BrowserPlacement placement;
    if (locationUrl.empty()) return placement;
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

}  // namespace tk
