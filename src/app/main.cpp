#include <atomic>

#include <QFont>
#include <QLoggingCategory>

#include "base/diagnostics.h"
#include "base/save_writer.h"
#include "controller/app_controller.h"
#include "desktop/platform_desktop.h"
#include "history/settings.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/timer.h"

// Everything the core and the backends report comes out here; information is off by default
// (QT_LOGGING_RULES="tarvokelmora.info=true" shows it).
Q_LOGGING_CATEGORY(lcProgram, "tarvokelmora", QtWarningMsg)

int main(int argc, char** argv) {
    // The web strip's native window, which holds the browser's, makes no native windows of
    // the widgets beside it.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    tk::TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarvoKelmora"));
    QApplication::setQuitOnLastWindowClosed(false);  // the program lives in the tray
    tk::LoadChineseQtTexts();  // Qt's own buttons and menus in Chinese, whatever the locale
    // Set once the controller exists: refused launches are shown to the user too.
    static std::atomic<tk::AppController*> shown{nullptr};
    tk::SetDiagnosticsSink([](tk::Severity severity, std::string_view area, std::string_view message) {
        const QString text = QString::fromUtf8(area.data(), static_cast<qsizetype>(area.size())) +
                             QStringLiteral(": ") +
                             QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
        if (severity == tk::Severity::Info) {
            qCInfo(lcProgram).noquote() << text;
            return;
        }
        // Warnings reach standard error through Qt's log, whichever thread reports them.
        qCWarning(lcProgram).noquote() << text;
        if (area == "launch") {
            const std::string hint = "未能打开：" + std::string(message);
            QMetaObject::invokeMethod(QCoreApplication::instance(), [hint] {
                if (tk::AppController* controller = shown.load()) controller->ShowProblem(hint);
            }, Qt::QueuedConnection);
        }
    });
    // The captions ask for the classic Song face; these are its stand-ins on this desktop.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
    tk::InitArtwork();
    tk::QuitGracefullyOnTermination();

    const tk::SettingsLocation location =
        tk::ResolveSettingsLocation(tk::ExecutableDirectory(), tk::PerUserConfigFolder());
    tk::SingleInstance instance(QString::fromStdString(location.savePath));
    if (instance.HandedOver()) return 0;

    tk::PlatformDesktop desktop = tk::CreatePlatformDesktop();
    tk::ControllerDeps deps{*desktop.dialect, *desktop.files, *desktop.icons, *desktop.windows,
                            *desktop.shellWindows, *desktop.shell, location.loadPath,
                            location.savePath, desktop.autoRun.get(), tk::ExecutablePath()};
    deps.deferHistoryLoad = true;
    // Development and tests can point the web strip at another site.
    if (const QByteArray site = qgetenv("TARVOKELMORA_SITE"); !site.isEmpty()) {
        deps.webSite = site.toStdString();
    }
    tk::QtTimerFactory timers;
    // Saves are written on a thread of their own, so a long history never stalls the window.
    tk::ThreadSaveWriter saveWriter;
    deps.saveWriter = &saveWriter;
    // And the timed sweep asks the desktop on another, so a slow desktop never freezes it.
    tk::ThreadSaveWriter sweepThread;
    deps.sweepThread = &sweepThread;
    tk::AppController controller(deps, timers);
    tk::TFrmMain window(controller);
    instance.SetOnRequest([&controller] { controller.BringIn(); });
    shown = &controller;
    struct Unshow {
        ~Unshow() { shown = nullptr; }
    } unshow;
    window.show();
    return app.exec();
}
