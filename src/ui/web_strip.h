#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

#include "base/diagnostics.h"

namespace tk {

// The embedded browser of the web strip, as the main window needs it. The browser engine is
// heavy and may crash, so it runs in a helper process started after the window's first frame;
// deleting the view lets go of it.
class WebStripView {
public:
    virtual ~WebStripView() = default;
    // The browser's place on the strip, a child of the strip.
    virtual QWidget* Widget() = 0;
    virtual void Navigate(const QUrl& address) = 0;
    // Hands the page's address (empty before anything has been loaded), the markup of its body
    // and whether its load succeeded to `done`, once known.
    virtual void RequestPage(std::function<void(const QString& location, const QString& body, bool loaded)> done) = 0;
    // Called for every completed navigation.
    virtual void SetNavigateComplete(std::function<void()> onComplete) = 0;
    // Called when the browser ended without being asked to (a crash, a broken pipe).
    virtual void SetGone(std::function<void()> onGone) = 0;
    // Called with a link the user clicked on the page, for the user's own browser.
    virtual void SetOpenLink(std::function<void(const QString& address)> onOpen) = 0;
};

class WebStripFactory {
public:
    virtual ~WebStripFactory() = default;
    // A browser view as a child of `parent`; nullptr when none can be made here.
    virtual WebStripView* Create(QWidget* parent) = 0;
};

// The helper executable, beside the program's.
QString WebStripHelperPath();

// Views that run the browser in the helper executable at `helperPath`; how the helper fares
// is reported to `diagnostics`.
class HelperWebStripFactory final : public WebStripFactory {
public:
    explicit HelperWebStripFactory(Diagnostics& diagnostics, QString helperPath = WebStripHelperPath())
        : m_diagnostics(diagnostics), m_helperPath(std::move(helperPath)) {}
    WebStripView* Create(QWidget* parent) override;

private:
    Diagnostics& m_diagnostics;
    QString m_helperPath;
};

}  // namespace tk
