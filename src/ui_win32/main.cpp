#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/diagnostics.h"
#include "base/wide_text.h"
#include "base/worker_thread.h"
#include "controller/app_controller.h"
#include "history/history.h"
#include "desktop/platform_desktop.h"
#include "history/settings.h"
#include "ui_win32/single_instance.h"
#include "ui_win32/artwork.h"
#include "ui_win32/main_window.h"
#include "ui_win32/timers.h"

namespace {

// Everything the window, the controller, the core and the backends report, to standard error;
// information only when asked for.
class PrintedDiagnostics final : public tk::Diagnostics {
public:
    void Report(tk::Severity severity, std::string_view area, std::string_view message) override {
        if (severity == tk::Severity::Info && std::getenv("TARVOKELMORA_DEBUG") == nullptr) return;
        std::fprintf(stderr, "tarvokelmora: %.*s: %.*s\n", static_cast<int>(area.size()), area.data(),
                     static_cast<int>(message.size()), message.data());
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    PrintedDiagnostics diagnostics;
    ::OleInitialize(nullptr);  // the browser control and the shell's drag and drop need it
    tk::ArtworkSession artwork;

    const tk::SettingsLocation location =
        tk::ResolveSettingsLocation(tk::ExecutableDirectory(), tk::PerUserConfigFolder());
    tk::Win32SingleInstance instance(location.savePath);
    if (instance.HandedOver()) return 0;
    // The history is read while the window is built, so a long one costs its first frame nothing.
    tk::HistoryReading historyReading(location.loadPath, location.savePath);

    tk::PlatformDesktop desktop = tk::CreatePlatformDesktop(diagnostics);
    tk::ControllerDeps deps{*desktop.dialect, *desktop.files, *desktop.icons, *desktop.windows,
                            *desktop.shellWindows, *desktop.shell, diagnostics, location.loadPath,
                            location.savePath, desktop.autoRun.get(), tk::ExecutablePath()};
    deps.deferHistoryLoad = true;
    deps.holdsInstanceLock = true;
    deps.historyReading = &historyReading;
    // Development and tests can point the web strip at another site.
    wchar_t site[512];
    const DWORD siteLength = ::GetEnvironmentVariableW(L"TARVOKELMORA_SITE", site, 512);
    if (siteLength > 0 && siteLength < 512) deps.webSite = tk::WideToUtf8(std::wstring_view(site, siteLength));
    tk::Win32TimerFactory timers(diagnostics);
    // Saves are written on a thread of their own, so a long history never stalls the window,
    // and the timed sweep asks the desktop on another.
    tk::WorkerThread saveWriter(diagnostics);
    deps.saveWriter = &saveWriter;
    tk::WorkerThread sweepThread(diagnostics);
    deps.sweepThread = &sweepThread;
    int code = 0;
    {
        tk::AppController controller(deps, timers);
        tk::Win32MainWindow window(controller);
        instance.Publish(window.Handle());
        window.Show();
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (window.TranslateDialogKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        code = static_cast<int>(msg.wParam);
        window.Close();
        // A save stuck on a hung disk (said already) must not keep the program from ending.
        if (!controller.WaitForSave()) ::ExitProcess(static_cast<UINT>(code));
    }
    ::OleUninitialize();
    return code;
}
