// The controller's life: creation, the history's load, the end and the session's end.
#include "controller/app_controller.h"

namespace tk {

namespace {
constexpr const char* kAppTitle = "TarvoKelmora";
}  // namespace

AppController::AppController(ControllerDeps deps, TimerFactory& timers)
    : m_deps(std::move(deps)),
      m_timers(timers),
      m_history(HistoryOptions{m_deps.settingsLoadPath, m_deps.settingsSavePath, m_deps.saveWriter,
                               m_deps.probeThreads, m_deps.holdsInstanceLock, m_deps.historyReading},
                m_deps.dialect, m_deps.files, m_deps.icons, m_deps.diagnostics, &timers),
      m_sweep(m_history.Records(), m_deps.files, m_deps.windows, m_deps.shellWindows, m_deps.diagnostics),
      m_sweeps(m_sweep, timers, m_deps.sweepThread, [this] { return m_view != nullptr && !m_history.Closed(); }),
      m_launcher(m_deps.shell, m_deps.files, m_deps.dialect,
                 [this](const std::string& text) {
                     if (m_view) m_view->Inform(kAppTitle, text);
                 }),
      m_picker(m_history.Records(), m_history.Trees(), m_launcher),
      m_reopener(m_history.Records(), m_sweep, m_launcher,
                 {[this] { ShowStartDocDialog(); },
                  [this](int ms) { m_timers.Wait(ms); },
                  [this](const std::string& text) {
                      if (m_view) m_view->ShowHint(text);
                  },
                  [this](const LaunchResult& result) { ReportLaunch(result); }}),
      m_web(m_deps.webSite, timers, m_deps.diagnostics) {
    m_timerCheckDocs = timers.MakeTimer("TimerCheckDocs", kDefaultCheckInterval, false,
                                        [this] { TimerCheckDocsTimer(); });
    m_timerFirstRun = timers.MakeTimer("TimerFirstRun", 1000, true, [this] { TimerFirstRunTimer(); });
    m_timerShow = timers.MakeTimer("timerShow", SlideController::kIntervalMs, false,
                                   [this] { timerShowTimer(); });
    m_timerHide = timers.MakeTimer("timerHide", SlideController::kIntervalMs, false,
                                   [this] { timerHideTimer(); });
    m_history.SetOnSaveFailed([this](const std::string& text) {
        if (m_view) m_view->ShowHint(text);
    });
    m_picker.SetHintSink([this](const std::string& text) {
        if (m_view) m_view->ShowHint(text);
    });
}

AppController::~AppController() {
    // Nothing the threads still hold may report to a controller that is gone.
    // (A sweep hung on the desktop past the wait is the program's main to deal with.)
    if (m_deps.sweepThread) m_deps.sweepThread->FlushFor(kCloseSweepWait);
}

void AppController::Attach(MainView& view, WebStripPort* web) {
    m_view = &view;
    m_web.Attach(web);
    m_history.SetTimedSaves(true);
}

void AppController::Detach() {
    if (m_view == nullptr) return;
    // Whatever ends the window, the history is saved on the way.
    FormDestroy();
    for (Timer* timer : {m_timerCheckDocs.get(), m_timerFirstRun.get(), m_timerShow.get(),
                         m_timerHide.get(), &m_web.TimerCheckRadom(),
                         &m_web.TimerCheckBrowser(), &m_web.TimerRest(), &m_web.TimerRestart()}) {
        timer->SetEnabled(false);
    }
    m_history.SetTimedSaves(false);
    m_web.Attach(nullptr);
    m_view = nullptr;
}

// ---- creation ------------------------------------------------------------------------------

void AppController::FormCreate() {
    Settings settings;
    try {
        settings = m_history.Open();
        // Told once the window's loop runs, not from inside its construction.
        if (m_history.File().WriteRefused()) m_timers.Post([this] { TellReadFailure(); });
        if (!m_deps.deferHistoryLoad) m_history.Load();
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("creation, settings", e.what());
    }
    // A page outside the tabs leaves none active; a stored interval off SbCheckTime's first
    // position is its position's interval from then on.
    if (settings.activePageIndex < 0 || settings.activePageIndex >= kPageCount) settings.activePageIndex = -1;
    const int position = CheckTimePosition(settings.checkDocInterval);
    if (position != kCheckTimeInitial) settings.checkDocInterval = static_cast<std::uint32_t>(position) * 1000u;
    m_settings = settings;
    m_timerCheckDocs->SetInterval(settings.checkDocInterval);
    CbRefreshClick();
    try {
        if (m_view) {
            m_view->ShowSettings(m_settings);
            // The stored size is remembered but the window always opens at 500 x 480.
            if (settings.width > 0) m_view->SetWindowWidth(500);
            if (settings.height > 0) m_view->SetWindowHeight(480);
            if (m_view->WindowWidth() > 0) m_settings.width = m_view->WindowWidth();
            if (m_view->WindowHeight() > 0) m_settings.height = m_view->WindowHeight();
        }
        PlaceAtStart();
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("creation, window", e.what());
    }
    m_history.SetSettings(m_settings, true);
    m_created = true;
    m_timerFirstRun->SetEnabled(true);
    try {
        // A present registration ticks the box, whose click handling writes it again with the
        // path of the executable now running.
        if (m_deps.autoRun && IsAutoRun(*m_deps.autoRun, std::string(kAutoRunName))) {
            Settings next = m_settings;
            next.autoRun = true;
            ChangeSettings(next);
            MnAutoRunClick(true);
        }
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("creation, start at log-on", e.what());
    }
}

void AppController::PlaceAtStart() {
    if (!m_view) return;
    m_view->MoveWindow(SlideController::StartLeft(m_view->ScreenWidth(), m_view->WindowWidth()),
                       SlideController::StartTop(m_view->ScreenHeight(), m_view->WindowHeight()));
}

void AppController::AfterFirstFrame() {
    if (m_afterFirstFrameDone || !m_view) return;
    m_afterFirstFrameDone = true;
    // The history and then the browser engine come after the first frame, never before.
    EnsureHistory();
    m_timers.Post([this] { m_web.CreateBrowser(); });
}

void AppController::EnsureHistory() { m_history.Load(); }

// ---- the end -------------------------------------------------------------------------------


namespace {

std::string ReadFailureText(const std::string& path, const FileResult& failure) {
    std::string reason;
    switch (failure.problem) {
        case FileProblem::NotRegular: reason = "它不是普通文件"; break;
        case FileProblem::TooLarge: reason = "文件大于 256 MiB"; break;
        default: reason = "读取出错：" + failure.error; break;
    }
    return "无法完整读取历史文件“" + path + "”（" + reason +
           "）。\n本次运行记录的内容只保存在内存中，不会写入这个文件，文件保持原样。";
}

}  // namespace

void AppController::FormDestroy() {
    if (m_history.Closed()) return;
    m_history.Load();  // never save a history that was not read yet
    // What a timed sweep still out has found is saved with the rest.
    if (m_view) m_sweeps.FinishOut(kCloseSweepWait);
    m_history.Close();
}

bool AppController::CommitData() {
    if (m_view == nullptr) return true;
    // Saved as the end would save it, in case the session ends the program unasked; a refused
    // log-off hands the marks back, as if nothing had ended.
    const std::vector<int> marked = m_history.SaveMarkedAndWait();
    const bool yes = FormCloseQuery();
    if (!yes) m_history.Unmark(marked);
    return yes;
}

void AppController::SaveAndWait() {
    if (m_view == nullptr) return;
    m_history.SaveMarkedAndWait();
}

void AppController::TellReadFailure() {
    const FileResult* failure = m_history.File().ReadFailure();
    if (m_view == nullptr || failure == nullptr) return;
    m_view->Inform(kAppTitle, ReadFailureText(m_history.File().LoadPath(), *failure));
}

void AppController::AfterRemoval() {
    // The sweep's countdown starts again after a removal.
    m_timerCheckDocs->SetEnabled(false);
    m_timerCheckDocs->SetEnabled(m_settings.refresh);
}

}  // namespace tk
