#include "controller/web_strip_controller.h"

#include <chrono>

#include "base/memory.h"

namespace tk {

namespace {

constexpr std::int64_t kHourMs = 3600 * 1000;

}  // namespace

WebStripController::WebStripController(std::string site, TimerFactory& timers, Diagnostics& diagnostics,
                                       std::function<int()> draw, std::function<std::int64_t()> nowMs)
    : m_schedule(std::move(site), std::move(draw)), m_diagnostics(diagnostics), m_nowMs(std::move(nowMs)) {
    if (!m_nowMs) {
        m_nowMs = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
    m_timerCheckRadom = timers.MakeTimer("TimerCheckRadom", 60000, false,
                                         [this] { TimerCheckRadomTimer(); });
    m_timerCheckRadom->SetEnabled(true);
    m_timerCheckBrowser = timers.MakeTimer("TimerCheckBrowser", 1000, false,
                                           [this] { TimerCheckBrowserTimer(); });
    m_timerCheckBrowser->SetEnabled(true);
    m_timerRest = timers.MakeTimer("TimerWebRest", kRestMs, true, [this] { TimerRestTimer(); });
    m_timerRestart = timers.MakeTimer("TimerWebRestart", kRestartMs, true, [this] { TimerRestartTimer(); });
}

void WebStripController::CreateBrowser() {
    m_browserWanted = true;
    if (m_windowShown) StartBrowser();
}

void WebStripController::StartBrowser() {
    if (m_hasBrowser || m_port == nullptr) return;
    try {
        m_hasBrowser = m_port->CreateBrowser();
    } catch (const std::exception& e) {
        m_diagnostics.Info("web strip", e.what());
    }
    if (!m_hasBrowser || m_pendingPage.empty()) return;
    m_port->Navigate(m_pendingPage);
    m_pendingPage.clear();
}

void WebStripController::Navigate(const std::string& address) {
    m_currentPage = address;
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

void WebStripController::WindowShown(bool shown) {
    if (shown == m_windowShown) return;
    m_windowShown = shown;
    if (!shown) {
        m_timerRestart->SetEnabled(false);
        m_timerRest->SetEnabled(true);  // at rest with or without a browser: memory goes back
        return;
    }
    m_timerRest->SetEnabled(false);
    if (m_browserWanted && !m_hasBrowser && MayRestart()) StartBrowser();
}

void WebStripController::TimerRestTimer() {
    m_timerRest->SetEnabled(false);
    if (m_windowShown || m_port == nullptr) return;
    if (m_hasBrowser) {
        // At rest the program holds no browser engine; the page it was at comes back with it.
        m_port->EndBrowser();
        m_hasBrowser = false;
        m_pendingPage = m_currentPage;
    }
    // What the browser's messages, the history's load and the saves left free goes back too,
    // and so do the font pages the hidden window drew with.
    ReleaseFreeMemory();
    ReleaseFontPages();
}

void WebStripController::BrowserGone() {
    if (!m_hasBrowser) return;
    m_hasBrowser = false;
    m_pendingPage = m_currentPage;
    m_crashes.push_back(m_nowMs());
    m_diagnostics.Warning("web strip", "the browser ended unexpectedly");
    if (m_windowShown && MayRestart()) m_timerRestart->SetEnabled(true);
}

void WebStripController::TimerRestartTimer() {
    m_timerRestart->SetEnabled(false);
    if (m_windowShown && MayRestart()) StartBrowser();
}

// A browser that keeps crashing is left alone for the rest of the hour: the banner shows.
bool WebStripController::MayRestart() {
    const std::int64_t now = m_nowMs();
    while (!m_crashes.empty() && now - m_crashes.front() >= kHourMs) m_crashes.pop_front();
    return static_cast<int>(m_crashes.size()) <= kRestartsPerHour;
}

}  // namespace tk
