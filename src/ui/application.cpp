#include "ui/application.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#ifdef TK_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

Q_LOGGING_CATEGORY(lcApp, "tarvokelmora.app", QtWarningMsg)

static void InitArtworkResource() {
#ifdef TK_HAVE_ARTWORK
    Q_INIT_RESOURCE(artwork);
#endif
}

namespace tk {

void InitArtwork() { InitArtworkResource(); }

std::jthread ReadFontConfigurationAhead() {
#ifdef TK_HAVE_FONTCONFIG
    // Parsing the configuration files is most of what the first font costs. Should Qt ask
    // before this is done, fontconfig reads it again for Qt and keeps one: never wrong.
    return std::jthread([] { FcInit(); });
#else
    return {};
#endif
}

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

namespace {

// A Unix socket's address; none when the path is longer than the address can hold.
std::optional<sockaddr_un> SocketAddress(const QString& socketPath) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof(address.sun_path)) return {};
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return address;
}

// The longest request a later start may make (an entry's text to open, with its word).
constexpr std::size_t kMaxRequest = 8192;

// Says `request` to the instance listening at `socketPath`; false when none answers.
bool SayToInstance(const QString& socketPath, std::string_view request) {
    const std::optional<sockaddr_un> address = SocketAddress(socketPath);
    if (!address || request.size() > kMaxRequest) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool said = ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0;
    for (std::size_t sent = 0; said && sent < request.size();) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        said = n > 0;
        if (said) sent += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return said;
}

}  // namespace

SingleInstance::QuitResult SingleInstance::AskToQuit(const QString& key, int timeoutMs) {
    const QString base = InstanceBase(key);
    const QString lockPath = base + QStringLiteral(".lock");
    if (!LockHeld(lockPath)) return QuitResult::NotRunning;
    if (!SayToInstance(base + QStringLiteral(".socket"), "quit\n")) {
        return LockHeld(lockPath) ? QuitResult::NoAnswer : QuitResult::Ended;
    }
    // The lock goes with the process, after its last save.
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (!LockHeld(lockPath)) return QuitResult::Ended;
        ::usleep(50 * 1000);
    }
    return QuitResult::NoAnswer;
}

SingleInstance::QuitResult SingleInstance::AskToOpen(const QString& key, const std::string& text) {
    const QString base = InstanceBase(key);
    if (!LockHeld(base + QStringLiteral(".lock"))) return QuitResult::NotRunning;
    return SayToInstance(base + QStringLiteral(".socket"), "open " + text) ? QuitResult::Ended
                                                                            : QuitResult::NoAnswer;
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
        if (SayToInstance(socketPath, "show\n")) {
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
    delete m_serverNotifier;
    if (m_serverFd >= 0) ::close(m_serverFd);
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
    const std::optional<sockaddr_un> address = SocketAddress(socketPath);
    if (!address) {
        qCWarning(lcApp) << "single-instance socket: path too long:" << socketPath;
        return;
    }
    // Holding the lock, anything at the socket's path is left by a crashed instance.
    ::unlink(address->sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // Only this user may knock (the folder is private too).
    const mode_t oldMask = ::umask(0077);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&*address),
                                         sizeof(*address)) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 8) != 0) {
        qCWarning(lcApp) << "single-instance socket:" << std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return;
    }
    m_serverFd = fd;
    m_serverNotifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    connect(m_serverNotifier, &QSocketNotifier::activated, this, [this] { Accept(); });
}

namespace {

// One later start's knock: it says what it wants and leaves. One that says nothing, or too
// much, is dropped; the window's thread never waits on it.
class Knock : public QObject {
public:
    Knock(int fd, std::function<void(std::string_view)> heard, QObject* parent)
        : QObject(parent), m_fd(fd), m_heard(std::move(heard)), m_notifier(fd, QSocketNotifier::Read) {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { Read(); });
        QTimer::singleShot(5000, this, [this] { deleteLater(); });
    }
    ~Knock() override {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

private:
    void Read() {
        char chunk[1024];
        const ssize_t got = ::recv(m_fd, chunk, sizeof(chunk), 0);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        if (got > 0 && m_request.size() + static_cast<std::size_t>(got) <= kMaxRequest) {
            m_request.append(chunk, static_cast<std::size_t>(got));
            return;
        }
        m_notifier.setEnabled(false);
        deleteLater();
        // The caller closed its end: the request is whole.
        if (got == 0 && !m_request.empty()) m_heard(m_request);
    }

    int m_fd;
    std::function<void(std::string_view)> m_heard;
    QSocketNotifier m_notifier;
    std::string m_request;
};

}  // namespace

void SingleInstance::Accept() {
    for (;;) {
        const int client = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) return;
        new Knock(client, [this](std::string_view said) {
            if (said.starts_with("show") && m_onRequest) m_onRequest();
            if (said.starts_with("quit") && m_onQuit) m_onQuit();
            if (said.starts_with("open ") && m_onOpen) m_onOpen(std::string(said.substr(5)));
        }, this);
    }
}

}  // namespace tk
