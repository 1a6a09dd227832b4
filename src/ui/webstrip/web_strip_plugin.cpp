#include <QCoreApplication>
#include <QObject>
#include <QOpenGLContext>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>

#include "ui/web_strip.h"

// QtGui keeps the context all OpenGL users share; the engine needs one and the program only
// loads the engine long after the application was made, when the usual switch is too late.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();

namespace tk {

namespace {

void EnsureSharedContext() {
    if (qt_gl_global_share_context() != nullptr) return;
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    if (context->create()) qt_gl_set_global_share_context(context);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

class EngineView final : public WebStripView {
public:
    explicit EngineView(QWidget* parent) {
        // A private, memory-only profile: the strip keeps no cookies or cache on disk.
        m_profile = new QWebEngineProfile(parent);
        m_view = new QWebEngineView(parent);
        m_view->setObjectName(QStringLiteral("WebBrowser1"));
        m_view->setPage(new QWebEnginePage(m_profile, m_view));
        m_view->setContextMenuPolicy(Qt::NoContextMenu);
        m_view->page()->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        QObject::connect(m_view, &QWebEngineView::loadFinished, m_view, [this](bool ok) {
            m_loaded = ok;
            if (m_onComplete) m_onComplete();
        });
    }
    QWidget* Widget() override { return m_view; }
    void Navigate(const QUrl& address) override { m_view->load(address); }
    QUrl LocationUrl() const override { return m_view->url(); }
    void RequestBodyHtml(std::function<void(const QString&)> done) override {
        m_view->page()->runJavaScript(
            QStringLiteral("document.body ? document.body.outerHTML : ''"),
            [done](const QVariant& result) { done(result.toString()); });
    }
    bool LoadSucceeded() const override { return m_loaded; }
    void SetNavigateComplete(std::function<void()> onComplete) override {
        m_onComplete = std::move(onComplete);
    }

private:
    QWebEngineProfile* m_profile = nullptr;
    QWebEngineView* m_view = nullptr;
    std::function<void()> m_onComplete;
    bool m_loaded = true;
};

}  // namespace

class WebStripPlugin final : public QObject, public WebStripFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TkWebStripFactory_iid)
    Q_INTERFACES(tk::WebStripFactory)
public:
    WebStripView* Create(QWidget* parent) override {
        // The engine's sandbox cannot start for root and would end the whole process.
        if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        EnsureSharedContext();
        return new EngineView(parent);
    }
};

}  // namespace tk

#include "web_strip_plugin.moc"
