// The command line, the display decision and the private-folder lookup: everything the
// program decides before it opens a window.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "ui/application.h"
#include "ui/command_line.h"
#include "ui/display_check.h"
#include "ui/install_paths.h"

using namespace tk;
using Action = CommandLine::Action;

namespace {

CommandLine Parse(QStringList args, const QString& cwd = QStringLiteral("/home/u")) {
    args.prepend(QStringLiteral("/usr/bin/tarvokelmora"));
    return ParseCommandLine(args, cwd);
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void HelpAndVersionPrintWhatTheyAreAskedFor() {
        const CommandLine help = Parse({QStringLiteral("--help")});
        QCOMPARE(help.action, Action::Help);
        for (const char* option : {"--history <FILE>", "--show", "--quit", "--version"}) {
            QVERIFY2(help.output.contains(QLatin1String(option)), option);
        }
        // The usage line names the program, not the path it was started from.
        QVERIFY(help.output.contains(QStringLiteral("Usage: tarvokelmora ")));
        QVERIFY(!help.output.contains(QStringLiteral("/usr/bin")));
        QCOMPARE(Parse({QStringLiteral("-h")}).action, Action::Help);

        const CommandLine version = Parse({QStringLiteral("-v")});
        QCOMPARE(version.action, Action::Version);
        QCOMPARE(version.output, QStringLiteral("TarvoKelmora ") + ProgramVersion() + QLatin1Char('\n'));
        QVERIFY(!ProgramVersion().isEmpty() && ProgramVersion() != QStringLiteral("0"));
    }

    void MistakesAreUsageErrorsThatSayWhatWasWrong() {
        struct Case {
            QStringList args;
            const char* mentions;
        };
        const Case cases[] = {
            {{QStringLiteral("--bogus")}, "bogus"},
            {{QStringLiteral("-x")}, "x"},
            {{QStringLiteral("notes.txt")}, "notes.txt"},
            {{QStringLiteral("--history")}, "history"},
            {{QStringLiteral("--history="), QStringLiteral("--show")}, "--history"},
            {{QStringLiteral("--show"), QStringLiteral("--quit")}, "--quit"},
            {{QStringLiteral("--history=a.ini"), QStringLiteral("--history=b.ini")}, "--history"},
            {{QStringLiteral("--history"), QStringLiteral("/tmp")}, "/tmp"},
            {{QStringLiteral("--history"), QStringLiteral("sub/")}, "sub/"},
            // A Qt option's name with a value glued on is not Qt's.
            {{QStringLiteral("-reverse=1")}, "reverse"},
        };
        for (const Case& c : cases) {
            const CommandLine parsed = Parse(c.args);
            QVERIFY2(parsed.action == Action::Error, qPrintable(c.args.join(QLatin1Char(' '))));
            QVERIFY2(parsed.output.contains(QLatin1String(c.mentions)), qPrintable(parsed.output));
            QVERIFY(parsed.output.endsWith(QLatin1Char('\n')));
        }
        QCOMPARE(kUsageError, 2);
    }

    void QtsOwnOptionsAreLeftForTheApplicationObject() {
        QCOMPARE(Parse({QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--show")}).action,
                 Action::Show);
        // The value after -display is its own, even when it looks like one of ours.
        QCOMPARE(Parse({QStringLiteral("-display"), QStringLiteral("--quit")}).action, Action::Run);
        QCOMPARE(Parse({QStringLiteral("--style=Fusion"), QStringLiteral("-reverse"),
                        QStringLiteral("-session"), QStringLiteral("1a2b"), QStringLiteral("--quit")})
                     .action,
                 Action::Quit);
        QCOMPARE(WithoutQtOptions({QStringLiteral("p"), QStringLiteral("-sync"), QStringLiteral("--"),
                                   QStringLiteral("-sync")}),
                 (QStringList{QStringLiteral("p"), QStringLiteral("--"), QStringLiteral("-sync")}));
        // The program's own name is never taken for an option.
        QCOMPARE(WithoutQtOptions({QStringLiteral("-style")}), QStringList{QStringLiteral("-style")});
    }

    void HistoryFileIsMadeAbsoluteAndItsFolderMade() {
        QCOMPARE(Parse({QStringLiteral("--history"), QStringLiteral("two.ini")}).historyFile,
                 QStringLiteral("/home/u/two.ini"));
        QCOMPARE(Parse({QStringLiteral("--history=../x/./h.ini"), QStringLiteral("--show")}).historyFile,
                 QStringLiteral("/home/x/h.ini"));
        QCOMPARE(Parse({QStringLiteral("--history=/srv/h.ini")}).historyFile, QStringLiteral("/srv/h.ini"));
        QVERIFY(Parse({}).historyFile.isEmpty());

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a/b/history.ini"));
        QString problem;
        const std::optional<SettingsLocation> location = HistoryFileLocation(file, &problem);
        QVERIFY(location.has_value());
        QCOMPARE(QString::fromStdString(location->loadPath), file);
        QCOMPARE(location->savePath, location->loadPath);
        QVERIFY(QDir(dir.filePath(QStringLiteral("a/b"))).exists());
        // A folder that cannot be made (a file stands in its way) is said, not run into.
        QFile blocker(dir.filePath(QStringLiteral("plain")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!HistoryFileLocation(dir.filePath(QStringLiteral("plain/h.ini")), &problem));
        QVERIFY(problem.contains(dir.filePath(QStringLiteral("plain"))));
        QVERIFY(problem.endsWith(QLatin1Char('\n')));
    }

    void DisplayDecision() {
        struct Case {
            const char* what;
            DisplayEnvironment env;
            bool usable, forceXcb, notice, check;
            const char* problemMentions;
        };
        const Case cases[] = {
            {"X11", {":0", "", "x11", ""}, true, false, false, true, nullptr},
            {"X11 with xcb asked for", {":0", "", "", "xcb"}, true, false, false, true, nullptr},
            {"Wayland with XWayland", {":0", "wayland-0", "wayland", ""}, true, true, true, true, nullptr},
            {"Wayland asked for by name", {":1", "wayland-0", "", "wayland"}, true, true, true, true, nullptr},
            {"session type alone", {":1", "", "wayland", ""}, true, true, true, true, nullptr},
            {"Wayland without XWayland", {"", "wayland-0", "wayland", ""}, false, false, false, false,
             "XWayland"},
            {"no display", {"", "", "", ""}, false, false, false, false, "DISPLAY"},
            {"tty session", {"", "", "tty", "xcb"}, false, false, false, false, "显示"},
            {"offscreen", {"", "wayland-0", "", "offscreen"}, true, false, false, false, nullptr},
        };
        for (const Case& c : cases) {
            const DisplayChoice choice = ChooseDisplay(c.env);
            QVERIFY2(choice.usable == c.usable, c.what);
            QVERIFY2(choice.forceXcb == c.forceXcb, c.what);
            QVERIFY2(ShouldTellX11WindowsOnly(choice) == c.notice, c.what);
            QVERIFY2(choice.checkX11 == c.check, c.what);
            if (c.problemMentions) {
                QVERIFY2(choice.problem.contains(QString::fromUtf8(c.problemMentions)), c.what);
                // Said in both languages.
                QVERIFY2(choice.problem.contains(QStringLiteral("TarvoKelmora needs")), c.what);
                QCOMPARE(DisplayProblem(choice), choice.problem);
            } else {
                QVERIFY2(choice.problem.isEmpty(), c.what);
            }
        }
        QVERIFY(!X11DisplayAnswers(":65000"));
        QVERIFY(UnreachableDisplayProblem(":65000").contains(QStringLiteral(":65000")));
    }

    void PrivateComponentsBesideTheExecutableElseInTheInstalledFolder() {
        const QDir exeDir(QCoreApplication::applicationDirPath());
        const QString name = QStringLiteral("tk-test-component-%1.so").arg(QCoreApplication::applicationPid());
        const QString installed = PrivateComponentPath(name);
        QCOMPARE(installed, QDir::cleanPath(exeDir.filePath(QStringLiteral("../libexec/tarvokelmora/") + name)));

        QFile beside(exeDir.filePath(name));
        QVERIFY(beside.open(QIODevice::WriteOnly));
        beside.close();
        const QString found = PrivateComponentPath(name);
        beside.remove();
        QCOMPARE(found, exeDir.filePath(name));
    }

    void QuitAsksTheRunningInstanceAndWaitsUntilItHasEnded() {
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        const QString key = runtime.filePath(QStringLiteral("defualt.ini"));
        QCOMPARE(SingleInstance::AskToQuit(key, 1000), SingleInstance::QuitResult::NotRunning);

        auto instance = std::make_unique<SingleInstance>(key);
        QVERIFY(!instance->HandedOver());
        int shows = 0;
        instance->SetOnRequest([&shows] { ++shows; });
        // The instance saves and lets go of its lock as it ends: only then is the asker done.
        instance->SetOnQuit([&instance] { QTimer::singleShot(100, [&instance] { instance.reset(); }); });
        std::atomic<int> result{-1};
        std::thread asker([&] { result = static_cast<int>(SingleInstance::AskToQuit(key, 20000)); });
        QTRY_VERIFY_WITH_TIMEOUT(result != -1, 20000);
        asker.join();
        QCOMPARE(result.load(), static_cast<int>(SingleInstance::QuitResult::Ended));
        QVERIFY(!instance);
        QCOMPARE(shows, 0);
        QCOMPARE(SingleInstance::AskToQuit(key, 1000), SingleInstance::QuitResult::NotRunning);
        // An instance that holds the history but does not end is reported, not waited on forever.
        SingleInstance staying(key);
        std::atomic<int> deafResult{-1};
        std::thread deafAsker([&] { deafResult = static_cast<int>(SingleInstance::AskToQuit(key, 300)); });
        QTRY_VERIFY_WITH_TIMEOUT(deafResult != -1, 20000);
        deafAsker.join();
        QCOMPARE(deafResult.load(), static_cast<int>(SingleInstance::QuitResult::NoAnswer));
    }

    // One history has one instance however its path is spelt (a link, "./"); the lock lives
    // only in a folder no one else can write to, and without HOME nothing is guessed.
    void OneInstancePerHistoryWhateverItsSpelling() {
        QTemporaryDir runtime;
        const auto privateRights = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QFile::setPermissions(runtime.path(), privateRights);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        const QString key = runtime.filePath(QStringLiteral("a.ini"));
        QFile file(key);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::link(key, runtime.filePath(QStringLiteral("link.ini"))));
        SingleInstance first(key);
        QVERIFY(!first.HandedOver());
        const QString before = QDir::currentPath();
        QDir::setCurrent(runtime.path());
        for (const QString& spelling : {runtime.filePath(QStringLiteral("link.ini")), QStringLiteral("./a.ini"),
                                        runtime.path() + QStringLiteral("/./a.ini")}) {
            QCOMPARE(SingleInstance::AskToQuit(spelling, 200), SingleInstance::QuitResult::NoAnswer);
        }
        QDir::setCurrent(before);

        QVERIFY(SingleInstance::FolderProblem().isEmpty());
        QFile::setPermissions(runtime.path(), privateRights | QFileDevice::WriteOther | QFileDevice::ExeOther |
                                                  QFileDevice::ReadOther);
        QVERIFY(SingleInstance::FolderProblem().contains(runtime.path()));
        QFile::setPermissions(runtime.path(), privateRights);
        const QByteArray home = qgetenv("HOME");
        qunsetenv("HOME");
        QVERIFY(SingleInstance::FolderProblem().contains(QStringLiteral("HOME is not set")));
        qputenv("HOME", home);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
