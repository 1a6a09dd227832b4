#include "ui/application.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <csignal>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApp, "tarvokelmora.app", QtWarningMsg)

static void InitArtworkResource() {
#ifdef TK_HAVE_ARTWORK
    Q_INIT_RESOURCE(artwork);
#endif
}

namespace tk {

void InitArtwork() { InitArtworkResource(); }

void EndProgram() {
    // exit(), not quit(): quit() first sends every window a close request, and the main
    // window would ask its question again.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                              Qt::QueuedConnection);
}

namespace {
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: the event loop does the rest.
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}
}  // namespace

void QuitGracefullyOnTermination() {
    if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        EndProgram();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ApplicationEvents1Exception(e.what());
    } catch (...) {
        ApplicationEvents1Exception("unknown error");
    }
    return false;
}

void TApplication::ApplicationEvents1Exception(const char* what) {
    qCInfo(lcApp) << "discarded:" << what;
}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString name = QStringLiteral("TarvoKelmora-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.write("show\n");
        probe.waitForBytesWritten(500);
        probe.disconnectFromServer();
        m_handedOver = true;
        return;
    }
    // Nobody answers: a socket left by a crashed instance is stale.
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name)) {
        qCInfo(lcApp) << "single-instance server:" << m_server.errorString();
        return;
    }
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("show") && m_onRequest) m_onRequest();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

}  // namespace tk
