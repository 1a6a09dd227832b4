#include "controller/app_controller.h"

#include "base/diagnostics.h"
#include "base/text.h"
#include "webpanel/strip_protocol.h"

namespace tk {

namespace {
constexpr const char* kAppTitle = "TarvoKelmora";
constexpr const char* kCloseCaption = "提示";
constexpr const char* kCloseQuestion = "要退出系统吗?";

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

AppController::AppController(ControllerDeps deps, TimerFactory& timers)
    : m_deps(std::move(deps)),
      m_timers(timers),
      m_history(m_deps.dialect, m_deps.files, m_deps.icons),
      m_sweep(m_history, m_deps.windows, m_deps.shellWindows),
      m_launcher(m_deps.shell, m_deps.files, m_deps.dialect,
                 [this](const std::string& text) {
                     if (m_view) m_view->Inform(kAppTitle, text);
                 }),
      m_picker(m_history, m_launcher),
      m_reopener(m_history, *this, m_sweep, m_launcher,
                 {[this] { ShowStartDocDialog(); },
                  [this](int ms) { m_timers.Wait(ms); },
                  [this](const std::string& text) {
                      if (m_view) m_view->ShowHint(text);
                  },
                  [this](const LaunchResult& result) { ReportLaunch(result); }}),
      m_web(m_deps.webSite, timers) {
    m_timerCheckDocs = timers.MakeTimer("TimerCheckDocs", kDefaultCheckInterval, false,
                                        [this] { TimerCheckDocsTimer(); });
    m_timerFirstRun = timers.MakeTimer("TimerFirstRun", 1000, true, [this] { TimerFirstRunTimer(); });
    m_timerShow = timers.MakeTimer("timerShow", SlideController::kIntervalMs, false,
                                   [this] { timerShowTimer(); });
    m_timerHide = timers.MakeTimer("timerHide", SlideController::kIntervalMs, false,
                                   [this] { timerHideTimer(); });
    m_timerSave = timers.MakeTimer("TimerSave", kSaveDelayMs, true, [this] { TimerSaveTimer(); });
    m_history.SetWindow(this);
    m_history.SetSaveWriter(m_deps.saveWriter);
    m_history.SetOnChange([this] { ScheduleSave(); });
    // Runs on the writer's thread: only the report is made there, the rest on the window's.
    m_history.SetOnSaved([this](const FileResult& result) {
        if (result.ok) return;
        ReportWarning("saving", result.error);
        m_timers.Post([this, result] { SaveFinished(result); });
    });
    m_history.SetSettingsPaths(m_deps.settingsLoadPath, m_deps.settingsSavePath);
    m_picker.SetHintSink([this](const std::string& text) {
        if (m_view) m_view->ShowHint(text);
    });
}

AppController::~AppController() {
    // Nothing the threads still hold may report to a controller that is gone.
    // (A sweep hung on the desktop past the wait is the program's main to deal with.)
    if (m_deps.sweepThread) m_deps.sweepThread->FlushFor(kCloseSweepWait);
    if (m_deps.saveWriter) m_deps.saveWriter->Flush();
    m_history.SetOnSaved(nullptr);
    m_history.SetOnChange(nullptr);
    m_history.SetWindow(nullptr);
}

void AppController::Attach(MainView& view, WebStripPort* web) {
    m_view = &view;
    m_web.Attach(web);
}

void AppController::Detach() {
    if (m_view == nullptr) return;
    // Whatever ends the window, the history is saved while its settings can still be read.
    FormDestroy();
    for (Timer* timer : {m_timerCheckDocs.get(), m_timerFirstRun.get(), m_timerShow.get(),
                         m_timerHide.get(), m_timerSave.get(), &m_web.TimerCheckRadom(),
                         &m_web.TimerCheckBrowser(), &m_web.TimerRest(), &m_web.TimerRestart()}) {
        timer->SetEnabled(false);
    }
    m_web.Attach(nullptr);
    m_view = nullptr;
}

// ---- creation and end ----------------------------------------------------------------------

void AppController::FormCreate() {
    try {
        // LastImageIndex starts at 10 in the core, so stored programs get 11 and up.
        m_history.LoadSettings(!m_deps.deferHistoryLoad);
        m_historyPending = m_deps.deferHistoryLoad;
        if (!m_history.LastError().empty()) ReportWarning("settings file", m_history.LastError());
        if (m_history.WriteRefused()) {
            ReportWarning("settings file", "not written in this run: " + m_history.LoadPath());
            // Told once the window's loop runs, not from inside its construction.
            m_timers.Post([this] { TellReadFailure(); });
        }
        PlaceAtStart();
    } catch (const std::exception& e) {
        ReportWarning("creation, settings", e.what());
    }
    // The filters come after the stored history, which only meets the resource test.
    if (!m_historyPending) m_history.FillDocFilters();
    m_savedSettings = SettingsSnapshot();
    m_timerFirstRun->SetEnabled(true);
    try {
        // A present registration ticks the box, whose click handling writes it again with the
        // path of the executable now running.
        if (m_deps.autoRun && IsAutoRun(*m_deps.autoRun, std::string(kAutoRunName))) {
            m_view->SetAutoRunBox(true);
            MnAutoRunClick(true);
        }
    } catch (const std::exception& e) {
        ReportWarning("creation, start at log-on", e.what());
    }
}

void AppController::PlaceAtStart() {
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
    if (!m_historyPending) return;
    m_historyPending = false;
    try {
        if (m_deps.probeThreads <= 0) {
            m_history.LoadStoredHistory();
        } else {
            // Whether each program's file is there is asked on threads of their own: a path on
            // a hung mount costs its own entry a late picture, not the window its load.
            m_probe = std::make_unique<PathProbe>(
                [&files = m_deps.files](const std::string& path) { return files.FileExists(path); },
                m_deps.probeThreads);
            m_probe->Start(m_history.StoredProgramPaths(),
                           [this] { m_timers.Post([this] { ApplyLateAnswers(); }); });
            m_probe->WaitFor(kProbeWait);
            const HistoryCore::ScopedPathAnswers answers(
                m_history, [probe = m_probe.get()](const std::string& path) { return probe->Answer(path); });
            m_history.LoadStoredHistory();
        }
    } catch (const std::exception& e) {
        ReportWarning("history", e.what());
    }
    m_history.FillDocFilters();
    ApplyLateAnswers();
}

void AppController::ApplyLateAnswers() {
    if (!m_probe) return;
    for (const auto& [path, exists] : m_probe->TakeLateAnswers()) {
        m_history.ResolveLateImage(path, exists);
    }
    // Nothing waits any more: the probe and any thread stuck in it are let go.
    if (!m_history.HasLateImages()) m_probe.reset();
}

bool AppController::FormCloseQuery() {
    EnsureHistory();
    SweepNow(kCloseSweepWait);
    m_web.Navigate(m_web.Schedule().ClosePage());
    return m_view->AskYesNo(kCloseCaption, kCloseQuestion);
}

bool AppController::CloseRequested() {
    if (!m_destroyed && !FormCloseQuery()) return false;
    m_view->EndProgram();
    return true;
}

void AppController::FormDestroy() {
    if (m_destroyed) return;
    EnsureHistory();  // never save a history that was not read yet
    // What a timed sweep still out has found is saved with the rest.
    if (m_sweepOut && m_view && m_deps.sweepThread->FlushFor(kCloseSweepWait)) {
        ApplyTimedSweep(m_sweepGeneration);
    }
    m_destroyed = true;
    m_timerSave->SetEnabled(false);
    try {
        if (!m_history.SaveSettings() && !m_history.WriteRefused()) {
            ReportWarning("saving", m_history.LastError());
        }
    } catch (const std::exception& e) {
        ReportWarning("saving", e.what());
    }
    // The program ends after this: whatever the writer holds reaches the disk first.
    if (m_deps.saveWriter) m_deps.saveWriter->Flush();
}

bool AppController::CommitData() {
    SaveAndWait();
    return FormCloseQuery();
}

void AppController::SaveAndWait() {
    SaveNow();
    if (m_deps.saveWriter) m_deps.saveWriter->Flush();
}

// ---- saving --------------------------------------------------------------------------------

void AppController::ScheduleSave() {
    if (m_destroyed || m_view == nullptr || m_history.WriteRefused()) return;
    // Started once per burst: later changes ride along instead of pushing the save away.
    m_timerSave->SetEnabled(true);
}

void AppController::TimerSaveTimer() {
    m_timerSave->SetEnabled(false);
    SaveNow();
}

void AppController::SaveNow() {
    if (m_destroyed || m_view == nullptr) return;
    EnsureHistory();  // a history not read yet must not be written as empty
    m_timerSave->SetEnabled(false);
    m_savedSettings = SettingsSnapshot();
    try {
        if (!m_history.SaveSettings() && !m_history.WriteRefused()) {
            ReportWarning("saving", m_history.LastError());
            if (m_view) m_view->ShowHint("历史记录未能保存：" + m_history.LastError());
        }
    } catch (const std::exception& e) {
        ReportWarning("saving", e.what());
    }
}

void AppController::SaveFinished(const FileResult& result) {
    if (m_view == nullptr || result.ok) return;
    m_view->ShowHint("历史记录未能保存到“" + m_history.LoadPath() + "”：" + result.error);
}

void AppController::TellReadFailure() {
    const FileResult* failure = m_history.ReadFailure();
    if (m_view == nullptr || failure == nullptr) return;
    m_view->Inform(kAppTitle, ReadFailureText(m_history.LoadPath(), *failure));
}

std::string AppController::SettingsSnapshot() const {
    if (m_view == nullptr) return {};
    std::string out;
    for (SettingsBox box :
         {SettingsBox::AutoRunDocs, SettingsBox::Refresh, SettingsBox::QueryAutoRunDoc}) {
        out += m_view->BoxChecked(box) ? '1' : '0';
    }
    for (long long value : {static_cast<long long>(m_view->ActivePageIndex()),
                            static_cast<long long>(m_timerCheckDocs->Interval()),
                            static_cast<long long>(m_view->WindowWidth()),
                            static_cast<long long>(m_view->WindowHeight())}) {
        out += ' ' + std::to_string(value);
    }
    return out;
}

void AppController::NoteSettings() {
    // Nothing before creation has taken the first snapshot: loading is no change.
    if (m_view == nullptr || m_savedSettings.empty()) return;
    if (SettingsSnapshot() != m_savedSettings) ScheduleSave();
}

void AppController::Exit1Click() {
    if (m_view->AskYesNo(kCloseCaption, kCloseQuestion)) m_view->EndProgram();
}

// ---- tray and slide ------------------------------------------------------------------------

void AppController::TrayIconClick() {
    m_view->RaiseAndActivate();
    ToggleMainWindow();
}

void AppController::ToggleMainWindow() {
    m_view->Unminimize();
    const SlideController::Action action = m_slide.Toggle(m_view->WindowShown());
    if (action == SlideController::Action::None) return;
    m_view->SetTrayMenuCaption(m_slide.MenuCaption());
    if (action == SlideController::Action::StartHide) {
        m_slideLeft = m_view->WindowLeft();
        m_slideTop = m_view->WindowTop();
        m_timerHide->SetEnabled(true);
        return;
    }
    m_slideLeft = SlideController::ShowLeft(m_view->ScreenWidth());
    m_slideTop = SlideController::ShowTop(m_view->ScreenHeight(), m_view->WindowHeight());
    m_view->MoveWindow(m_slideLeft, m_slideTop);
    m_timerShow->SetEnabled(true);
    m_view->ShowWindow();
}

// The slides count their own steps: a window manager may hold a window partly on screen and
// report that place back, which must not bend the slide.
void AppController::timerShowTimer() {
    int next = 0;
    if (m_slide.ShowStep(m_slideLeft, m_view->ScreenWidth(), m_view->WindowWidth(), next)) {
        m_slideLeft = next;
        m_view->MoveWindow(next, m_slideTop);
    } else {
        m_timerShow->SetEnabled(false);
    }
}

void AppController::timerHideTimer() {
    int next = 0;
    if (m_slide.HideStep(m_slideLeft, m_view->ScreenWidth(), next)) {
        m_slideLeft = next;
        m_view->MoveWindow(next, m_slideTop);
    } else {
        m_timerHide->SetEnabled(false);
        m_view->HideWindow();
    }
}

void AppController::BringIn() {
    if (!m_view->WindowShown()) {
        ToggleMainWindow();
        return;
    }
    m_view->Unminimize();
    m_view->RaiseAndActivate();
}

// ---- the sweep and its settings ------------------------------------------------------------

void AppController::TimerFirstRunTimer() {
    m_timerFirstRun->SetEnabled(false);
    if (!m_view) return;
    EnsureHistory();
    try {
        if (m_view->BoxChecked(SettingsBox::AutoRunDocs)) RunStartDocs();
        SweepNow(std::chrono::milliseconds{0});
        m_web.Navigate(m_web.Schedule().FirstPage());
    } catch (const std::exception& e) {
        ReportWarning("start-up work", e.what());
    }
}

void AppController::TimerCheckDocsTimer() {
    if (!m_view) return;
    EnsureHistory();
    if (m_deps.sweepThread == nullptr) tk::TimerCheckDocsTimer(*this, m_sweep);
    else if (BoxChecked(SettingsBox::Refresh)) StartTimedSweep();
    NoteSettings();  // widgets the window changes on its own: the page, the size
}

void AppController::StartTimedSweep() {
    // A slow desktop must not pile sweeps up: one is out at a time.
    if (m_sweepOut) return;
    m_sweepOut = true;
    const std::uint64_t generation = ++m_sweepGeneration;
    auto findings = std::make_shared<SweepFindings>();
    m_sweepFindings = findings;
    m_deps.sweepThread->Submit([this, findings, generation] {
        *findings = m_sweep.Gather();
        m_timers.Post([this, generation] { ApplyTimedSweep(generation); });
    });
}

void AppController::ApplyTimedSweep(std::uint64_t generation) {
    // Findings overtaken by a sweep made here and now are dropped.
    if (!m_sweepOut || generation != m_sweepGeneration) return;
    m_sweepOut = false;
    std::shared_ptr<SweepFindings> findings = std::move(m_sweepFindings);
    if (m_view == nullptr || m_destroyed || !findings) return;
    m_sweep.Apply(*findings);
}

void AppController::SweepNow(std::chrono::milliseconds wait) {
    if (m_deps.sweepThread == nullptr) {
        m_sweep.CheckOpenDocs();
        return;
    }
    if (!m_sweepOut) StartTimedSweep();
    if (wait.count() > 0 && m_deps.sweepThread->FlushFor(wait)) {
        ApplyTimedSweep(m_sweepGeneration);
    }
}

void AppController::CbRefreshClick() {
    tk::CbRefreshClick(*this);
    NoteSettings();
}

void AppController::SbCheckTimeChange(int position) {
    const CheckTimeChange change = tk::SbCheckTimeChange(position);
    m_view->SetCheckTimeLabel(change.label);
    m_timerCheckDocs->SetInterval(change.interval);
    NoteSettings();
}

void AppController::CbOnTopClick(bool checked) { m_view->SetStaysOnTop(checked); }

void AppController::MnAutoRunClick(bool checked) {
    if (!m_deps.autoRun) return;
    // The box shows what the store really holds afterwards: a refused write must not look
    // like success.
    const bool shown = MnAutoRunClickResult(*m_deps.autoRun, checked, m_deps.executablePath);
    if (shown != checked) {
        m_view->SetAutoRunBox(shown);
        ReportWarning("start at log-on", checked ? "registration refused" : "removal refused");
        m_view->ShowHint(checked ? "未能设置开机自动启动" : "未能取消开机自动启动");
    }
}

void AppController::ShowProblem(const std::string& text) {
    if (m_view) m_view->ShowHint(text);
}

void AppController::ReportLaunch(const LaunchResult& result) {
    if (!result.ok) ShowProblem("未能打开：" + result.problem);
}

void AppController::BtnAboutUSClick() { m_view->ShowAbout(); }
void AppController::BtnHelpDocClick() { m_view->ShowHelp(); }

void AppController::ShowStartDocDialog() {
    EnsureHistory();
    m_view->ShowStartDocDialog();
}

// ---- trees ---------------------------------------------------------------------------------

void AppController::TreeClick(int page) {
    switch (page) {
        case 0: ReportLaunch(m_picker.DocsTreeClick()); break;
        case 1: ReportLaunch(m_picker.TVAppClick()); break;
        case 2: ReportLaunch(m_picker.TVPathClick()); break;
        case 3: ReportLaunch(m_picker.TVDocClick()); break;
        default: break;
    }
}

void AppController::TreeDblClick(int page) {
    // 软件 opens at the first click and has no double-click of its own.
    if (page == 0 || page == 2 || page == 3) ReportLaunch(m_picker.DblClick());
}

void AppController::TreeKeyDown(TreeKey key) {
    if (key == TreeKey::Enter) ReportLaunch(m_picker.LaunchCurDoc());
    else m_picker.DeleteSelectedNodes();
}

void AppController::MnDeleteSelectedClick() {
    const int page = m_view->ActivePageIndex();
    if (page < 0 || page >= 4) return;
    EnsureHistory();
    m_history.DeleteSelectedOfPage(page);
}

void AppController::BtnDeleteAllDocsClick() {
    EnsureHistory();
    m_history.DeleteAllDocs();
}

bool AppController::DropFiles(const std::vector<std::string>& names) {
    EnsureHistory();
    try {
        for (const std::string& name : names) {
            m_history.CurDocText = Trim(name);
            m_history.AddCurDoc();
        }
    } catch (const std::exception& e) {
        ReportWarning("drop", e.what());
        return false;
    }
    m_deps.shell.MessageBeep();
    return true;
}

// ---- the system page and the web strip -------------------------------------------------------

void AppController::OpenSpecialFolder(int csidl) {
    ReportLaunch(m_launcher.OpenSpecialFolder(csidl, 0));
}
void AppController::OpenTaskManager() { ReportLaunch(m_launcher.OpenTaskManager()); }
void AppController::OpenSystemDirectory() { ReportLaunch(m_launcher.OpenSystemDirectory()); }
void AppController::BtnMoreSpecDirClick() { m_view->PopupSpecialFolderMenu(); }
void AppController::Image2Click() {
    ReportLaunch(m_launcher.OpenWebAddress(m_web.Schedule().HomePage()));
}
void AppController::WebLinkClicked(const std::string& address) {
    // The page is outside input: only web addresses leave the strip, never files or programs.
    // Opened as a recorded page is: an https address keeps its scheme.
    if (IsOpenableWebAddress(address)) {
        ReportLaunch(m_launcher.OpenStoredDoc(address, kDocTypeWebPage));
    } else {
        ReportInfo("web strip", "link not opened: " + address.substr(0, 200));
    }
}
void AppController::AboutSiteClick() {
    ReportLaunch(m_launcher.OpenWebAddress(m_web.Schedule().Site()));
}

// ---- SettingsWindow ------------------------------------------------------------------------

bool AppController::BoxChecked(SettingsBox box) const { return m_view->BoxChecked(box); }

void AppController::SetBoxChecked(SettingsBox box, bool checked) {
    if (m_view->BoxChecked(box) == checked) return;
    m_view->SetBoxChecked(box, checked);
    // The click handling runs exactly when the state changes.
    if (box == SettingsBox::Refresh) CbRefreshClick();
}

int AppController::ActivePageIndex() const { return m_view->ActivePageIndex(); }
void AppController::SetActivePageIndex(int index) { m_view->SetActivePageIndex(index); }
std::uint32_t AppController::SweepInterval() const { return m_timerCheckDocs->Interval(); }
void AppController::SetSweepInterval(std::uint32_t ms) { m_timerCheckDocs->SetInterval(ms); }
bool AppController::SweepTimerEnabled() const { return m_timerCheckDocs->Enabled(); }
void AppController::SetSweepTimerEnabled(bool enabled) { m_timerCheckDocs->SetEnabled(enabled); }
int AppController::CheckTimePosition() const { return m_view->CheckTimePosition(); }

void AppController::SetCheckTimePosition(int position) {
    const int clamped = ClampCheckTime(position);
    if (m_view->CheckTimePosition() == clamped) return;
    m_view->SetCheckTimePosition(clamped);
    SbCheckTimeChange(clamped);
}

int AppController::WindowWidth() const { return m_view->WindowWidth(); }
int AppController::WindowHeight() const { return m_view->WindowHeight(); }
void AppController::SetWindowWidth(int width) { m_view->SetWindowWidth(width); }
void AppController::SetWindowHeight(int height) { m_view->SetWindowHeight(height); }

}  // namespace tk
