#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTreeView>
#include <QWidget>
#include <memory>

#include "desktop/autorun.h"
#include "desktop/file_icons.h"
#include "desktop/file_system.h"
#include "desktop/shell.h"
#include "desktop/shell_windows.h"
#include "desktop/slide.h"
#include "desktop/window_system.h"
#include "detection/sweep.h"
#include "history/history.h"
#include "history/settings.h"
#include "launch/launcher.h"
#include "startup/startup.h"
#include "ui/web_strip.h"
#include "webpanel/web_panel.h"
#include "ui/drop_files_target.h"
#include "ui/timer.h"
#include "ui/tree_model.h"
#include "ui/widgets.h"

class QSessionManager;

namespace tk {

// What the main window is given: the platform behind the interfaces and where its file lives.
struct MainWindowDeps {
    const PathDialect& dialect;
    const FileSystem& files;
    FileIcons& icons;
    WindowSystem& windows;
    ShellWindows& shellWindows;
    Shell& shell;
    std::string settingsLoadPath;
    std::string settingsSavePath;
    bool trayIcon = true;
    // Where the start-at-log-on registration lives; none: the box does nothing.
    AutoRunStore* autoRun = nullptr;
    // The running executable, the program the registration starts.
    std::string executablePath;
    // The site the web strip shows pages of.
    std::string webSite = std::string(kMakerSite);
    // Registers the stored history right after the first frame instead of before it, so a
    // long history does not hold up the window's first appearance.
    bool deferHistoryLoad = false;
    // Makes the strip's browser; none: the browser module beside the executable.
    WebStripFactory* webStripFactory = nullptr;
};

class TFrmMain : public QWidget, public SettingsWindow {
    Q_OBJECT
public:
    explicit TFrmMain(MainWindowDeps deps, QWidget* parent = nullptr);
    ~TFrmMain() override;

    HistoryCore& History() { return m_history; }
    Sweep& DocSweep() { return m_sweep; }
    SlideController& Slide() { return m_slide; }
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    QTreeView* TreeView(int page) const;
    CategoryTreeModel* TreeModel(int page) const;
    Launcher& DocLauncher() { return m_launcher; }
    DocPicker& Picker() { return m_picker; }
    bool ClickOpens() const { return m_picker.ClickOpens(); }
    void SetClickOpens(bool value) { m_picker.SetClickOpens(value); }
    QString CurDocText() const { return QString::fromStdString(m_history.CurDocText); }
    TTimer* TimerCheckDocs() const { return m_timerCheckDocs; }
    TTimer* TimerFirstRun() const { return m_timerFirstRun; }
    // The primary screen's size, which the placement and the slide work against.
    QSize ScreenSize() const;
    // Brings the window in when a second start of the program asks for it.
    void BringIn();

    // ---- SettingsWindow
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

    // ---- handlers
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();
    void WMTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void ToggleMainWindow();
    void timerShowTimer();
    void timerHideTimer();
    void MnOpenKelmoraClick();
    void Exit1Click();
    void CbOnTopClick();
    void TimerFirstRunTimer();
    void TimerCheckDocsTimer();
    void CbRefreshClick();
    void SbCheckTimeChange(int position);
    void MnExpandAllClick();
    void MnDeleteSelectedClick();
    void BtnDeleteAllDocsClick();
    void TVAllDocsChange();
    void TVDocsMouseMove(QTreeView* tree, const QPoint& pos);
    void TVDocsMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void DocsTreeClick();
    void TVAppClick();
    void TVPathClick();
    void TVDocClick();
    void TVDocsDblClick();
    void TVPathDblClick();
    void TVDocDblClick();
    void TVDocsKeyDown(int key);
    void TreeExpandedOrCollapsed();
    void BtnMoreSpecDirClick();
    void MnAutoRunClick();
    void BtnAboutUSClick();
    void BtnHelpDocClick();
    class TFrmVersion* AboutWindow() const;
    class TFrmHelp* HelpWindow() const { return m_help; }
    void RunStartDocs();
    void ShowStartDocDialog();
    void BtnAutoRunSetClick();
    void TimerCheckRadomTimer();
    void LoadPanelPage();
    void WebBrowser1NavigateComplete2();
    void TimerCheckBrowserTimer();
    void CheckBrowserPage();
    void Image2Click();
    // Loads a page into the strip (or remembers it until the browser exists).
    void NavigateWebStrip(const std::string& address);
    WebStripView* WebBrowser1() const { return m_webView; }
    WebPanelSchedule& WebSchedule() { return m_webSchedule; }
    TTimer* TimerCheckBrowser() const { return m_timerCheckBrowser; }
    // The start-up dialog, once it has been asked for.
    class TFrmAutorunDoc* AutorunDoc() const { return m_autorunDoc; }
    void SetDropTargetTree();
    // Registers the stored history if that is still to be done; everything that reads or
    // writes the history calls this first.
    void EnsureHistory();
    void DropTargetDropFiles(TDropFilesTarget* sender, const TDropFilesInfo& info);
    TDropFilesTarget* DropTarget = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildFrame();
    QWidget* BuildTreePage(int page);
    QWidget* BuildSystemPage();
    QWidget* BuildSettingsPage();
    void BuildMenus();
    void BuildSpecialFolderMenu();
    void BuildTimers();
    void CommitData(QSessionManager& manager);
    void PlaceAtStart();
    void CreateWebBrowser();
    // The work kept off the start: window icon, tray icon, stored history, browser engine.
    void AfterFirstFrame();
    void SyncSelection(int page);

    MainWindowDeps m_deps;
    HistoryCore m_history;
    Sweep m_sweep;
    SlideController m_slide;
    Launcher m_launcher;
    DocPicker m_picker;
    StartupReopener m_reopener;
    WebPanelSchedule m_webSchedule;
    WebStripView* m_webView = nullptr;
    bool m_firstFramePainted = false;
    bool m_afterFirstFrameDone = false;
    bool m_historyPending = false;
    std::string m_pendingPage;
    class TFrmAutorunDoc* m_autorunDoc = nullptr;
    class TFrmHelp* m_help = nullptr;
    std::unique_ptr<ImageListIcons> m_images;
    CategoryTreeModel* m_models[4] = {};
    QTreeView* m_trees[4] = {};
    bool m_destroyed = false;
    bool m_placedInFrame = false;
    QSize m_startSize;  // the size the window opened with
    int m_slideLeft = 0;  // where the running slide has put the window
    int m_slideTop = 0;
    QModelIndex m_hintNode;

    // Components, named as the window's definition names them.
    TPageControl* TVAllDocs = nullptr;
    QLabel* PnlHint = nullptr;
    QWidget* SbCenter = nullptr;
    QWidget* ScrollBox1 = nullptr;
    QWidget* PnlWebBrowser = nullptr;
    TClickImage* Image2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QCheckBox* CbOnTop = nullptr;
    QCheckBox* MnAutoRun = nullptr;
    QCheckBox* CbRefresh = nullptr;
    QLabel* LbCheckTime = nullptr;
    QScrollBar* SbCheckTime = nullptr;
    QCheckBox* CbQueryAutoRunDoc = nullptr;
    QCheckBox* CbAutoRunDocs = nullptr;
    TPictureButton* BtnAutoRunSet = nullptr;
    TPictureButton* BtnDeleteAllDocs = nullptr;
    TPictureButton* BtnHelpDoc = nullptr;
    TPictureButton* BtnAboutUS = nullptr;
    QMenu* PmDocTree = nullptr;
    QAction* MnExpandAll = nullptr;
    QAction* MnDeleteAllDocs = nullptr;
    QAction* MnDeleteSelected = nullptr;
    QMenu* popMenu = nullptr;
    QAction* MnOpenKelmora = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* PmMoreSpecialDir = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    TTimer* m_timerCheckDocs = nullptr;
    TTimer* m_timerFirstRun = nullptr;
    TTimer* m_timerShow = nullptr;
    TTimer* m_timerHide = nullptr;
    TTimer* m_timerCheckRadom = nullptr;
    TTimer* m_timerCheckBrowser = nullptr;
};

// The program's icon in all its sizes.
QIcon ProgramIcon();

}  // namespace tk
