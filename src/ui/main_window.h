#pragma once

#include <QPointer>
#include <QSize>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "controller/app_controller.h"
#include "controller/forms.h"
#include "controller/main_view.h"
#include "ui/message_box.h"
#include "ui/web_strip.h"

class QLabel;
class QMenu;
class QAction;
class QSessionManager;

namespace tk {

class ImageListIcons;
class TDropFilesTarget;
class TDropFilesInfo;
class TFrmAutorunDoc;
class TFrmHelp;
class TPageControl;
class TSettingsPage;
class TSystemPage;
class TTreePage;
class TWebStripHost;

// What the Qt window brings of its own.
struct MainWindowDeps {
    bool trayIcon = true;
    // Makes the strip's browser; none: the browser helper beside the executable.
    WebStripFactory* webStripFactory = nullptr;
    // None: the real message boxes.
    MessageBoxes* messageBoxes = nullptr;
    // Ends the program once the window has agreed to close; none: ends the event loop.
    std::function<void()> endProgram;
};

// The main window: it assembles the pages, draws, and hands every user action to the
// controller, which speaks back through MainView.
class TFrmMain : public QWidget, public MainView {
    Q_OBJECT
public:
    explicit TFrmMain(AppController& controller, MainWindowDeps deps = {}, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // None until the first frame: making it asks the desktop's bus.
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    // Said in the hint strip once the window is on screen, with the word on a missing tray.
    void AddStartNotice(const QString& text) { m_startNotices << text; }
    // Runs `work` once the first frame has left (or at once if it has), before the start
    // notices are said: for what waits on the desktop's bus or asks the desktop slow questions.
    void AfterFirstFrameDo(std::function<void()> work);

    // ---- MainView
    void ShowSettings(const Settings& settings) override;
    int WindowWidth() const override;
    int WindowHeight() const override;
    void SetWindowWidth(int width) override;
    void SetWindowHeight(int height) override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    int WindowLeft() const override;
    int WindowTop() const override;
    void MoveWindow(int left, int top) override;
    bool WindowShown() const override { return isVisible(); }
    void ShowWindow() override { show(); }
    void HideWindow() override { hide(); }
    void Unminimize() override;
    void RaiseAndActivate() override;
    void SetStaysOnTop(bool onTop) override;
    void SetTrayMenuCaption(const std::string& caption) override;
    void ExpandAllTrees(bool expand) override;
    void ShowHint(const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void Inform(const std::string& caption, const std::string& text) override;
    void ShowStartDocDialog() override;
    void ShowAbout() override;
    void ShowHelp() override;
    void PopupSpecialFolderMenu() override;
    void EndProgram() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void BuildContent(QWidget* content);
    void BuildMenus();
    void BuildTray();
    void ConnectPages();
    void AfterFirstFrame();
    void ShowNextStartNotice();
    void CommitData(QSessionManager& manager);
    void SetDropTargetTree();
    void DropFiles(const TDropFilesInfo& info);
    void ReportShown();
    void ReportSize();

    AppController& m_controller;
    MainWindowDeps m_deps;
    QtMessageBoxes m_realBoxes;
    MessageBoxes& m_boxes;
    std::unique_ptr<ImageListIcons> m_images;
    TTreePage* m_trees[forms::kTreePageCount] = {};
    TSystemPage* m_system = nullptr;
    TSettingsPage* m_settings = nullptr;
    TWebStripHost* m_webStrip = nullptr;
    TPageControl* TVAllDocs = nullptr;
    QLabel* PnlHint = nullptr;
    QMenu* PmDocTree = nullptr;
    QAction* MnExpandAll = nullptr;
    QMenu* popMenu = nullptr;
    QAction* MnOpenKelmora = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    TDropFilesTarget* m_dropTarget = nullptr;
    TFrmAutorunDoc* m_autorunDoc = nullptr;
    TFrmHelp* m_help = nullptr;
    bool m_firstFramePainted = false;
    bool m_afterFirstFrameDone = false;
    bool m_placedInFrame = false;
    QStringList m_startNotices;
    std::vector<std::function<void()>> m_afterFirstFrameWork;
    QSize m_startSize;  // the size the window opened with
    // The outer size the settings asked for; the frame's share comes off once it is known.
    QSize m_wantedOuter;
    void ApplyWantedOuterSize();
};

// The program's icon in all its sizes.
QIcon ProgramIcon();

}  // namespace tk
