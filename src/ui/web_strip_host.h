#pragma once

#include <QPointer>
#include <QWidget>

#include "controller/web_strip_port.h"
#include "ui/web_strip.h"

namespace tk {

class TClickImage;

// PnlWebBrowser: the banner picture, and over it, once made, the browser the controller
// drives. The browser runs in the helper beside the executable unless a factory is given.
class TWebStripHost : public QWidget, public WebStripPort {
    Q_OBJECT
public:
    TWebStripHost(WebStripFactory* factory, Diagnostics& diagnostics, QWidget* parent);
    ~TWebStripHost() override;

    WebStripView* Browser() const { return m_view; }

    // ---- WebStripPort
    bool CreateBrowser() override;
    void EndBrowser() override;
    void Navigate(const std::string& address) override;
    void RequestPage(std::function<void(const std::string&, const std::string&, bool)> done) override;
    int StripWidth() const override { return width(); }
    int StripHeight() const override { return height(); }
    void PlaceBrowser(const BrowserPlacement& placement) override;

signals:
    void BannerClicked();
    void NavigateComplete();
    // The browser ended on its own; the banner shows.
    void BrowserGone();
    void OpenLink(const QString& address);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    WebStripFactory* m_factory;
    HelperWebStripFactory m_helperFactory;
    WebStripView* m_view = nullptr;
    TClickImage* m_banner = nullptr;
};

}  // namespace tk
