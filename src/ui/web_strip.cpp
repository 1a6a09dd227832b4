#include "ui/web_strip.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QWindow>
#include <map>
#include <memory>
#include <string>
#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include "webpanel/strip_protocol.h"

#include "ui/install_paths.h"

namespace tk {

QString WebStripHelperPath() {
    return PrivateComponentPath(QStringLiteral("tarvokelmora-webstrip"));
}

namespace {

// How long a helper asked to end may take before it is killed.
constexpr int kEndGraceMs = 3000;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether `window` belongs to process `pid`, as its _NET_WM_PID says. The helper names the
// window to embed; a window of another program must never be taken in.
bool WindowOfProcess(WId window, qint64 pid) {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr) return false;
    xcb_connection_t* connection = x11->connection();
    static const char kName[] = "_NET_WM_PID";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, static_cast<xcb_window_t>(window), atom->atom,
                                                XCB_ATOM_CARDINAL, 0, 1),
                               nullptr),
        &std::free);
    if (!property || property->format != 32 || xcb_get_property_value_length(property.get()) != 4) return false;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(property.get())) ==
           static_cast<std::uint32_t>(pid);
#else
    Q_UNUSED(window);
    Q_UNUSED(pid);
    return false;
#endif
}

// The browser's place on the strip; the helper's window fills it once it has come.
class BrowserPlace final : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (onResize) onResize();
    }
};

class HelperView final : public QObject, public WebStripView {
public:
    HelperView(const QString& helperPath, Diagnostics& diagnostics, QWidget* parent)
        : m_diagnostics(diagnostics) {
        m_place = new BrowserPlace(parent);
        m_place->setObjectName(QStringLiteral("WebBrowser1"));
        m_place->setAccessibleName(QStringLiteral("TarvoKelmora 网页"));
        m_place->onResize = [this] { FitWindow(); };

        m_process = new QProcess(this);
        m_process->setProgram(helperPath);
        m_process->setArguments({QString::number(QCoreApplication::applicationPid())});
        // Its window goes inside ours, so it speaks to the windowing system we speak to, not
        // the one the session offers new programs (a Wayland session's own, where it can).
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
        m_process->setProcessEnvironment(environment);
        // The engine's complaints go where the program's own go.
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(m_process, &QProcess::readyReadStandardOutput, this, [this] { Read(); });
        connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
            m_diagnostics.Info("web strip", "the browser ended (" +
                                                std::string(status == QProcess::CrashExit ? "crash" : "exit") +
                                                " " + std::to_string(code) + ")");
            Gone();
        });
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart) return;
            m_diagnostics.Warning("web strip", "the browser could not be started: " +
                                                   m_process->errorString().toStdString());
            Gone();
        });
        m_process->start(QIODevice::ReadWrite);
    }

    ~HelperView() override {
        if (m_place) {
            // Out of sight first: the helper's window must not linger on the desktop while
            // the helper winds down.
            if (m_container) m_container->hide();
            delete m_place;
        }
        if (m_process->state() == QProcess::NotRunning) return;
        // The helper ends on its own once asked, or at the end of its input; it is killed
        // if it does not.
        QProcess* process = m_process;
        process->disconnect(this);
        process->setParent(nullptr);
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        QTimer::singleShot(kEndGraceMs, process, [process] { process->kill(); });
        process->write(EncodeStripMessage(ToMessage(StripCommand{QuitCommand{}})).c_str());
        process->closeWriteChannel();
    }

    QWidget* Widget() override { return m_place; }

    void Navigate(const QUrl& address) override {
        Send(NavigateCommand{address.toString(QUrl::FullyEncoded).toStdString()});
    }

    void RequestPage(std::function<void(const QString&, const QString&, bool)> done) override {
        if (m_gone) return;
        const std::uint32_t serial = ++m_serial;
        m_pages[serial] = std::move(done);
        Send(PageCommand{serial});
    }

    void SetNavigateComplete(std::function<void()> onComplete) override { m_onComplete = std::move(onComplete); }
    void SetGone(std::function<void()> onGone) override { m_onGone = std::move(onGone); }
    void SetOpenLink(std::function<void(const QString&)> onOpen) override { m_onOpen = std::move(onOpen); }

private:
    void Send(const StripCommand& command) {
        if (m_gone) return;
        m_process->write(EncodeStripMessage(ToMessage(command)).c_str());
    }

    void Read() {
        const QByteArray bytes = m_process->readAllStandardOutput();
        m_decoder.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        while (!m_gone) {
            std::optional<StripMessage> message = m_decoder.Next();
            if (!message) break;
            // Names this program does not know may come from a newer helper: passed over.
            if (std::optional<StripEvent> event = ParseStripEvent(*message)) Handle(*event);
        }
        if (m_decoder.Broken() && !m_gone) {
            m_diagnostics.Warning("web strip", "the browser sent what it should not: ended");
            m_process->kill();
        }
    }

    void Handle(const StripEvent& event) {
        if (const auto* window = std::get_if<WindowEvent>(&event)) {
            Embed(window->windowId);
        } else if (std::holds_alternative<CompleteEvent>(event)) {
            if (m_onComplete) m_onComplete();
        } else if (const auto* page = std::get_if<PageEvent>(&event)) {
            auto found = m_pages.find(page->serial);
            if (found == m_pages.end()) return;
            auto done = std::move(found->second);
            m_pages.erase(found);
            done(FromUtf8(page->address), FromUtf8(page->body), page->ok);
        } else if (const auto* open = std::get_if<OpenEvent>(&event)) {
            if (m_onOpen) m_onOpen(FromUtf8(open->address));
        }
    }

    // A new window from the helper takes the place of the one before.
    void Embed(std::uint64_t windowId) {
        if (!m_place) return;
        if (!WindowOfProcess(static_cast<WId>(windowId), m_process->processId())) {
            m_diagnostics.Warning("web strip", "the browser named a window not its own: ended");
            m_process->kill();
            return;
        }
        delete m_container;
        QWindow* window = QWindow::fromWinId(static_cast<WId>(windowId));
        if (window == nullptr) return;
        m_container = QWidget::createWindowContainer(window, m_place);
        m_container->setObjectName(QStringLiteral("WebBrowserWindow"));
        m_container->setAccessibleName(QStringLiteral("TarvoKelmora 网页"));
        // Native, so that the strip's window, not the main window, holds the helper's and cuts
        // off its overhang.
        m_container->setAttribute(Qt::WA_NativeWindow);
        m_container->setGeometry(m_place->rect());
        m_container->show();
        FitWindow();
    }

    void FitWindow() {
        if (!m_container) return;
        m_container->setGeometry(m_place->rect());
        // Told as well: the window system's word on the size may reach the helper late.
        const qreal ratio = m_place->devicePixelRatioF();
        Send(SizeCommand{qRound(m_place->width() * ratio), qRound(m_place->height() * ratio)});
    }

    void Gone() {
        if (m_gone) return;
        m_gone = true;
        m_pages.clear();
        if (m_container) m_container->hide();
        if (m_onGone) m_onGone();
    }

    Diagnostics& m_diagnostics;
    QPointer<BrowserPlace> m_place;
    QPointer<QWidget> m_container;
    QProcess* m_process = nullptr;
    StripDecoder m_decoder;
    std::uint32_t m_serial = 0;
    std::map<std::uint32_t, std::function<void(const QString&, const QString&, bool)>> m_pages;
    std::function<void()> m_onComplete;
    std::function<void()> m_onGone;
    std::function<void(const QString&)> m_onOpen;
    bool m_gone = false;
};

}  // namespace

WebStripView* HelperWebStripFactory::Create(QWidget* parent) {
    if (!QFileInfo(m_helperPath).isExecutable()) {
        m_diagnostics.Info("web strip unavailable",
                           "no browser helper at " + m_helperPath.toStdString());
        return nullptr;
    }
    return new HelperView(m_helperPath, m_diagnostics, parent);
}

}  // namespace tk
