#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "base/diagnostics.h"
#include "base/timer.h"
#include "controller/web_strip_port.h"
#include "webpanel/web_panel.h"

namespace tk {

// The web strip's rules: which page loads when, and where the browser goes once a loaded
// page has been checked. The browser comes after the window's first frame, or never; it ends
// when the window has been out of sight for a while and comes back with the window, and a
// browser that crashed is started again a few times an hour at most. Meanwhile the schedule
// goes on: the browser that comes loads the page the schedule is at.
class WebStripController {
public:
    // How long the window stays out of sight before the browser ends.
    static constexpr std::uint32_t kRestMs = 30000;
    // How long after a crash the browser is started again, and how often an hour at most.
    static constexpr std::uint32_t kRestartMs = 3000;
    static constexpr int kRestartsPerHour = 3;

    // `nowMs` is a steady clock in milliseconds (for the restarts an hour).
    WebStripController(std::string site, TimerFactory& timers, Diagnostics& diagnostics,
                       std::function<int()> draw = {}, std::function<std::int64_t()> nowMs = {});

    // The browser's window; none detaches (nothing is sent after that).
    void Attach(WebStripPort* port) {
        m_port = port;
        if (port == nullptr) m_hasBrowser = false;
    }
    // After the first frame: makes the browser, if the window is in sight, and loads what was
    // asked for before it existed.
    void CreateBrowser();
    bool HasBrowser() const { return m_hasBrowser; }
    // Loads a page, or remembers it until the browser exists.
    void Navigate(const std::string& address);
    // A navigation completed: the page is checked a second later (two within a second make
    // one check).
    void NavigateComplete();
    // TimerCheckRadom: the minute's page.
    void TimerCheckRadomTimer();
    void TimerCheckBrowserTimer();
    // The window came into sight or went out of it (hidden, slid out, minimised).
    void WindowShown(bool shown);
    // The browser ended without being asked to.
    void BrowserGone();

    WebPanelSchedule& Schedule() { return m_schedule; }
    Timer& TimerCheckRadom() { return *m_timerCheckRadom; }
    Timer& TimerCheckBrowser() { return *m_timerCheckBrowser; }
    Timer& TimerRest() { return *m_timerRest; }
    Timer& TimerRestart() { return *m_timerRestart; }
    const std::string& PendingPage() const { return m_pendingPage; }

private:
    void CheckBrowserPage();
    void StartBrowser();
    void TimerRestTimer();
    void TimerRestartTimer();
    bool MayRestart();

    WebPanelSchedule m_schedule;
    Diagnostics& m_diagnostics;
    WebStripPort* m_port = nullptr;
    std::function<std::int64_t()> m_nowMs;
    bool m_hasBrowser = false;
    bool m_browserWanted = false;  // the first frame has come
    bool m_windowShown = true;
    std::string m_pendingPage;
    std::string m_currentPage;  // the last page the schedule asked for
    std::deque<std::int64_t> m_crashes;  // within the last hour
    std::unique_ptr<Timer> m_timerCheckRadom;
    std::unique_ptr<Timer> m_timerCheckBrowser;
    std::unique_ptr<Timer> m_timerRest;
    std::unique_ptr<Timer> m_timerRestart;
};

}  // namespace tk
