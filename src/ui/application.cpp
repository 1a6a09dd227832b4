#include "ui/application.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <csignal>
#include <exception>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

namespace {

// A folder of this user's that no one else can write to, and no link.
bool IsPrivateFolder(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 022) == 0;
}

bool IsAbsolute(const QByteArray& path) { return path.startsWith('/'); }

// Where the lock and the socket live: $XDG_RUNTIME_DIR, else a private folder in the user's
// cache. Never a shared folder such as /tmp, where anyone could take the names first; empty
// when the folder named is not private (FolderProblem says why).
QString RuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (IsAbsolute(runtime) && ::stat(runtime.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return IsPrivateFolder(runtime) ? QString::fromLocal8Bit(runtime) : QString();
    }
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!IsAbsolute(cache)) {
        const QByteArray home = qgetenv("HOME");
        if (!IsAbsolute(home)) return {};
        cache = home + "/.cache";
    }
    const QByteArray folder = cache + "/TarvoKelmora";
    ::mkdir(cache.constData(), 0700);
    ::mkdir(folder.constData(), 0700);
    if (::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) != 0) {
        // Made by an older version with looser rights: ours, so tighten it.
        ::chmod(folder.constData(), 0700);
    }
    return IsPrivateFolder(folder) ? QString::fromLocal8Bit(folder) : QString();
}

// One history, one key, however its path is spelt: links and "./" resolved.
QString CanonicalKey(const QString& key) {
    const QFileInfo file(key);
    const QString canonical = file.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? file.absoluteFilePath() : folder + QLatin1Char('/') + file.fileName();
}

// The lock and the socket of the instance that owns `key`, without their endings.
QString InstanceBase(const QString& key) {
    const QByteArray hash =
        QCryptographicHash::hash(CanonicalKey(key).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return RuntimeFolder() + QStringLiteral("/TarvoKelmora-") + QString::fromLatin1(hash);
}

// Whether some process holds the lock at `lockPath`; taken and let go at once when free.
bool LockHeld(const QString& lockPath) {
    const QByteArray path = QFile::encodeName(lockPath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;  // never made: nobody runs
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace

QString SingleInstance::FolderProblem() {
    if (!IsAbsolute(qgetenv("HOME"))) {
        return QStringLiteral("tarvokelmora: 没有设置 HOME，找不到用户的文件夹。"
                              "HOME is not set: TarvoKelmora cannot find the user's folders.\n");
    }
    if (!RuntimeFolder().isEmpty()) return {};
    QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!IsAbsolute(folder) || ::stat(folder.constData(), &st) != 0) {
        const QByteArray cache = qgetenv("XDG_CACHE_HOME");
        folder = (IsAbsolute(cache) ? cache : qgetenv("HOME") + "/.cache") + "/TarvoKelmora";
    }
    const QString shown = QString::fromLocal8Bit(folder);
    return QStringLiteral("tarvokelmora: 私有文件夹 %1 属于其他用户或别人可以写入，不使用它。"
                          "The private folder %1 belongs to another user or others can write to it; "
                          "TarvoKelmora will not use it.\n")
        .arg(shown);
}

SingleInstance::QuitResult SingleInstance::AskToQuit(const QString& key, int timeoutMs) {
    const QString base = InstanceBase(key);
    const QString lockPath = base + QStringLiteral(".lock");
    if (!LockHeld(lockPath)) return QuitResult::NotRunning;
    QLocalSocket socket;
    socket.connectToServer(base + QStringLiteral(".socket"));
    if (!socket.waitForConnected(2000)) return LockHeld(lockPath) ? QuitResult::NoAnswer : QuitResult::Ended;
    socket.write("quit\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    // The lock goes with the process, after its last save.
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (!LockHeld(lockPath)) return QuitResult::Ended;
        ::usleep(50 * 1000);
    }
    return QuitResult::NoAnswer;
}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QString base = InstanceBase(key);
    const QString lockPath = base + QStringLiteral(".lock");
    const QString socketPath = base + QStringLiteral(".socket");
    // Whoever holds the lock is the one instance; the others hand over to it. The first may
    // still be setting up its socket, or may just have died and freed the lock: keep trying
    // both for a while.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (TryLock(lockPath)) {
            Listen(socketPath);
            return;
        }
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(500)) {
            probe.write("show\n");
            probe.waitForBytesWritten(500);
            probe.disconnectFromServer();
            m_handedOver = true;
            return;
        }
        ::usleep(100 * 1000);
    }
    // Another instance holds the history but does not answer: never run beside it.
    qCWarning(lcApp) << "another instance holds" << lockPath << "and does not answer";
    m_handedOver = true;
}

SingleInstance::~SingleInstance() {
    if (m_lockFd >= 0) ::close(m_lockFd);
}

bool SingleInstance::TryLock(const QString& lockPath) {
    const QByteArray path = QFile::encodeName(lockPath);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

void SingleInstance::Listen(const QString& socketPath) {
    // Holding the lock, anything at the socket's path is left by a crashed instance.
    QLocalServer::removeServer(socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(socketPath)) {
        qCWarning(lcApp) << "single-instance server:" << m_server.errorString();
        return;
    }
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                const QByteArray request = socket->readAll();
                if (request.startsWith("show") && m_onRequest) m_onRequest();
                if (request.startsWith("quit") && m_onQuit) m_onQuit();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

}  // namespace tk
