#include "ui/web_strip_host.h"

#include "controller/forms.h"

#include <QUrl>

#include "ui/artwork.h"
#include "ui/style.h"
#include "ui/widgets.h"

namespace tk {

TWebStripHost::TWebStripHost(WebStripFactory* factory, Diagnostics& diagnostics, QWidget* parent)
    : QWidget(parent), m_factory(factory), m_helperFactory(diagnostics) {
    setObjectName(QStringLiteral("PnlWebBrowser"));
    setMinimumHeight(20);
    // A window of its own, so that the browser's window, embedded in it, is cut at its edges;
    // made now, so that nothing above it is made again once the browser comes.
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    Paint(this, kBackground);
    m_banner = new TClickImage(this);
    m_banner->setObjectName(QStringLiteral("Image2"));
    m_banner->setAccessibleName(QString::fromUtf8(forms::kBannerName));
    m_banner->setPixmap(Artwork(QStringLiteral("banner.png"), devicePixelRatioF()));
    m_banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_banner->setCursor(Qt::PointingHandCursor);
    m_banner->setGeometry(0, 0, 468, 47);
    connect(m_banner, &TClickImage::Clicked, this, &TWebStripHost::BannerClicked);
}

// The banner takes clicks over the whole strip, beyond its picture too.
void TWebStripHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_banner->setGeometry(rect());
}

TWebStripHost::~TWebStripHost() { EndBrowser(); }

bool TWebStripHost::CreateBrowser() {
    if (m_view != nullptr) return true;
    WebStripFactory* factory = m_factory ? m_factory : &m_helperFactory;
    m_view = factory->Create(this);
    if (m_view == nullptr) return false;
    QWidget* browser = m_view->Widget();
    browser->setObjectName(QStringLiteral("WebBrowser1"));
    // Out of view until a check finds a page worth showing; the banner shows meanwhile.
    browser->setGeometry(336, -2000, 193, 42);
    browser->show();
    m_view->SetNavigateComplete([this] { emit NavigateComplete(); });
    m_view->SetOpenLink([this](const QString& address) { emit OpenLink(address); });
    WebStripView* view = m_view;
    m_view->SetGone([this, view] {
        if (m_view != view) return;
        m_view = nullptr;
        // Not from inside the view's own call.
        QMetaObject::invokeMethod(this, [view] { delete view; }, Qt::QueuedConnection);
        emit BrowserGone();
    });
    return true;
}

void TWebStripHost::EndBrowser() {
    WebStripView* view = m_view;
    m_view = nullptr;
    delete view;
}

void TWebStripHost::Navigate(const std::string& address) {
    if (m_view) m_view->Navigate(QUrl(QString::fromStdString(address)));
}

void TWebStripHost::RequestPage(std::function<void(const std::string&, const std::string&, bool)> done) {
    if (m_view == nullptr) return;
    QPointer<QWidget> browser = m_view->Widget();
    m_view->RequestPage([browser, done = std::move(done)](const QString& location, const QString& body,
                                                          bool loaded) {
        if (!browser || location.isEmpty()) return;
        done(location.toStdString(), body.toStdString(), loaded);
    });
}

void TWebStripHost::PlaceBrowser(const BrowserPlacement& placement) {
    QWidget* browser = m_view ? m_view->Widget() : nullptr;
    if (browser == nullptr) return;
    if (placement.kind == BrowserPlacement::Kind::OutOfView) {
        browser->move(placement.left, browser->y());
    } else if (placement.kind == BrowserPlacement::Kind::OverStrip) {
        browser->setGeometry(placement.left, placement.top, placement.width, placement.height);
        browser->raise();
    }
}

}  // namespace tk
