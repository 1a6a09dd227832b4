#include "controller/web_strip_controller.h"

#include "base/diagnostics.h"

namespace tk {

WebStripController::WebStripController(std::string site, TimerFactory& timers,
                                       std::function<int()> draw)
    : m_schedule(std::move(site), std::move(draw)) {
    m_timerCheckRadom = timers.MakeTimer("TimerCheckRadom", 60000, false,
                                         [this] { TimerCheckRadomTimer(); });
    m_timerCheckRadom->SetEnabled(true);
    m_timerCheckBrowser = timers.MakeTimer("TimerCheckBrowser", 1000, false,
                                           [this] { TimerCheckBrowserTimer(); });
    m_timerCheckBrowser->SetEnabled(true);
}

void WebStripController::CreateBrowser() {
    if (m_hasBrowser || m_port == nullptr) return;
    try {
        m_hasBrowser = m_port->CreateBrowser();
    } catch (const std::exception& e) {
        ReportInfo("web strip", e.what());
    }
    if (!m_hasBrowser || m_pendingPage.empty()) return;
    m_port->Navigate(m_pendingPage);
    m_pendingPage.clear();
}

void WebStripController::Navigate(const std::string& address) {
    if (!m_hasBrowser || m_port == nullptr) {
        m_pendingPage = address;
        return;
    }
    m_port->Navigate(address);
}

void WebStripController::TimerCheckRadomTimer() { Navigate(m_schedule.LoadPanelPage()); }

void WebStripController::NavigateComplete() {
    // Already on: its countdown goes on.
    m_timerCheckBrowser->SetEnabled(true);
}

void WebStripController::TimerCheckBrowserTimer() {
    m_timerCheckBrowser->SetEnabled(false);
    CheckBrowserPage();
}

void WebStripController::CheckBrowserPage() {
    if (!m_hasBrowser || m_port == nullptr) return;
    m_port->RequestPage([this](const std::string& location, const std::string& body, bool loaded) {
        // The answer may come after the window has gone.
        if (location.empty() || m_port == nullptr) return;
        const BrowserPlacement placement = tk::CheckBrowserPage(
            location, body, loaded, m_port->StripWidth(), m_port->StripHeight());
        if (placement.kind != BrowserPlacement::Kind::Unchanged) m_port->PlaceBrowser(placement);
    });
}

}  // namespace tk
