#pragma once

#include <QUrl>
#include <QWidget>
#include <QtPlugin>
#include <functional>

namespace tk {

// The embedded browser of the web strip, as the main window needs it. The browser engine is
// heavy, so it lives in a module that is loaded only after the window's first frame.
class WebStripView {
public:
    virtual ~WebStripView() = default;
    virtual QWidget* Widget() = 0;
    virtual void Navigate(const QUrl& address) = 0;
    // The address of the page shown; empty before anything has been loaded.
    virtual QUrl LocationUrl() const = 0;
    // Hands the markup of the page's body to `done` (asynchronously); empty when there is none.
    virtual void RequestBodyHtml(std::function<void(const QString&)> done) = 0;
    // Whether the last finished navigation succeeded; true before any.
    virtual bool LoadSucceeded() const = 0;
    // Called for every completed navigation.
    virtual void SetNavigateComplete(std::function<void()> onComplete) = 0;
};

class WebStripFactory {
public:
    virtual ~WebStripFactory() = default;
    // A browser view as a child of `parent`.
    virtual WebStripView* Create(QWidget* parent) = 0;
};

// Loads the browser module that lies beside the executable; nullptr when it cannot be loaded.
WebStripFactory* LoadWebStripModule(QString* error = nullptr);

}  // namespace tk

#define TkWebStripFactory_iid "com.tarvokelmora.WebStripFactory/1"
Q_DECLARE_INTERFACE(tk::WebStripFactory, TkWebStripFactory_iid)
