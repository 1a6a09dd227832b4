#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/path_probe.h"
#include "controller/main_view.h"
#include "controller/slide.h"
#include "controller/timer_factory.h"
#include "controller/web_strip_controller.h"
#include "desktop/autorun.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/path_dialect.h"
#include "desktop/shell.h"
#include "desktop/shell_windows.h"
#include "desktop/window_system.h"
#include "detection/sweep.h"
#include "history/history.h"
#include "history/settings.h"
#include "launch/launcher.h"
#include "startup/startup.h"
#include "webpanel/web_panel.h"

namespace tk {

// What the controller is given: the platform behind the interfaces and where its file lives.
struct ControllerDeps {
    const PathDialect& dialect;
    const FileSystem& files;
    FileIcons& icons;
    WindowSystem& windows;
    ShellWindows& shellWindows;
    Shell& shell;
    std::string settingsLoadPath;
    std::string settingsSavePath;
    // Where the start-at-log-on registration lives; none: the box does nothing.
    AutoRunStore* autoRun = nullptr;
    // The running executable, the program the registration starts.
    std::string executablePath;
    // The site the web strip shows pages of.
    std::string webSite = std::string(kMakerSite);
    // Registers the stored history right after the first frame instead of before it, so a
    // long history does not hold up the window's first appearance.
    bool deferHistoryLoad = false;
    // Where saves are written, off the window's thread; none: written at once.
    SaveWriter* saveWriter = nullptr;
    // Where the timed sweep asks the desktop (any one-job-at-a-time thread, such as another
    // ThreadSaveWriter); none: on the window's thread.
    SaveWriter* sweepThread = nullptr;
    // How many threads ask, at the history load, whether the programs' files are there; none:
    // asked on the window's thread.
    int probeThreads = 0;
};

// How long the history load waits for those answers before it goes on without the late ones.
inline constexpr std::chrono::milliseconds kProbeWait{300};
// How long closing waits for the desktop's answer to its last sweep.
inline constexpr std::chrono::milliseconds kCloseSweepWait{2000};

// How long after a change the history is saved: one save for a burst of changes.
inline constexpr std::uint32_t kSaveDelayMs = 3000;

// Keys of the 全部 tree that do something.
enum class TreeKey { Enter, Delete };

// The window's rules, whichever window shows them: it owns the history, the sweep, the
// launcher, the picks, the start-up re-opening and the web strip's schedule, and speaks to
// the window through MainView. A window builds itself, attaches, then calls FormCreate.
class AppController : private SettingsWindow {
public:
    AppController(ControllerDeps deps, TimerFactory& timers);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    void Attach(MainView& view, WebStripPort* web);
    // The window is going: the history is saved (FormDestroy), every timer stops and nothing
    // reaches the window any more.
    void Detach();

    HistoryCore& History() { return m_history; }
    Sweep& DocSweep() { return m_sweep; }
    Launcher& DocLauncher() { return m_launcher; }
    DocPicker& Picker() { return m_picker; }
    const SlideController& Slide() const { return m_slide; }
    WebStripController& WebStrip() { return m_web; }
    // The settings as the start-up dialog changes them.
    SettingsWindow& Settings() { return *this; }
    Timer& TimerCheckDocs() { return *m_timerCheckDocs; }
    Timer& TimerFirstRun() { return *m_timerFirstRun; }
    Timer& TimerShow() { return *m_timerShow; }
    Timer& TimerHide() { return *m_timerHide; }
    Timer& TimerSave() { return *m_timerSave; }

    // ---- creation and end
    // Reads the settings file and applies it, places the window, starts the first-run timer.
    void FormCreate();
    // The window's first frame is on screen: the stored history, then the browser.
    void AfterFirstFrame();
    // Registers the stored history if that is still to be done; everything that reads or
    // writes the history calls this first.
    void EnsureHistory();
    // The window's close request: a last sweep, the exit page, the question. True to close.
    bool FormCloseQuery();
    // The user closes the window: true when it closes (the question was answered yes, or the
    // program is already ending), and then the program ends.
    bool CloseRequested();
    // The session is ending and the user may answer: the history is saved first, then the
    // close question; false refuses the log-off.
    bool CommitData();
    // Saves now and returns once the file is written (a session ending without questions).
    void SaveAndWait();
    // Saves the history once; later calls do nothing.
    void FormDestroy();
    bool Destroyed() const { return m_destroyed; }

    // ---- tray and slide
    void TrayIconClick();
    void MnOpenKelmoraClick() { ToggleMainWindow(); }
    void Exit1Click();
    void ToggleMainWindow();
    // A second start of the program asks for the window.
    void BringIn();

    // ---- the trees
    // A left press (or, outside 全部, a click) on a tree page.
    void TreeClick(int page);
    void TreeDblClick(int page);
    void TreeKeyDown(TreeKey key);
    void TreeExpandedOrCollapsed() { m_picker.ExpandedOrCollapsed(); }
    void MnDeleteSelectedClick();
    void BtnDeleteAllDocsClick();
    // Files dropped on the active tree, recorded in order; true when all were taken.
    bool DropFiles(const std::vector<std::string>& names);

    // ---- the system page
    void OpenSpecialFolder(int csidl);
    void OpenTaskManager();
    void OpenSystemDirectory();
    void BtnMoreSpecDirClick();

    // ---- the settings page
    void CbOnTopClick(bool checked);
    void MnAutoRunClick(bool checked);
    void CbRefreshClick();
    void SbCheckTimeChange(int position);
    void BtnAutoRunSetClick() { ShowStartDocDialog(); }
    void BtnAboutUSClick();
    void BtnHelpDocClick();
    void RunStartDocs() { m_reopener.RunStartDocs(); }

    // Something the user asked for failed (a launch the desktop refused): said in the hint strip.
    void ShowProblem(const std::string& text);
    // Where every launch's answer ends: a refusal is shown as "未能打开：" and its reason.
    void ReportLaunch(const LaunchResult& result);

    // ---- the web strip
    void Image2Click();
    void AboutSiteClick();
    void WebBrowser1NavigateComplete2() { m_web.NavigateComplete(); }
    // The browser ended on its own (a crash): only the strip is affected.
    void WebBrowserGone() { m_web.BrowserGone(); }
    // A link clicked on the strip's page: web addresses open in the user's browser.
    void WebLinkClicked(const std::string& address);
    // The window came into sight or left it (hidden, slid out, minimised).
    void WindowShownChanged(bool shown) { m_web.WindowShown(shown); }

    // The start place: 30 from the right and 40 above the bottom of the screen, frame included.
    void PlaceAtStart();

private:
    void TimerFirstRunTimer();
    void TimerCheckDocsTimer();
    void timerShowTimer();
    void timerHideTimer();
    void TimerSaveTimer();
    void ShowStartDocDialog();
    // A change a save would write: the save comes a few seconds later, once per burst.
    void ScheduleSave();
    // Schedules a save when the settings differ from what was last written.
    void NoteSettings();
    std::string SettingsSnapshot() const;
    void SaveNow();
    void SaveFinished(const FileResult& result);
    void TellReadFailure();
    // The timed sweep: asked of the desktop on the sweep thread, applied here in order.
    void StartTimedSweep();
    void ApplyTimedSweep(std::uint64_t generation);
    // A sweep now (closing, the first run), asked on the sweep thread when there is one (a
    // timed one still out stands for it) and applied when its answer is in, waiting here for
    // it at most `wait`: a hung desktop costs the sweep, never the window.
    void SweepNow(std::chrono::milliseconds wait);
    // The answers the history load did not wait for.
    void ApplyLateAnswers();

    // ---- SettingsWindow: the widgets through the view, the sweep timer here
    bool BoxChecked(SettingsBox box) const override;
    void SetBoxChecked(SettingsBox box, bool checked) override;
    int ActivePageIndex() const override;
    void SetActivePageIndex(int index) override;
    std::uint32_t SweepInterval() const override;
    void SetSweepInterval(std::uint32_t milliseconds) override;
    bool SweepTimerEnabled() const override;
    void SetSweepTimerEnabled(bool enabled) override;
    int CheckTimePosition() const override;
    void SetCheckTimePosition(int position) override;
    int WindowWidth() const override;
    int WindowHeight() const override;
    void SetWindowWidth(int width) override;
    void SetWindowHeight(int height) override;

    ControllerDeps m_deps;
    TimerFactory& m_timers;
    MainView* m_view = nullptr;
    HistoryCore m_history;
    Sweep m_sweep;
    SlideController m_slide;
    Launcher m_launcher;
    DocPicker m_picker;
    StartupReopener m_reopener;
    WebStripController m_web;
    std::unique_ptr<Timer> m_timerCheckDocs;
    std::unique_ptr<Timer> m_timerFirstRun;
    std::unique_ptr<Timer> m_timerShow;
    std::unique_ptr<Timer> m_timerHide;
    std::unique_ptr<Timer> m_timerSave;
    std::unique_ptr<PathProbe> m_probe;  // the load's questions, while answers are still out
    std::string m_savedSettings;  // the settings as last written
    bool m_sweepOut = false;      // a timed sweep is being gathered or waits to be applied
    std::uint64_t m_sweepGeneration = 0;
    std::shared_ptr<SweepFindings> m_sweepFindings;
    bool m_historyPending = false;
    bool m_afterFirstFrameDone = false;
    bool m_destroyed = false;
    int m_slideLeft = 0;  // where the running slide has put the window
    int m_slideTop = 0;
};

}  // namespace tk
