#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QFont>
#include <QLoggingCategory>
#include <QSystemTrayIcon>

#include "base/diagnostics.h"
#include "base/memory.h"
#include "base/worker_thread.h"
#include "controller/app_controller.h"
#include "history/history.h"
#include "desktop/platform_desktop.h"
#include "desktop/search_result.h"
#include "history/settings.h"
#include "ui/application.h"
#include "ui/command_line.h"
#include "ui/display_check.h"
#include "cli/history_commands.h"
#include "ui/install_paths.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/timer.h"

// Everything the core and the backends report comes out here; information is off by default
// (QT_LOGGING_RULES="tarvokelmora.info=true" shows it).
Q_LOGGING_CATEGORY(lcProgram, "tarvokelmora", QtWarningMsg)

namespace {

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void Print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

// Everything the window, the controller, the core and the backends report, to Qt's log.
class QtLogDiagnostics final : public tk::Diagnostics {
public:
    void Report(tk::Severity severity, std::string_view area, std::string_view message) override {
        const QString text = QString::fromUtf8(area.data(), static_cast<qsizetype>(area.size())) +
                             QStringLiteral(": ") +
                             QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
        if (severity == tk::Severity::Info) {
            qCInfo(lcProgram).noquote() << text;
            return;
        }
        // Warnings reach standard error through Qt's log, whichever thread reports them.
        qCWarning(lcProgram).noquote() << text;
    }
};

}  // namespace

int main(int argc, char** argv) {
    tk::UseOneHeap();  // before any thread starts
    // Answered before any display is opened: --help and --version work anywhere.
    const tk::CommandLine command = tk::ParseCommandLine(Arguments(argc, argv), QDir::currentPath());
    switch (command.action) {
        case tk::CommandLine::Action::Help:
        case tk::CommandLine::Action::Version: Print(stdout, command.output); return 0;
        case tk::CommandLine::Action::Error: Print(stderr, command.output); return tk::kUsageError;
        default: break;
    }
    // Checked before anything is read or made: without them two instances could share a history.
    if (const QString problem = tk::SingleInstance::FolderProblem(); !problem.isEmpty()) {
        Print(stderr, problem);
        return 1;
    }
    tk::SettingsLocation location;
    if (command.historyFile.isEmpty()) {
        location = tk::ResolveSettingsLocation(tk::ExecutableDirectory(), tk::PerUserConfigFolder());
    } else if (QString problem; auto named = tk::HistoryFileLocation(command.historyFile, &problem)) {
        location = *named;
    } else {
        Print(stderr, problem);
        return 1;
    }
    const QString instanceKey = QString::fromStdString(location.savePath);
    if (command.action == tk::CommandLine::Action::Quit) {
        QCoreApplication core(argc, argv);
        return tk::QuitRunningInstance(instanceKey);
    }
    // For launchers and scripts: no window, and no display needed to list.
    if (command.action == tk::CommandLine::Action::List) {
        return tk::ListHistory(location, *tk::CreatePlatformPathDialect(), command.json, stdout,
                               tk::StderrDiagnostics());
    }
    if (command.action == tk::CommandLine::Action::Open) {
        const std::string text = command.openText.toStdString();
        switch (tk::SingleInstance::AskToOpen(instanceKey, text)) {
            case tk::SingleInstance::QuitResult::Ended: return 0;  // the running one opens it
            case tk::SingleInstance::QuitResult::NoAnswer:
                Print(stderr, QStringLiteral("tarvokelmora: 正在运行的 TarvoKelmora 没有回应。"
                                             "The running TarvoKelmora does not answer.\n"));
                return 3;
            case tk::SingleInstance::QuitResult::NotRunning: break;
        }
        // No window and no log of its own: what goes wrong goes to standard error.
        tk::PlatformDesktop desktop = tk::CreatePlatformDesktop(tk::StderrDiagnostics());
        return tk::OpenFromHistory(location, text, desktop, tk::StderrDiagnostics());
    }
    const tk::DisplayChoice display = tk::ChooseDisplay(tk::CurrentDisplayEnvironment());
    if (const QString problem = tk::DisplayProblem(display); !problem.isEmpty()) {
        Print(stderr, problem + QLatin1Char('\n'));
        return 1;
    }
    const std::jthread fonts = tk::ReadFontConfigurationAhead();
    // The history is read meanwhile too (reading changes nothing; a second start that hands
    // over only read it in vain), so a long one costs the first frame nothing.
    tk::HistoryReading historyReading(location.loadPath, location.savePath);
    // Placement, the slide and stay-on-top need X11: XWayland on a Wayland session. Only for
    // this program: what it opens inherits the session's own choice again.
    const bool hadPlatform = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (display.forceXcb) qputenv("QT_QPA_PLATFORM", "xcb");
    // The web strip's native window, which holds the browser's, makes no native windows of
    // the widgets beside it.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    tk::TApplication app(argc, argv);
    if (display.forceXcb) {
        if (hadPlatform) qputenv("QT_QPA_PLATFORM", platform);
        else qunsetenv("QT_QPA_PLATFORM");
    }
    QApplication::setApplicationName(QStringLiteral("TarvoKelmora"));
    QApplication::setApplicationVersion(tk::ProgramVersion());
    // Task managers and portals match the window to the installed menu entry by this.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(tk::kDesktopId));
    QApplication::setQuitOnLastWindowClosed(false);  // the program lives in the tray
    tk::LoadChineseQtTexts();  // Qt's own buttons and menus in Chinese, whatever the locale
    QtLogDiagnostics diagnostics;
    // The captions ask for the classic Song face; these are its stand-ins on this desktop.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
    tk::InitArtwork();
    tk::QuitGracefullyOnTermination();

    tk::SingleInstance instance(instanceKey);
    if (instance.HandedOver()) return 0;

    tk::PlatformDesktop desktop = tk::CreatePlatformDesktop(diagnostics);
    tk::ControllerDeps deps{*desktop.dialect, *desktop.files, *desktop.icons, *desktop.windows,
                            *desktop.shellWindows, *desktop.shell, diagnostics, location.loadPath,
                            location.savePath, desktop.autoRun.get(), tk::ExecutablePath()};
    deps.deferHistoryLoad = true;
    deps.holdsInstanceLock = true;
    deps.historyReading = &historyReading;
    // Development and tests can point the web strip at another site.
    if (const QByteArray site = qgetenv("TARVOKELMORA_SITE"); !site.isEmpty()) {
        deps.webSite = site.toStdString();
    }
    tk::QtTimerFactory timers;
    // Saves are written on a thread of their own, so a long history never stalls the window.
    tk::WorkerThread saveWriter(diagnostics);
    deps.saveWriter = &saveWriter;
    // And the timed sweep asks the desktop on another, so a slow desktop never freezes it.
    tk::WorkerThread sweepThread(diagnostics);
    deps.sweepThread = &sweepThread;
    // And whether the history's programs are still there is asked on threads of their own.
    deps.probeThreads = 4;
    tk::AppController controller(deps, timers);
    tk::TFrmMain window(controller);
    instance.SetOnRequest([&controller] { controller.BringIn(); });
    // Ends as a termination request does: no question, the history saved on the way out.
    instance.SetOnQuit([] { tk::EndProgram(); });
    instance.SetOnOpen([&controller](const std::string& text) { controller.OpenShownEntry(text); });
    // The history where the desktop searches (GNOME's overview, KRunner), while this runs.
    std::unique_ptr<tk::DesktopSearch> search;
    auto offerSearch = [&search, &controller, &diagnostics] {
        search = tk::OfferDesktopSearch(
            {[&controller](std::string_view query, std::size_t limit) { return controller.SearchEntries(query, limit); },
             [&controller](const std::string& id) { return controller.OpenFoundEntry(id); },
             [&controller] { controller.BringIn(); }},
            diagnostics);
    };
    // The hints ask the compositor, the desktop's settings and its bus: their answers are only
    // said once the window is on screen, so they are asked then too.
    window.AfterFirstFrameDo([&window, &desktop, display] {
        // On Wayland, said only where the compositor cannot be asked for its windows, with what
        // the user can do about it when there is something.
        if (tk::ShouldTellX11WindowsOnly(display) && !desktop.SeesNativeWaylandWindows()) {
            const std::string hint = desktop.NativeWaylandWindowsHint();
            window.AddStartNotice(hint.empty() ? tk::X11WindowsOnlyNotice() : QString::fromStdString(hint));
        }
        if (const std::string hint = desktop.FolderWindowsHint(); !hint.empty()) {
            window.AddStartNotice(QString::fromStdString(hint));
        }
    });
    // Started by the desktop's search: in the tray only, where there is one to come back from,
    // and the bus that started it is answered at once. Otherwise the window's first frame
    // comes before anything on the bus.
    if (!command.hidden || !QSystemTrayIcon::isSystemTrayAvailable()) {
        window.AfterFirstFrameDo(offerSearch);
        window.show();
    } else {
        offerSearch();
    }
    const int status = app.exec();
    // Everything is saved by now (the window saved on its way out). A save stuck on a hung
    // disk or a sweep stuck on a hung mount must not keep the program from ending: what is
    // finished is kept and the rest let go.
    const bool saved = controller.WaitForSave();
    if (!saved || !sweepThread.FlushFor(tk::kCloseSweepWait)) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
