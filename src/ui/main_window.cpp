#include "ui/main_window.h"

#include <utility>

#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QSessionManager>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/about_help.h"
#include "ui/application.h"
#include "ui/artwork.h"
#include "ui/autorun_doc.h"
#include "ui/drop_files_target.h"
#include "ui/lazy_icon.h"
#include "ui/pages/settings_page.h"
#include "ui/pages/system_page.h"
#include "ui/pages/tree_page.h"
#include "ui/style.h"
#include "ui/tree_model.h"
#include "ui/web_strip_host.h"
#include "ui/widgets.h"
#include "ui/window_frame.h"

namespace tk {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QIcon ProgramIcon() {
    // One file per size, each decoded when first drawn: the tray needs one size only.
    static const QList<int> sides = {16, 24, 32, 48, 64, 128, 256};
    static const QIcon icon(new LazyIconEngine(sides, sides, [](int side) {
        return QPixmap(QStringLiteral(":/app_%1.png").arg(side));
    }));
    return icon;
}

TFrmMain::TFrmMain(AppController& controller, MainWindowDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Tool),  // a tool window has no taskbar button
      m_controller(controller),
      m_deps(std::move(deps)),
      m_boxes(m_deps.messageBoxes ? *m_deps.messageBoxes : m_realBoxes) {
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QStringLiteral("TarvoKelmora1.0"));
    resize(kDesignedWidth, kDesignedHeight);
    setFont(SongFont(13));
    Paint(this, kBackground);
    m_images = std::make_unique<ImageListIcons>(m_controller.Images());
    BuildMenus();
    BuildContent(BuildWindowFrame(this));
    ConnectPages();
    m_controller.Attach(*this, m_webStrip);
    m_controller.FormCreate();
    m_startSize = size();
    TVAllDocs->SetTabBitmap(Artwork(QStringLiteral("toolbuttons"), devicePixelRatioF()),
                            Artwork(QStringLiteral("toolbuttons_active.png"), devicePixelRatioF()));
    m_dropTarget = new TDropFilesTarget(this);
    m_dropTarget->setObjectName(QStringLiteral("DropTarget"));
    m_dropTarget->SetOnDropFiles([this](TDropFilesTarget*, const TDropFilesInfo& info) { DropFiles(info); });
    SetDropTargetTree();
    // Should the window never be painted (the window manager keeps it unmapped), the tray
    // icon and the rest still come.
    QTimer::singleShot(2000, this, &TFrmMain::AfterFirstFrame);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &TFrmMain::CommitData);
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            m_controller.FormDestroy();
            if (m_trayIcon) m_trayIcon->hide();
        });
    }
}

TFrmMain::~TFrmMain() {
    m_controller.Detach();
    if (m_trayIcon) m_trayIcon->hide();
    // The pages, and with them the tree models, go before the image list they draw from.
    delete TVAllDocs;
}

// Inside the frame: the page control above the hint strip, then the splitter and the web strip.
void TFrmMain::BuildContent(QWidget* content) {
    auto* boxLayout = new QVBoxLayout(content);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(0);
    auto* splitter = new QSplitter(Qt::Vertical, content);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(5);
    splitter->setChildrenCollapsible(false);
    boxLayout->addWidget(splitter);

    auto* upper = new QWidget(splitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    auto* center = new QWidget(upper);
    center->setObjectName(QStringLiteral("SbCenter"));
    Paint(center, kBackground);
    auto* centerLayout = new QVBoxLayout(center);
    centerLayout->setContentsMargins(0, 0, 0, 0);
    TVAllDocs = new TPageControl(center);
    TVAllDocs->setObjectName(QStringLiteral("TVAllDocs"));
    TVAllDocs->setFont(SongFont(16));
    centerLayout->addWidget(TVAllDocs);
    auto* listBox = new QListWidget(center);
    listBox->setObjectName(QStringLiteral("ListBox1"));
    listBox->hide();
    PnlHint = new QLabel(upper);
    PnlHint->setObjectName(QStringLiteral("PnlHint"));
    PnlHint->setMinimumHeight(19);
    PnlHint->setIndent(4);
    PnlHint->setTextFormat(Qt::PlainText);
    PnlHint->setStyleSheet(QStringLiteral("color: black;"));
    // A long hint wraps onto more lines, taken from the trees above, so that it reads whole
    // (its tool tip holds it too); it must never widen the window past its size or off the
    // screen.
    QSizePolicy hintPolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    hintPolicy.setHeightForWidth(true);
    PnlHint->setSizePolicy(hintPolicy);
    PnlHint->setWordWrap(true);
    upperLayout->addWidget(center, 1);
    upperLayout->addWidget(PnlHint);

    m_webStrip = new TWebStripHost(m_deps.webStripFactory, m_controller.Log(), splitter);
    splitter->addWidget(upper);
    splitter->addWidget(m_webStrip);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({400, 47});

    for (int page = 0; page < forms::kTreePageCount; ++page) {
        m_trees[page] = new TTreePage(page, *m_controller.TreeOfPage(page), *m_images);
        TVAllDocs->AddPage(m_trees[page]);
    }
    m_system = new TSystemPage;
    TVAllDocs->AddPage(m_system);
    m_settings = new TSettingsPage;
    TVAllDocs->AddPage(m_settings);
}

void TFrmMain::BuildMenus() {
    // Both menus from their rows: each item names its action, the controller runs it.
    const auto build = [this](const char* name, const auto& rows) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(name));
        for (const forms::MenuRow& row : rows) {
            QAction* item = menu->addAction(row.caption ? QString::fromUtf8(row.caption) : Q(m_controller.TrayMenuCaption()));
            item->setObjectName(QString::fromLatin1(row.name));
            const forms::Action action = row.action;
            connect(item, &QAction::triggered, this, [this, action] { m_controller.Do(action); });
            if (action == forms::Action::ExpandAll) {
                item->setCheckable(true);
                MnExpandAll = item;
            }
            if (action == forms::Action::OpenKelmora) MnOpenKelmora = item;
        }
        return menu;
    };
    PmDocTree = build(forms::kTreeMenuName, forms::kTreeMenu);
    popMenu = build(forms::kTrayMenuName, forms::kTrayMenu);
}

void TFrmMain::ConnectPages() {
    AppController& c = m_controller;
    for (TTreePage* page : m_trees) {
        connect(page, &TTreePage::Picked, this,
                [&c](int index, bool mayOpen) { c.TreeClick(index, mayOpen); });
        connect(page, &TTreePage::Opened, this, [&c](int index) { c.TreeDblClick(index); });
        connect(page, &TTreePage::KeyPressed, this, [&c](TreeKey key) { c.TreeKeyDown(key); });
        connect(page, &TTreePage::ExpandedOrCollapsed, this, [&c] { c.TreeExpandedOrCollapsed(); });
        connect(page, &TTreePage::MenuRequested, PmDocTree, [this](const QPoint& at) { PmDocTree->popup(at); });
    }
    connect(m_system, &TSystemPage::TargetClicked, this, [&c](int target) { c.OpenTarget(target); });
    connect(m_settings, &TSettingsPage::ActionClicked, this, [&c](forms::Action action, bool on) { c.Do(action, on); });
    connect(m_settings, &TSettingsPage::BoxClicked, this, [&c](SettingsBox box, bool on) { c.SettingsBoxClick(box, on); });
    connect(m_settings, &TSettingsPage::CheckTimeChanged, this, [&c](int position) { c.SbCheckTimeChange(position); });
    connect(m_webStrip, &TWebStripHost::BannerClicked, this, [&c] { c.Do(forms::Action::Home); });
    connect(m_webStrip, &TWebStripHost::NavigateComplete, this, [&c] { c.WebStrip().NavigateComplete(); });
    connect(m_webStrip, &TWebStripHost::BrowserGone, this, [&c] { c.WebStrip().BrowserGone(); });
    connect(m_webStrip, &TWebStripHost::OpenLink, this, [&c](const QString& address) {
        c.WebLinkClicked(address.toStdString());
    });
    connect(TVAllDocs, &TPageControl::Change, this, &TFrmMain::SetDropTargetTree);
    connect(TVAllDocs, &TPageControl::PageShown, this, [&c](int page) { c.TVAllDocsChange(page); });
}

void TFrmMain::BuildTray() {
    if (!m_deps.trayIcon || m_trayIcon) return;
    m_trayIcon = new QSystemTrayIcon(ProgramIcon(), this);
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    m_trayIcon->setToolTip(QStringLiteral("TarvoKelmora"));
    m_trayIcon->setContextMenu(popMenu);
    // The right button opens popMenu, which the tray icon shows at the cursor.
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) m_controller.TrayIconClick();
        // A panel that asks a D-Bus item for its context menu expects the program to open it;
        // a docked icon has opened it already.
        if (reason == QSystemTrayIcon::Context && !popMenu->isVisible()) popMenu->popup(QCursor::pos());
    });
}

// ---- first frame, placement, ending ----------------------------------------------------------

void TFrmMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_firstFramePainted) return;
    m_firstFramePainted = true;
    // Two turns of the event loop: the frame leaves for the display server at the end of the
    // turn that painted it, and what follows must not hold it back.
    QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, &TFrmMain::AfterFirstFrame); });
}

void TFrmMain::AfterFirstFrame() {
    if (m_afterFirstFrameDone) return;
    m_afterFirstFrameDone = true;
    // The window manager shows the icon once it is set; all its sizes go to the server.
    setWindowIcon(ProgramIcon());
    // Even making the tray icon asks the session bus whether a tray watcher is there (and may
    // start one): never before the first frame.
    BuildTray();
    if (m_trayIcon) m_trayIcon->show();
    m_controller.AfterFirstFrame();
    for (auto& work : std::exchange(m_afterFirstFrameWork, {})) work();
    // Without a tray the window must never become unreachable: it stays as it is, and a second
    // start (or --show) brings it in. The icon still docks if a tray comes later.
    if (m_trayIcon && !QSystemTrayIcon::isSystemTrayAvailable()) {
        m_startNotices << QStringLiteral("没有找到系统托盘：再次启动 TarvoKelmora 或运行 "
                                         "“tarvokelmora --show” 可让窗口回来。");
    }
    for (const QString& notice : m_startNotices) qWarning().noquote() << notice;
    ShowNextStartNotice();
}

void TFrmMain::AfterFirstFrameDo(std::function<void()> work) {
    if (m_afterFirstFrameDone) {
        QTimer::singleShot(0, this, std::move(work));
        return;
    }
    m_afterFirstFrameWork.push_back(std::move(work));
}

void TFrmMain::ShowNextStartNotice() {
    if (m_startNotices.isEmpty()) return;
    // One notice at a time, each long enough to be read, unless something the user did has
    // taken the strip meanwhile.
    const QString notice = m_startNotices.takeFirst();
    PnlHint->setText(notice);
    PnlHint->setToolTip(PlainToolTip(notice));
    if (m_startNotices.isEmpty()) return;
    QTimer::singleShot(8000, this, [this, notice] {
        if (PnlHint->text() == notice) ShowNextStartNotice();
    });
}

void TFrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The start size and place count the window manager's frame, known only once the window
    // is on screen: size and place it again then, once. On a loaded desktop the first moves can come before
    // the window has its size; only a framed window of the size it was given counts.
    if (!m_placedInFrame && isVisible() && size() == m_startSize &&
        frameGeometry().width() > width() && frameGeometry().height() > height()) {
        m_placedInFrame = true;
        ApplyWantedOuterSize();
        m_controller.PlaceAtStart();
    }
    ReportSize();
}

void TFrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ReportSize();
}

// The settings keep the outer size, frame included.
void TFrmMain::ReportSize() { m_controller.WindowResized(frameGeometry().width(), frameGeometry().height()); }

// The web strip's browser rests while the window is out of sight.
void TFrmMain::ReportShown() { m_controller.WebStrip().WindowShown(isVisible() && !isMinimized()); }

void TFrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ReportShown();
}

void TFrmMain::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    ReportShown();
}

void TFrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) ReportShown();
}

// The native window comes with the first show (and again should Qt remake it); the shell's
// dialogs are owned by whichever is current.
bool TFrmMain::event(QEvent* event) {
    if (event->type() == QEvent::WinIdChange) m_controller.SetMainWindow(static_cast<WindowHandle>(internalWinId()));
    return QWidget::event(event);
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    if (m_controller.CloseRequested()) event->accept();
    else event->ignore();
}

void TFrmMain::CommitData(QSessionManager& manager) {
    // Log-off or shut-down: the history is saved, then the same question as a close; "no"
    // refuses the log-off.
    if (!manager.allowsInteraction()) {
        m_controller.SaveAndWait();
        return;
    }
    const bool yes = m_controller.CommitData();
    manager.release();
    if (!yes) manager.cancel();
}

void TFrmMain::EndProgram() {
    if (m_deps.endProgram) m_deps.endProgram();
    else tk::EndProgram();
}

// ---- drops -----------------------------------------------------------------------------------

void TFrmMain::SetDropTargetTree() {
    const int page = TVAllDocs->ActivePageIndex();
    // On the system and settings pages the last category tree stays the target.
    if (m_dropTarget && page >= 0 && page < forms::kTreePageCount) m_dropTarget->SetTargetControl(m_trees[page]->Tree());
}

void TFrmMain::DropFiles(const TDropFilesInfo& info) {
    const int page = TVAllDocs->ActivePageIndex();
    QTreeView* tree = page >= 0 && page < forms::kTreePageCount ? m_trees[page]->Tree() : nullptr;
    if (tree) tree->setUpdatesEnabled(false);  // one repaint for the whole drop
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(info.Files.size()));
    for (const QString& name : info.Files) names.push_back(name.toStdString());
    m_controller.DropFiles(names);
    if (tree) tree->setUpdatesEnabled(true);
}

}  // namespace tk
