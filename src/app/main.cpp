#include <QFont>

#include "desktop/platform_desktop.h"
#include "history/settings.h"
#include "ui/application.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    tk::TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarvoKelmora"));
    QApplication::setQuitOnLastWindowClosed(false);  // the program lives in the tray
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
    tk::MainWindowDeps deps{*desktop.dialect, *desktop.files, *desktop.icons, *desktop.windows,
                            *desktop.shellWindows, *desktop.shell, location.loadPath,
                            location.savePath, true, desktop.autoRun.get(),
                            tk::ExecutablePath()};
    deps.deferHistoryLoad = true;
    // Development and tests can point the web strip at another site.
    if (const QByteArray site = qgetenv("TARVOKELMORA_SITE"); !site.isEmpty()) {
        deps.webSite = site.toStdString();
    }
    tk::TFrmMain window(deps);
    instance.SetOnRequest([&window] { window.BringIn(); });
    window.show();
    return app.exec();
}
