#pragma once

#include <functional>
#include <string>

#include "webpanel/web_panel.h"

namespace tk {

// The browser of the web strip as the controller drives it. The browser may come late or
// never, end at rest and come back, or crash: while it does not exist, navigations are
// remembered by the controller.
class WebStripPort {
public:
    virtual ~WebStripPort() = default;
    // Makes the browser if it can be made; false when there is none on this desktop.
    virtual bool CreateBrowser() = 0;
    // Lets go of the browser and everything it holds; the banner shows.
    virtual void EndBrowser() = 0;
    virtual void Navigate(const std::string& address) = 0;
    // The page's address, the markup of its body and whether its load succeeded, handed to
    // `done` once known (possibly later); nothing when no page has been loaded.
    virtual void RequestPage(
        std::function<void(const std::string& location, const std::string& body, bool loaded)> done) = 0;
    virtual int StripWidth() const = 0;
    virtual int StripHeight() const = 0;
    virtual void PlaceBrowser(const BrowserPlacement& placement) = 0;
};

}  // namespace tk
