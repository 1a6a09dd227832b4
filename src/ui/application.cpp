#include "ui/application.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <exception>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApp, "tarvokelmora.app", QtWarningMsg)

static void InitArtworkResource() {
#ifdef TK_HAVE_ARTWORK
    Q_INIT_RESOURCE(artwork);
#endif
}

namespace tk {

void InitArtwork() { InitArtworkResource(); }

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
