#pragma once

#include <memory>
#include <string>

#include "controller/timer_factory.h"
#include "controller/web_strip_port.h"
#include "webpanel/web_panel.h"

namespace tk {

// The web strip's rules: which page loads when, and where the browser goes once a loaded
// page has been checked. The browser comes after the window's first frame, or never.
class WebStripController {
public:
    WebStripController(std::string site, TimerFactory& timers, std::function<int()> draw = {});

    // The browser's window; none detaches (nothing is sent after that).
    void Attach(WebStripPort* port) {
        m_port = port;
        if (port == nullptr) m_hasBrowser = false;
    }
    // Makes the browser and loads what was asked for before it existed.
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

    WebPanelSchedule& Schedule() { return m_schedule; }
    Timer& TimerCheckRadom() { return *m_timerCheckRadom; }
    Timer& TimerCheckBrowser() { return *m_timerCheckBrowser; }
    const std::string& PendingPage() const { return m_pendingPage; }

private:
    void CheckBrowserPage();

    WebPanelSchedule m_schedule;
    WebStripPort* m_port = nullptr;
    bool m_hasBrowser = false;
    std::string m_pendingPage;
    std::unique_ptr<Timer> m_timerCheckRadom;
    std::unique_ptr<Timer> m_timerCheckBrowser;
};

}  // namespace tk
