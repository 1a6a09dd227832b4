// The web strip's browser, in a process of its own: the browser engine's memory, its threads
// and its crashes stay out of the program. It talks to the program over its standard input and
// output (see webpanel/strip_protocol.h) and shows the pages in a window the program embeds.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#endif
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineView>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/prctl.h>
#include <utility>
#include <unistd.h>
#include <xcb/xcb.h>

#include "webpanel/strip_protocol.h"
#include "webpanel/web_panel.h"

namespace tk {

namespace {

// Bodies past this are cut: the strip's pages are small, and the line must stay below what the
// program reads.
constexpr qsizetype kMaxBody = 4 << 20;

// A click or a key the user gave the strip: it lets the page open one address in the user's
// browser, soon after. Scripts cannot make these; the window system delivers them.
class UserAction final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        const bool key = event->type() == QEvent::KeyPress &&
                         IsActivationKey(static_cast<QKeyEvent*>(event)->key());
        if (event->spontaneous() && (key || event->type() == QEvent::MouseButtonPress)) {
            m_at.start();
        }
        return false;
    }
    // Whether an action is fresh enough to be this navigation's cause; each is used once.
    bool Take() {
        const bool fresh = m_at.isValid() && m_at.elapsed() < 2000;
        m_at.invalidate();
        return fresh;
    }

private:
    static bool IsActivationKey(int key) {
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }
    QElapsedTimer m_at;
};

// A page asked for in a new window: its first address goes to the user's browser, and the
// page itself goes.
class NewWindowCatcher final : public QWebEnginePage {
public:
    NewWindowCatcher(QWebEngineProfile* profile, QObject* parent, std::function<void(const QUrl&)> open)
        : QWebEnginePage(profile, parent), m_open(std::move(open)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        if (isMainFrame && !m_done) {
            m_done = true;
            m_open(url);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void(const QUrl&)> m_open;
    bool m_done = false;
};

std::string Address(const QUrl& url) { return url.toString(QUrl::FullyEncoded).toStdString(); }

// The page is outside input and the strip obeys the user: links the user follows and windows
// the user's click opens go to the user's browser, one per click; by itself the strip stays on
// the site; the page gets no dialogs and no permissions.
class StripPage final : public QWebEnginePage {
public:
    StripPage(QWebEngineProfile* profile, QObject* parent, UserAction* user,
              std::function<void(const QUrl&)> open)
        : QWebEnginePage(profile, parent), m_user(user), m_open(std::move(open)) {
        QWebEngineSettings* s = settings();
        // Chromium's own gate as well: no window.open without the user's gesture.
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
        s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
        s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        connect(this, &QWebEnginePage::permissionRequested, this,
                [](QWebEnginePermission permission) { permission.deny(); });
#else
        connect(this, &QWebEnginePage::featurePermissionRequested, this,
                [this](const QUrl& origin, Feature feature) {
                    setFeaturePermission(origin, feature, PermissionDeniedByUser);
                });
#endif
        connect(this, &QWebEnginePage::fullScreenRequested, this,
                [](QWebEngineFullScreenRequest request) { request.reject(); });
        connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
                [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
        connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
                [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    }
    // The site as the program last named it.
    void SetSite(const std::string& address) { m_site = address; }
    // Whether a navigation was turned away since the last call: the engine ends it as a
    // failed load, though the page shown has not changed.
    bool TakeRefused() { return std::exchange(m_refused, false); }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame) return true;
        if (type == NavigationTypeLinkClicked && m_user->Take()) {
            m_open(url);
            m_refused = true;
            return false;
        }
        if (StaysOnSite(m_site, Address(url))) return true;
        m_refused = true;
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override {
        if (!m_user->Take()) return nullptr;
        return new NewWindowCatcher(profile(), this, m_open);
    }
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }

private:
    UserAction* m_user;
    std::function<void(const QUrl&)> m_open;
    std::string m_site;
    bool m_refused = false;
};

class StripHelper final : public QObject {
public:
    StripHelper(int in, int out) : m_in(in), m_out(out) {
        m_window = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                            Qt::X11BypassWindowManagerHint);
        auto* layout = new QVBoxLayout(m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        // A private, memory-only profile: the strip keeps no cookies or cache on disk.
        m_profile = new QWebEngineProfile(m_window);
        m_view = new QWebEngineView(m_window);
        m_view->setAccessibleName(QStringLiteral("TarvoKelmora 网页"));
        qApp->installEventFilter(&m_user);
        m_page = new StripPage(m_profile, m_view, &m_user,
                               [this](const QUrl& url) { Send(OpenEvent{Address(url)}); });
        m_view->setPage(m_page);
        m_view->setContextMenuPolicy(Qt::NoContextMenu);
        m_view->page()->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        layout->addWidget(m_view);
        connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
            const bool refused = m_page->TakeRefused();
            // A load the program asked for is always reported; the page's own refused moves
            // leave it as it was.
            if (!ok && refused && !m_asked) return;
            m_asked = false;
            m_loaded = ok;
            Send(CompleteEvent{ok, m_view->url().toString(QUrl::FullyEncoded).toStdString()});
        });

        m_notifier = new QSocketNotifier(m_in, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { Read(); });

        // Far off every screen and past the window manager until the program takes it in.
        m_window->setGeometry(-10000, -10000, 193, 42);
        m_window->installEventFilter(this);
        m_window->show();
        SendWindow();
    }
    ~StripHelper() override { delete m_window; }

protected:
    // The engine's first frame makes Qt create the window again for OpenGL: the program is
    // told of every new one.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::WinIdChange) {
            QMetaObject::invokeMethod(this, [this] { SendWindow(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    // The size alone, straight to the window system: Qt would place the window as well, where
    // it thinks a top-level window is, and the window now lies inside the program's.
    void Resize(int width, int height) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        const WId id = m_window->internalWinId();
        if (x11 == nullptr || id == 0 || width <= 0 || height <= 0) return;
        const std::uint32_t values[] = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
        xcb_configure_window(x11->connection(), static_cast<xcb_window_t>(id),
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(x11->connection());
    }

    void SendWindow() {
        const WId id = m_window->internalWinId();
        if (id == 0 || id == m_sentWindow) return;
        m_sentWindow = id;
        // The program checks the window's owner on the X server at once: the window and its
        // properties, still in this connection's buffer, must be there first. A round trip
        // waits until the server has dealt with every request before it.
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            xcb_connection_t* connection = x11->connection();
            std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        }
        Send(WindowEvent{static_cast<std::uint64_t>(id)});
    }

    void Read() {
        char chunk[65536];
        const ssize_t n = ::read(m_in, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n <= 0) {
            // The program has gone or let go of the strip.
            m_notifier->setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        m_decoder.Feed(std::string_view(chunk, static_cast<std::size_t>(n)));
        while (auto message = m_decoder.Next()) {
            if (auto command = ParseStripCommand(*message)) Handle(*command);
        }
        if (m_decoder.Broken()) QCoreApplication::quit();
    }

    void Handle(const StripCommand& command) {
        if (auto* navigate = std::get_if<NavigateCommand>(&command)) {
            m_page->SetSite(navigate->address);
            m_asked = true;
            m_view->load(QUrl(QString::fromStdString(navigate->address)));
        } else if (auto* page = std::get_if<PageCommand>(&command)) {
            const std::uint32_t serial = page->serial;
            const bool ok = m_loaded;
            const std::string address = m_view->url().toString(QUrl::FullyEncoded).toStdString();
            if (address.empty()) {
                Send(PageEvent{serial, ok, {}, {}});
                return;
            }
            m_view->page()->runJavaScript(
                QStringLiteral("document.body ? document.body.outerHTML : ''"),
                [this, serial, ok, address](const QVariant& result) {
                    Send(PageEvent{serial, ok, address, result.toString().left(kMaxBody).toStdString()});
                });
        } else if (auto* size = std::get_if<SizeCommand>(&command)) {
            Resize(size->width, size->height);
        } else {
            QCoreApplication::quit();
        }
    }

    void Send(const StripEvent& event) {
        const std::string line = EncodeStripMessage(ToMessage(event));
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(m_out, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                QCoreApplication::quit();
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    int m_in;
    int m_out;
    QWidget* m_window = nullptr;
    QWebEngineProfile* m_profile = nullptr;
    QWebEngineView* m_view = nullptr;
    StripPage* m_page = nullptr;
    UserAction m_user;
    QSocketNotifier* m_notifier = nullptr;
    StripDecoder m_decoder;
    bool m_loaded = true;
    bool m_asked = false;  // a load the program asked for has not finished yet
    WId m_sentWindow = 0;
};

// The protocol keeps descriptors of its own, away from the engine's children and from
// anything a library prints on standard output.
bool TakeProtocolDescriptors(int& in, int& out) {
    in = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
    out = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (in < 0 || out < 0) return false;
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, 0);
        ::close(null);
    }
    ::dup2(2, 1);
    return true;
}

}  // namespace

}  // namespace tk

int main(int argc, char** argv) {
    // The helper never outlives the program that started it (its pid is the one argument).
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc < 2 || std::strtol(argv[1], nullptr, 10) != static_cast<long>(::getppid())) return 2;
    std::signal(SIGPIPE, SIG_IGN);
    int in = -1, out = -1;
    if (!tk::TakeProtocolDescriptors(in, out)) return 2;
    // The engine's sandbox cannot start for root and would end the whole process.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarvoKelmora"));
    QApplication::setQuitOnLastWindowClosed(false);
    tk::StripHelper helper(in, out);
    return app.exec();
}
