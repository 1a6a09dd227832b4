#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/path_probe.h"
#include "controller/controller_deps.h"
#include "controller/doc_picker.h"
#include "desktop/search_result.h"
#include "controller/main_view.h"
#include "controller/slide.h"
#include "controller/start_docs_form.h"
#include "controller/sweep_runner.h"
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
#include "history/category_trees.h"
#include "history/doc_records.h"
#include "history/history_file.h"
#include "history/settings.h"
#include "launch/launcher.h"
#include "startup/startup.h"
#include "webpanel/web_panel.h"

namespace tk {

// Keys of the 全部 tree that do something.
enum class TreeKey { Enter, Delete };

// The window's rules, whichever window shows them: it owns the settings, the history (records,
// trees, file), the sweep, the launcher, the picks, the start-up re-opening and the web strip's
// schedule. A window gets what it draws (trees, pictures, settings, the start-up dialog's
// rows) and hands every user action here as an event; the controller speaks back through
// MainView. A window builds itself, attaches, then calls FormCreate.
class AppController : private StartDocsForm {
public:
    AppController(ControllerDeps deps, TimerFactory& timers);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    void Attach(MainView& view, WebStripPort* web);
    // The window is going: the history is saved (FormDestroy), every timer stops and nothing
    // reaches the window any more.
    void Detach();

    // ---- what the windows draw
    // The tree of a page of TVAllDocs (0 全部, 1 软件, 2 文件夹, 3 网页); none for the others.
    CategoryTree* TreeOfPage(int page) { return m_trees.TreeOfPage(page); }
    ImageList& Images() { return m_trees.Images(); }
    const Settings& CurrentSettings() const { return m_settings; }
    // Told after every change of the settings, whoever made it.
    void AddSettingsListener(std::function<void(const Settings&)> listener) {
        m_settingsListeners.push_back(std::move(listener));
    }
    StartDocsForm& StartDocs() { return *this; }
    const std::string& TrayMenuCaption() const { return m_slide.MenuCaption(); }
    // The history as recorded, for reading (tests, benchmarks and the start-up dialog's rows).
    const DocRecords& Records() const { return m_records; }
    const std::string& CurDocText() const { return m_picker.CurDocText(); }
    const Sweep& DocSweep() const { return m_sweep; }

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
    // The session is ending: saves now, as the program's last save, and returns once written.
    void SaveAndWait();
    // Saves the history once, as the program's last save; later calls do nothing.
    void FormDestroy();
    // Waits for the save being written, at most kCloseSaveWait; false (said once on standard
    // error) when it is stuck, which leaves the file it would replace whole.
    bool WaitForSave();
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
    // `mayOpen` false: a click that only expands or collapses a group, which picks, never opens.
    void TreeClick(int page, bool mayOpen = true);
    void TreeDblClick(int page);
    void TreeKeyDown(TreeKey key);
    void TreeExpandedOrCollapsed() { m_picker.ExpandedOrCollapsed(); }
    void MnDeleteSelectedClick();
    void BtnDeleteAllDocsClick();
    // Files dropped on the active tree, recorded in order; true when all were taken.
    bool DropFiles(const std::vector<std::string>& names);
    // The desktop's search, the launchers and the command line: the entries whose shown text
    // answers `query`, best first, and opening the newest entry shown as `text` exactly as a
    // click in 全部 opens it (false when no entry shows that text).
    std::vector<SearchResult> SearchEntries(std::string_view query, std::size_t limit);
    bool OpenShownEntry(const std::string& text);
    // Opening a result of SearchEntries, named by its id (the entry's location).
    bool OpenFoundEntry(const std::string& id);

    // ---- the system page
    void OpenSpecialFolder(int csidl);
    void OpenTaskManager();
    void OpenSystemDirectory();
    void BtnMoreSpecDirClick();

    // ---- the settings page and the window's own settings
    // A box of the settings changed by the user (CbAutoRunDocs, CbRefresh, CbQueryAutoRunDoc).
    void SettingsBoxClick(SettingsBox box, bool checked);
    void CbOnTopClick(bool checked);
    void MnAutoRunClick(bool checked);
    void SbCheckTimeChange(int position);
    // The user made another page of TVAllDocs active.
    void TVAllDocsChange(int page);
    // The window's outer size changed (the user, or the window manager's frame).
    void WindowResized(int width, int height);
    void BtnAutoRunSetClick() { ShowStartDocDialog(); }
    void BtnAboutUSClick();
    void BtnHelpDocClick();
    void RunStartDocs() { m_reopener.RunStartDocs(m_settings.queryAutoRunDoc); }

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
    WebStripController& WebStrip() { return m_web; }
    // Where the windows report what goes wrong in them, as the controller does.
    Diagnostics& Log() const { return m_deps.diagnostics; }

    // The start place: 30 from the right and 40 above the bottom of the screen, frame included.
    void PlaceAtStart();

private:
    friend struct ControllerInsides;  // the tests' way in
    void TimerFirstRunTimer();
    void TimerCheckDocsTimer();
    void timerShowTimer();
    void timerHideTimer();
    void TimerSaveTimer();
    void CbRefreshClick();
    void ShowStartDocDialog();
    // The settings become `next`: their rules run, the window shows them, a save follows.
    void ChangeSettings(const Settings& next);
    void LoadHistory(std::vector<StoredDoc> docs);
    // A change a save would write: the save comes a few seconds later, once per burst.
    void ScheduleSave();
    // The selection in 全部 becomes the start-up marks: only the program's last save does this.
    void MarkSelectedDocs();
    // Writes settings and records; `last`: the program's closing save.
    void SaveNow(bool last);
    void SaveFinished(const FileResult& result);
    void TellReadFailure();
    // The answers the history load did not wait for.
    void ApplyLateAnswers();
    // A removal: the rest reaches the disk at once, so a crash after it keeps it.
    void AfterRemoval();
    // Opens the newest record `wanted` takes, as a click in 全部 opens it; false: none.
    bool OpenNewestEntry(const std::function<bool(const TMyDoc&)>& wanted);

    // ---- StartDocsForm
    std::vector<StartDocRow> Rows() const override { return StartDocRows(m_records); }
    bool DialogShown() override;
    void NotQueryClick(bool checked) override;
    void BtnConfirmClick(const std::vector<bool>& rowSelected) override;
    void SpeedButton2Click(const std::vector<bool>& rowSelected) override;
    void LbSelectDocDblClick(int row) override;

    ControllerDeps m_deps;
    TimerFactory& m_timers;
    MainView* m_view = nullptr;
    Settings m_settings;
    std::optional<Settings> m_savedSettings;  // as last written; none before creation
    std::vector<std::function<void(const Settings&)>> m_settingsListeners;
    DocRecords m_records;
    CategoryTrees m_trees;
    HistoryFile m_file;
    Sweep m_sweep;
    SweepRunner m_sweeps;
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
    std::optional<std::vector<StoredDoc>> m_pendingDocs;  // read, not registered yet
    std::future<LoadedHistory> m_preload;  // the file, read while the window is built
    bool m_afterFirstFrameDone = false;
    bool m_destroyed = false;
    bool m_saveStuck = false;
    bool m_marking = false;  // the marks taken for the last save go out with it
    int m_slideLeft = 0;     // where the running slide has put the window
    int m_slideTop = 0;
};

}  // namespace tk
