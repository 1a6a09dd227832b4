#pragma once

#include <functional>
#include <string>

#include <windows.h>
#include <unknwn.h>

#include "base/diagnostics.h"
#include "controller/web_strip_port.h"

namespace tk {

// PnlWebBrowser: the banner Image2 filling the strip, and the browser control over it once one
// can be made. Where none can (no browser engine), the banner stays and nothing else changes.
class Win32WebStrip final : public WebStripPort {
public:
    // linkOpened gets what the user's click asks the page to open elsewhere. A browser control
    // that cannot be made is told to `diagnostics`.
    Win32WebStrip(HWND parent, Diagnostics& diagnostics, std::function<void()> bannerClicked,
                  std::function<void()> navigateComplete,
                  std::function<void(const std::string&)> linkOpened);
    ~Win32WebStrip() override;
    Win32WebStrip(const Win32WebStrip&) = delete;
    Win32WebStrip& operator=(const Win32WebStrip&) = delete;

    HWND Handle() const { return m_window; }
    // The controller's numbers are 96-DPI pixels; the strip scales them to `dpi`.
    void SetDpi(int dpi);

    bool CreateBrowser() override;
    void EndBrowser() override;
    void Navigate(const std::string& address) override;
    void RequestPage(std::function<void(const std::string&, const std::string&, bool)> done) override;
    int StripWidth() const override;
    int StripHeight() const override;
    void PlaceBrowser(const BrowserPlacement& placement) override;

    class Browser;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_window = nullptr;
    Diagnostics& m_diagnostics;
    std::function<void()> m_bannerClicked;
    std::function<void()> m_navigateComplete;
    std::function<void(const std::string&)> m_linkOpened;
    Browser* m_browser = nullptr;
    int m_dpi = 96;
};

// The strip's side of its browser control, made without a control, so that its answers to the
// control's events and questions can be tested where no engine loads pages (Wine): `topFrame`
// stands for the control in the events, `site` for the page the strip itself opened, and `open`
// gets what the user's click opens in the user's browser. Ended with EndStripHostStandIn.
IUnknown* MakeStripHostStandIn(HWND host, IUnknown* topFrame, const std::string& site,
                               std::function<void(const std::string&)> open);
void EndStripHostStandIn(IUnknown* host);

}  // namespace tk
