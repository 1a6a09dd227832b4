// The controller's life: creation and the history's load (the end and saving are beside).
#include "controller/app_controller.h"

namespace tk {

namespace {
constexpr const char* kAppTitle = "TarvoKelmora";


}  // namespace

AppController::AppController(ControllerDeps deps, TimerFactory& timers)
    : m_deps(std::move(deps)),
      m_timers(timers),
      m_records(m_deps.dialect, m_deps.diagnostics),
      m_trees(m_records, m_deps.files, m_deps.icons),
      m_file(m_deps.settingsLoadPath, m_deps.settingsSavePath),
      m_sweep(m_records, m_deps.files, m_deps.windows, m_deps.shellWindows, m_deps.diagnostics),
      m_sweeps(m_sweep, timers, m_deps.sweepThread, [this] { return m_view != nullptr && !m_destroyed; }),
      m_launcher(m_deps.shell, m_deps.files, m_deps.dialect,
                 [this](const std::string& text) {
                     if (m_view) m_view->Inform(kAppTitle, text);
                 }),
      m_picker(m_records, m_trees, m_launcher),
      m_reopener(m_records, m_sweep, m_launcher,
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
    m_timerSave = timers.MakeTimer("TimerSave", kSaveDelayMs, true, [this] { TimerSaveTimer(); });
    // The trees and the file's pieces follow the records, in that order.
    m_records.AddListener(&m_trees);
    m_records.AddListener(&m_file);
    m_records.SetOnChange([this] { ScheduleSave(); });
    m_file.SetSaveWriter(m_deps.saveWriter);
    m_file.SetOwnsHistory(m_deps.holdsInstanceLock);
    // Runs on the writer's thread: only the report is made there, the rest on the window's.
    m_file.SetOnSaved([this](const FileResult& result) {
        if (result.ok) return;
        m_deps.diagnostics.Warning("saving", result.error);
        m_timers.Post([this, result] { SaveFinished(result); });
    });
    m_picker.SetHintSink([this](const std::string& text) {
        if (m_view) m_view->ShowHint(text);
    });
    // A deferred load reads the file on a thread of its own while the window is being built:
    // a long history's parse then costs the first frame nothing. FormCreate takes it.
    if (m_deps.deferHistoryLoad) m_preload = std::async(std::launch::async, [this] { return m_file.Load(); });
}

AppController::~AppController() {
    if (m_preload.valid()) m_preload.wait();
    // Nothing the threads still hold may report to a controller that is gone.
    // (A sweep hung on the desktop past the wait is the program's main to deal with.)
    if (m_deps.sweepThread) m_deps.sweepThread->FlushFor(kCloseSweepWait);
    WaitForSave();
    m_file.SetOnSaved(nullptr);
    m_records.SetOnChange(nullptr);
}

void AppController::Attach(MainView& view, WebStripPort* web) {
    m_view = &view;
    m_web.Attach(web);
}

void AppController::Detach() {
    if (m_view == nullptr) return;
    // Whatever ends the window, the history is saved on the way.
    FormDestroy();
    for (Timer* timer : {m_timerCheckDocs.get(), m_timerFirstRun.get(), m_timerShow.get(),
                         m_timerHide.get(), m_timerSave.get(), &m_web.TimerCheckRadom(),
                         &m_web.TimerCheckBrowser(), &m_web.TimerRest(), &m_web.TimerRestart()}) {
        timer->SetEnabled(false);
    }
    m_web.Attach(nullptr);
    m_view = nullptr;
}

// ---- creation ------------------------------------------------------------------------------

void AppController::FormCreate() {
    Settings settings;
    try {
        LoadedHistory loaded = m_preload.valid() ? m_preload.get() : m_file.Load();
        settings = loaded.settings;
        if (!m_file.LastError().empty()) m_deps.diagnostics.Warning("settings file", m_file.LastError());
        if (m_file.WriteRefused()) {
            m_deps.diagnostics.Warning("settings file", "not written in this run: " + m_file.LoadPath());
            // Told once the window's loop runs, not from inside its construction.
            m_timers.Post([this] { TellReadFailure(); });
        }
        if (m_deps.deferHistoryLoad) m_pendingDocs = std::move(loaded.docs);
        else LoadHistory(std::move(loaded.docs));
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
    m_savedSettings = m_settings;
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

void AppController::EnsureHistory() {
    if (!m_pendingDocs) return;
    std::vector<StoredDoc> docs = std::move(*m_pendingDocs);
    m_pendingDocs.reset();
    LoadHistory(std::move(docs));
}

void AppController::LoadHistory(std::vector<StoredDoc> docs) {
    // The windows see the loaded trees whole, once: a node at a time, a long history costs
    // some tree controls a redraw of everything before it for every node.
    for (int page = 0; page < 4; ++page) m_trees.TreeOfPage(page)->BeginBatch();
    try {
        if (m_deps.probeThreads <= 0) {
            m_records.LoadStored(std::move(docs), nullptr);
        } else {
            // Whether each program's file is there is asked on threads of their own: a path on
            // a hung mount costs its own entry a late picture, not the window its load.
            m_probe = std::make_unique<PathProbe>(
                [&files = m_deps.files](const std::string& path) { return files.FileExists(path); },
                m_deps.probeThreads);
            m_probe->Start(HistoryFile::ProgramPaths(docs),
                           [this] { m_timers.Post([this] { ApplyLateAnswers(); }); });
            m_probe->WaitFor(kProbeWait);
            const PathAnswers answers = [probe = m_probe.get()](const std::string& path) {
                return probe->Answer(path);
            };
            m_records.LoadStored(std::move(docs), &answers);
        }
    } catch (const std::exception& e) {
        m_deps.diagnostics.Warning("history", e.what());
    }
    // The filters come after the stored history, which only meets the resource test.
    m_records.FillDocFilters();
    for (int page = 0; page < 4; ++page) m_trees.TreeOfPage(page)->EndBatch();
    m_file.Warm(m_records);
    ApplyLateAnswers();
}

void AppController::ApplyLateAnswers() {
    if (!m_probe) return;
    for (const auto& [path, exists] : m_probe->TakeLateAnswers()) m_trees.ResolveLateImage(path, exists);
    // Nothing waits any more: the probe and any thread stuck in it are let go.
    if (!m_trees.HasLateImages()) m_probe.reset();
}

}  // namespace tk
