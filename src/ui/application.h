#pragma once

#include <QApplication>
#include <QSocketNotifier>
#include <functional>
#include <string>
#include <thread>

namespace tk {

// Reads the fonts' configuration on a thread of its own while Qt starts, so that the first
// text measured on the window's thread finds it read. Join (or let go out of scope) before
// leaving main.
std::jthread ReadFontConfigurationAhead();

// The application object: whatever escapes an event handler ends there, silently
// (ApplicationEvents1Exception), instead of ending the program.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    void ApplicationEvents1Exception(const char* what);
};

// One program per history file: a second start hands over to the first and leaves, so two
// instances never overwrite each other's history. The first holds an exclusive lock for as
// long as it runs (the system drops it when the process dies, however it dies), and listens
// for later starts on a socket in the user's private runtime folder.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` identifies the history file the instance owns.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;
    // True when another instance runs; it has been asked to bring its window in.
    bool HandedOver() const { return m_handedOver; }
    // Called in the first instance whenever a later start asks for the window.
    void SetOnRequest(std::function<void()> onRequest) { m_onRequest = std::move(onRequest); }
    // Called in the first instance when a later start (--quit) asks it to end.
    void SetOnQuit(std::function<void()> onQuit) { m_onQuit = std::move(onQuit); }
    // Called in the first instance when a later start (--open TEXT) asks it to open an entry.
    void SetOnOpen(std::function<void(const std::string&)> onOpen) { m_onOpen = std::move(onOpen); }

    // Why no instance can be kept apart here (HOME unset, a runtime folder others could
    // write to or another user owns), in Chinese and English; empty when all is well.
    static QString FolderProblem();

    enum class QuitResult { Ended, NotRunning, NoAnswer };
    // Asks the instance that owns `key` to end, and waits up to `timeoutMs` until it has
    // (its history saved). Never becomes the instance itself.
    static QuitResult AskToQuit(const QString& key, int timeoutMs);
    // Asks the instance that owns `key`, if one runs, to open the entry shown as `text`.
    // NotRunning when none runs (the caller opens it itself).
    static QuitResult AskToOpen(const QString& key, const std::string& text);

private:
    bool TryLock(const QString& lockPath);
    void Listen(const QString& socketPath);
    void Accept();
    // The socket later starts knock on; a plain one, so the program needs no network module.
    int m_serverFd = -1;
    QSocketNotifier* m_serverNotifier = nullptr;
    int m_lockFd = -1;
    bool m_handedOver = false;
    std::function<void()> m_onRequest;
    std::function<void()> m_onQuit;
    std::function<void(const std::string&)> m_onOpen;
};

// A termination request (SIGTERM, SIGINT, SIGHUP: the session ending, a service manager
// stopping us) quits the program the normal way, so the history is saved and nothing is lost.
void QuitGracefullyOnTermination();

// Ends the event loop without asking anything again; the main window saves as it goes.
void EndProgram();

// Makes the program's pictures available as resources.
void InitArtwork();

}  // namespace tk
