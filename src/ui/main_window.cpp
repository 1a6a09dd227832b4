#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QSessionManager>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/about_help.h"
#include "ui/application.h"
#include "ui/artwork.h"
#include "ui/autorun_doc.h"
#include "ui/lazy_icon.h"
#include "ui/message_box.h"
#include "base/text.h"

Q_LOGGING_CATEGORY(lcMain, "tarvokelmora.main", QtWarningMsg)

namespace tk {

namespace {

const QColor kBackground(245, 250, 254);
const QColor kPanel(245, 254, 250);
constexpr int kTreeCount = 4;
const char* const kTreeNames[kTreeCount] = {"TVDocs", "TVApp", "TVPath", "TVDoc"};
const char* const kTabSheets[6] = {"TabSheet1", "TabSheet7", "TabSheet2",
                                   "TabSheet3", "TabSheet4", "TabSheet6"};

QFont SongFont(int pixels) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(pixels);
    return font;
}

void Paint(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Base, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// A decorative frame picture; the middle pieces are one pixel wide or high and stretch.
QLabel* FramePiece(const char* name, const QString& picture, QWidget* parent, int w, int h) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(Artwork(picture, parent->devicePixelRatioF()));
    label->setScaledContents(true);
    if (w > 0) label->setFixedWidth(w);
    if (h > 0) label->setFixedHeight(h);
    return label;
}

}  // namespace

QIcon ProgramIcon() {
    // One file per size, each decoded when first drawn: the tray needs one size only.
    static const QList<int> sides = {16, 24, 32, 48, 64, 128, 256};
    static const QIcon icon(new LazyIconEngine(sides, sides, [](int side) {
        return QPixmap(QStringLiteral(":/app_%1.png").arg(side));
    }));
    return icon;
}

TFrmMain::TFrmMain(MainWindowDeps deps, QWidget* parent)
    : QWidget(parent, Qt::Tool),  // a tool window has no taskbar button
      m_deps(std::move(deps)),
      m_history(m_deps.dialect, m_deps.files, m_deps.icons),
      m_sweep(m_history, m_deps.windows, m_deps.shellWindows),
      m_launcher(m_deps.shell, m_deps.files, m_deps.dialect,
                 [this](const std::string& text) {
                     MessageBoxes::Inform(this, QStringLiteral("TarvoKelmora"),
                                          QString::fromStdString(text));
                 }),
      m_picker(m_history, m_launcher),
      m_reopener(m_history, *this, m_sweep, m_launcher,
                 {[this] { ShowStartDocDialog(); },
                  [](int ms) {
                      // The spacing keeps painting alive but lets no user input in.
                      QEventLoop loop;
                      QTimer::singleShot(ms, &loop, &QEventLoop::quit);
                      loop.exec(QEventLoop::ExcludeUserInputEvents);
                  },
                  [this](const std::string& text) { PnlHint->setText(QString::fromStdString(text)); }}),
      m_webSchedule(m_deps.webSite) {
    setObjectName(QStringLiteral("FrmMain"));
    resize(kDesignedWidth, kDesignedHeight);
    setFont(SongFont(13));
    Paint(this, kBackground);
    m_images = std::make_unique<ImageListIcons>(m_history.Images());
    BuildTimers();
    BuildMenus();
    BuildFrame();
    m_history.SetWindow(this);
    m_picker.SetHintSink([this](const std::string& text) { PnlHint->setText(QString::fromStdString(text)); });
    m_history.SetSettingsPaths(m_deps.settingsLoadPath, m_deps.settingsSavePath);
    FormCreate();
}

TFrmMain::~TFrmMain() {
    FormDestroy();
    // The models go before the core trees they listen to.
    for (auto*& model : m_models) {
        delete model;
        model = nullptr;
    }
}

QSize TFrmMain::ScreenSize() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

// ---- building ---------------------------------------------------------------------------

void TFrmMain::BuildTimers() {
    m_timerCheckDocs = new TTimer(kDefaultCheckInterval, this);
    m_timerCheckDocs->SetInterval(kDefaultCheckInterval);
    m_timerCheckDocs->setObjectName(QStringLiteral("TimerCheckDocs"));
    connect(m_timerCheckDocs, &TTimer::Timer, this, &TFrmMain::TimerCheckDocsTimer);
    m_timerFirstRun = new TTimer(1000, this);
    m_timerFirstRun->SetInterval(1000);
    m_timerFirstRun->SetSingleShot(true);
    m_timerFirstRun->setObjectName(QStringLiteral("TimerFirstRun"));
    connect(m_timerFirstRun, &TTimer::Timer, this, &TFrmMain::TimerFirstRunTimer);
    m_timerShow = new TTimer(SlideController::kIntervalMs, this);
    m_timerShow->SetInterval(SlideController::kIntervalMs);
    m_timerShow->setObjectName(QStringLiteral("timerShow"));
    connect(m_timerShow, &TTimer::Timer, this, &TFrmMain::timerShowTimer);
    m_timerHide = new TTimer(SlideController::kIntervalMs, this);
    m_timerHide->SetInterval(SlideController::kIntervalMs);
    m_timerHide->setObjectName(QStringLiteral("timerHide"));
    connect(m_timerHide, &TTimer::Timer, this, &TFrmMain::timerHideTimer);
    m_timerCheckRadom = new TTimer(60000, this);
    m_timerCheckRadom->SetInterval(60000);
    m_timerCheckRadom->setObjectName(QStringLiteral("TimerCheckRadom"));
    connect(m_timerCheckRadom, &TTimer::Timer, this, &TFrmMain::TimerCheckRadomTimer);
    m_timerCheckRadom->SetEnabled(true);
    m_timerCheckBrowser = new TTimer(1000, this);
    m_timerCheckBrowser->SetInterval(1000);
    m_timerCheckBrowser->setObjectName(QStringLiteral("TimerCheckBrowser"));
    connect(m_timerCheckBrowser, &TTimer::Timer, this, &TFrmMain::TimerCheckBrowserTimer);
    m_timerCheckBrowser->SetEnabled(true);
}

void TFrmMain::BuildMenus() {
    PmDocTree = new QMenu(this);
    PmDocTree->setObjectName(QStringLiteral("PmDocTree"));
    MnExpandAll = PmDocTree->addAction(QStringLiteral("展开全部(&E)"));
    MnExpandAll->setObjectName(QStringLiteral("MnExpandAll"));
    MnExpandAll->setCheckable(true);
    MnDeleteAllDocs = PmDocTree->addAction(QStringLiteral("删除所有(&D)"));
    MnDeleteAllDocs->setObjectName(QStringLiteral("MnDeleteAllDocs"));
    MnDeleteSelected = PmDocTree->addAction(QStringLiteral("删除所选(&D)"));
    MnDeleteSelected->setObjectName(QStringLiteral("MnDeleteSelected"));
    connect(MnExpandAll, &QAction::triggered, this, &TFrmMain::MnExpandAllClick);
    connect(MnDeleteAllDocs, &QAction::triggered, this, &TFrmMain::BtnDeleteAllDocsClick);
    connect(MnDeleteSelected, &QAction::triggered, this, &TFrmMain::MnDeleteSelectedClick);

    popMenu = new QMenu(this);
    popMenu->setObjectName(QStringLiteral("popMenu"));
    MnOpenKelmora = popMenu->addAction(QString::fromStdString(m_slide.MenuCaption()));
    MnOpenKelmora->setObjectName(QStringLiteral("MnOpenKelmora"));
    Exit1 = popMenu->addAction(QStringLiteral("退出(&E)"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(MnOpenKelmora, &QAction::triggered, this, &TFrmMain::MnOpenKelmoraClick);
    connect(Exit1, &QAction::triggered, this, &TFrmMain::Exit1Click);

    BuildSpecialFolderMenu();
}

void TFrmMain::BuildSpecialFolderMenu() {
    PmMoreSpecialDir = new QMenu(this);
    PmMoreSpecialDir->setObjectName(QStringLiteral("PmMoreSpecialDir"));
    QMenu* n2 = PmMoreSpecialDir->addMenu(QStringLiteral("当前用户"));
    n2->setObjectName(QStringLiteral("N2"));
    QMenu* n1 = PmMoreSpecialDir->addMenu(QStringLiteral("所有用户"));
    n1->setObjectName(QStringLiteral("N1"));
    // -1: the system directory; -2: nothing on this desktop (the item shows disabled).
    struct Item {
        QMenu* menu;
        const char* name;
        const char* caption;
        int target;
    };
    const Item items[] = {
        {n2, "PmDesktopPath", "桌面文件夹", kCsidlDesktopDirectory},
        {n2, "Cookie1", "Cookies", kCsidlCookies},
        {n2, "pmFont", "系统字体", kCsidlFonts},
        {n2, "N4", "驱动", kCsidlDrives},
        {n2, "N11", "缓存", kCsidlInternetCache},
        {n2, "lianj1", "网络连接", kCsidlNetHood},
        {n2, "N12", "打印机", kCsidlPrinters},
        {n2, "N13", "网络打印机", kCsidlPrintHood},
        {n2, "N14", "程序文件所在文件夹", kCsidlProgramFiles},
        {n2, "N15", "程序菜单文件夹", kCsidlPrograms},
        {n2, "N16", "发送到文件夹", kCsidlSendTo},
        {n2, "N17", "开始菜单", kCsidlStartMenu},
        {n2, "N18", "驱动", kCsidlDrives},
        {n2, "Windows1", "Windows文件夹", -1},
        {n2, "N19", "发送给", -2},
        {n1, "N3", "我的文档", kCsidlCommonDocuments},
        {n1, "N5", "桌面", kCsidlCommonDesktopDirectory},
        {n1, "N6", "我的收藏夹", kCsidlCommonFavorites},
        {n1, "N7", "程序", kCsidlCommonPrograms},
        {n1, "N8", "开始菜单", kCsidlCommonStartMenu},
        {n1, "N9", "启动", kCsidlCommonStartup},
        {n1, "N10", "模块", -2},
    };
    for (const Item& item : items) {
        QAction* action = item.menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        const int target = item.target;
        if (target == -2) {
            action->setEnabled(false);
        } else if (target == -1) {
            connect(action, &QAction::triggered, this, [this] { m_launcher.OpenSystemDirectory(); });
        } else {
            connect(action, &QAction::triggered, this,
                    [this, target] { m_launcher.OpenSpecialFolder(target, 0); });
        }
    }
}

void TFrmMain::BtnMoreSpecDirClick() {
    // The window's screen place plus the button's place on its page, as the menu has always
    // opened: near the button, not exactly under it.
    PmMoreSpecialDir->popup(QPoint(frameGeometry().x() + 218, frameGeometry().y() + 106 + 30));
}

void TFrmMain::BuildFrame() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);

    auto* pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("PnlTop"));
    pnlTop->setFixedHeight(13);
    Paint(pnlTop, kPanel);
    auto* topRow = new QHBoxLayout(pnlTop);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->setSpacing(0);
    topRow->addWidget(FramePiece("Image3", QStringLiteral("frame_top_left.png"), pnlTop, 14, 13));
    topRow->addWidget(FramePiece("ImgCenter", QStringLiteral("frame_top_center.png"), pnlTop, 0, 13), 1);
    topRow->addWidget(FramePiece("ImgTopRight", QStringLiteral("frame_top_right.png"), pnlTop, 11, 13));

    auto* pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("PnlBottom"));
    pnlBottom->setFixedHeight(10);
    Paint(pnlBottom, kPanel);
    auto* bottomRow = new QHBoxLayout(pnlBottom);
    bottomRow->setContentsMargins(0, 0, 0, 0);
    bottomRow->setSpacing(0);
    bottomRow->addWidget(FramePiece("Image6", QStringLiteral("frame_bottom_left.png"), pnlBottom, 14, 10));
    bottomRow->addWidget(FramePiece("Image4", QStringLiteral("frame_bottom_center.png"), pnlBottom, 0, 10), 1);
    bottomRow->addWidget(FramePiece("Image5", QStringLiteral("frame_bottom_right.png"), pnlBottom, 11, 10));

    ScrollBox1 = new QWidget(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    Paint(ScrollBox1, kBackground);

    grid->addWidget(pnlTop, 0, 0, 1, 3);
    grid->addWidget(FramePiece("ImgLeft", QStringLiteral("frame_left.png"), this, 10, 0), 1, 0);
    grid->addWidget(ScrollBox1, 1, 1);
    grid->addWidget(FramePiece("ImgRight", QStringLiteral("frame_right.png"), this, 3, 0), 1, 2);
    grid->addWidget(pnlBottom, 2, 0, 1, 3);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);

    // Inside: the page control above the hint strip, then the splitter and the web strip.
    auto* boxLayout = new QVBoxLayout(ScrollBox1);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(0);
    Splitter1 = new QSplitter(Qt::Vertical, ScrollBox1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    boxLayout->addWidget(Splitter1);

    auto* upper = new QWidget(Splitter1);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    SbCenter = new QWidget(upper);
    SbCenter->setObjectName(QStringLiteral("SbCenter"));
    Paint(SbCenter, kBackground);
    auto* centerLayout = new QVBoxLayout(SbCenter);
    centerLayout->setContentsMargins(0, 0, 0, 0);
    TVAllDocs = new TPageControl(SbCenter);
    TVAllDocs->setObjectName(QStringLiteral("TVAllDocs"));
    TVAllDocs->setFont(SongFont(16));
    centerLayout->addWidget(TVAllDocs);
    ListBox1 = new QListWidget(SbCenter);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->hide();
    PnlHint = new QLabel(upper);
    PnlHint->setObjectName(QStringLiteral("PnlHint"));
    PnlHint->setFixedHeight(19);
    PnlHint->setIndent(4);
    PnlHint->setTextFormat(Qt::PlainText);
    PnlHint->setStyleSheet(QStringLiteral("color: black;"));
    upperLayout->addWidget(SbCenter, 1);
    upperLayout->addWidget(PnlHint);

    PnlWebBrowser = new QWidget(Splitter1);
    PnlWebBrowser->setObjectName(QStringLiteral("PnlWebBrowser"));
    PnlWebBrowser->setMinimumHeight(20);
    Paint(PnlWebBrowser, kBackground);
    Image2 = new TClickImage(PnlWebBrowser);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(Artwork(QStringLiteral("banner.png"), devicePixelRatioF()));
    Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->move(0, 0);
    Image2->resize(468, 47);
    connect(Image2, &TClickImage::Clicked, this, &TFrmMain::Image2Click);
    Splitter1->addWidget(upper);
    Splitter1->addWidget(PnlWebBrowser);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({400, 47});

    for (int page = 0; page < kTreeCount; ++page) TVAllDocs->AddPage(BuildTreePage(page));
    TVAllDocs->AddPage(BuildSystemPage());
    TVAllDocs->AddPage(BuildSettingsPage());
    for (int i = 0; i < 6; ++i) TVAllDocs->Page(i)->setObjectName(QString::fromLatin1(kTabSheets[i]));
    connect(TVAllDocs, &TPageControl::Change, this, &TFrmMain::TVAllDocsChange);
}

QWidget* TFrmMain::BuildTreePage(int page) {
    auto* sheet = new QWidget;
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* tree = new QTreeView(sheet);
    tree->setObjectName(QString::fromLatin1(kTreeNames[page]));
    tree->setHeaderHidden(true);
    tree->setFrameShape(QFrame::NoFrame);
    tree->setIndentation(19);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setUniformRowHeights(true);
    tree->setIconSize(QSize(16, 16));
    tree->setFont(SongFont(13));
    tree->setToolTip(QStringLiteral("鼠标右键有更多功能"));
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette pal = tree->palette();
    pal.setColor(QPalette::Base, kBackground);
    // The selection stays visible when the tree loses the focus.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    tree->setPalette(pal);
    CategoryTree* core = m_history.TreeOfPage(page);
    auto* model = new CategoryTreeModel(*core, *m_images);
    tree->setModel(model);
    m_models[page] = model;
    m_trees[page] = tree;
    connect(model, &CategoryTreeModel::MakeVisibleRequested, tree, [tree](const QModelIndex& index) {
        // A hidden tree scrolls when it is next shown: scrolling it now would lay it out
        // again for every registration of a load.
        if (tree->isVisible()) {
            tree->scrollTo(index);
        } else {
            tree->setProperty("pendingScroll", QVariant::fromValue(QPersistentModelIndex(index)));
        }
    });
    connect(tree, &QWidget::customContextMenuRequested, this,
            [this, tree](const QPoint& pos) { PmDocTree->popup(tree->viewport()->mapToGlobal(pos)); });
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, page] { SyncSelection(page); });
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [core](const QModelIndex& current) { core->SetCurrent(CategoryTreeModel::NodeOf(current)); });
    if (page != 1) {
        connect(tree, &QTreeView::expanded, this, &TFrmMain::TreeExpandedOrCollapsed);
        connect(tree, &QTreeView::collapsed, this, &TFrmMain::TreeExpandedOrCollapsed);
    }
    tree->installEventFilter(this);
    switch (page) {
        case 0:
            tree->setMouseTracking(true);
            tree->viewport()->installEventFilter(this);
            tree->installEventFilter(this);
            connect(tree, &QTreeView::doubleClicked, this, &TFrmMain::TVDocsDblClick);
            break;
        case 1:
            connect(tree, &QTreeView::clicked, this, &TFrmMain::TVAppClick);
            break;
        case 2:
            connect(tree, &QTreeView::clicked, this, &TFrmMain::TVPathClick);
            connect(tree, &QTreeView::doubleClicked, this, &TFrmMain::TVPathDblClick);
            break;
        default:
            connect(tree, &QTreeView::clicked, this, &TFrmMain::TVDocClick);
            connect(tree, &QTreeView::doubleClicked, this, &TFrmMain::TVDocDblClick);
            break;
    }
    layout->addWidget(tree);
    return sheet;
}

QWidget* TFrmMain::BuildSystemPage() {
    auto* sheet = new QWidget;
    Paint(sheet, kBackground);
    auto* image15 = new TShownPicture(QStringLiteral("system.png"), sheet);
    image15->setObjectName(QStringLiteral("Image15"));
    image15->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image15->move(0, 0);
    image15->resize(616, 252);
    struct Button {
        const char* name;
        int left, top, width, height;
        const char* hint;
    };
    static const Button buttons[] = {
        {"SpeedButton5", 17, 14, 86, 25, ""},          {"SpeedButton6", 108, 15, 88, 23, ""},
        {"SpeedButton7", 207, 14, 91, 23, "我的桌面"},  {"SpeedButton8", 303, 14, 105, 24, "垃圾回收站"},
        {"SpeedButton9", 12, 44, 92, 24, "控制面板"},   {"SpeedButton23", 106, 44, 94, 24, "历史记录"},
        {"SpeedButton22", 209, 45, 84, 24, "收藏夹"},   {"SpeedButton19", 304, 45, 93, 24, "网上邻居"},
        {"BtmManageTask", 13, 74, 91, 25, "任务管理器"}, {"SpeedButton17", 107, 75, 91, 24, "开始菜单"},
        {"SpeedButton14", 211, 75, 82, 23, "程序"},     {"SpeedButton11", 306, 75, 90, 24, "桌面路径"},
        {"SpeedButton16", 21, 106, 60, 22, "启动"},     {"SpeedButton1", 96, 107, 112, 22, "Windows系统路径"},
        {"BtnMoreSpecDir", 218, 106, 73, 23, "更多..."},
    };
    for (const auto& b : buttons) {
        auto* button = new TPictureButton(QString::fromLatin1(b.name), QString(), sheet);
        button->setGeometry(b.left, b.top, b.width, b.height);
        button->setToolTip(QString::fromUtf8(b.hint));
        const QString name = QString::fromLatin1(b.name);
        connect(button, &QAbstractButton::clicked, this, [this, name] {
            static const QHash<QString, int> folders = {
                {QStringLiteral("SpeedButton5"), kCsidlDrives},
                {QStringLiteral("SpeedButton6"), kCsidlPersonal},
                {QStringLiteral("SpeedButton7"), kCsidlDesktop},
                {QStringLiteral("SpeedButton8"), kCsidlBitBucket},
                {QStringLiteral("SpeedButton9"), kCsidlControls},
                {QStringLiteral("SpeedButton23"), kCsidlHistory},
                {QStringLiteral("SpeedButton22"), kCsidlFavorites},
                {QStringLiteral("SpeedButton19"), kCsidlNetwork},
                {QStringLiteral("SpeedButton17"), kCsidlStartMenu},
                {QStringLiteral("SpeedButton14"), kCsidlPrograms},
                {QStringLiteral("SpeedButton11"), kCsidlDesktopDirectory},
                {QStringLiteral("SpeedButton16"), kCsidlStartup},
            };
            if (folders.contains(name)) m_launcher.OpenSpecialFolder(folders.value(name), 0);
            else if (name == QStringLiteral("BtmManageTask")) m_launcher.OpenTaskManager();
            else if (name == QStringLiteral("SpeedButton1")) m_launcher.OpenSystemDirectory();
            else if (name == QStringLiteral("BtnMoreSpecDir")) BtnMoreSpecDirClick();
        });
    }
    return sheet;
}

QWidget* TFrmMain::BuildSettingsPage() {
    auto* sheet = new QWidget;
    Paint(sheet, kBackground);
    sheet->setFont(SongFont(15));
    // Group boxes drawn as light framed panels, whatever the desktop's widget style.
    sheet->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #b9cadd; border-radius: 3px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
        "QCheckBox { spacing: 3px; }"));
    auto checkBox = [](const char* name, const char* caption, QWidget* parent, int x, int y) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
        box->setObjectName(QString::fromLatin1(name));
        box->setFont(SongFont(13));
        box->adjustSize();
        box->move(x, y);
        return box;
    };
    CbOnTop = checkBox("CbOnTop", "窗体总在最上方", sheet, 9, 6);
    MnAutoRun = checkBox("MnAutoRun", "开机时自动启动", sheet, 191, 6);

    auto* groupBox1 = new QGroupBox(QStringLiteral("侦查已打开文档"), sheet);
    groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    groupBox1->setFont(SongFont(13));
    groupBox1->setGeometry(7, 29, 174, 76);
    CbRefresh = checkBox("CbRefresh", "刷新", groupBox1, 6, 19);
    LbCheckTime = new QLabel(QString::fromStdString(CheckTimeLabel(kCheckTimeInitial)), groupBox1);
    LbCheckTime->setObjectName(QStringLiteral("LbCheckTime"));
    LbCheckTime->setFont(SongFont(13));
    LbCheckTime->move(65, 21);
    LbCheckTime->resize(105, 16);
    SbCheckTime = new QScrollBar(Qt::Horizontal, groupBox1);
    SbCheckTime->setObjectName(QStringLiteral("SbCheckTime"));
    SbCheckTime->setRange(kCheckTimeMin, kCheckTimeMax);
    SbCheckTime->setValue(kCheckTimeInitial);
    SbCheckTime->setSingleStep(1);
    SbCheckTime->setPageStep(1);
    SbCheckTime->setGeometry(6, 46, 163, 17);

    auto* groupBox2 = new QGroupBox(QStringLiteral("设置启动文档"), sheet);
    groupBox2->setObjectName(QStringLiteral("GroupBox2"));
    groupBox2->setFont(SongFont(13));
    groupBox2->setGeometry(189, 27, 147, 81);
    CbQueryAutoRunDoc = checkBox("CbQueryAutoRunDoc", "自动启动文档时询问", groupBox2, 5, 15);
    CbAutoRunDocs = checkBox("CbAutoRunDocs", "自动启动历史文档", groupBox2, 5, 33);
    BtnAutoRunSet = new TPictureButton(QStringLiteral("BtnAutoRunSet"),
                                       QStringLiteral("btn_autorun_set.png"), groupBox2);
    BtnAutoRunSet->setGeometry(16, 53, 111, 24);
    BtnAutoRunSet->setToolTip(QStringLiteral("启动文档设置"));

    BtnDeleteAllDocs = new TPictureButton(QStringLiteral("BtnDeleteAllDocs"),
                                          QStringLiteral("btn_delete_all.png"), sheet);
    BtnDeleteAllDocs->setGeometry(16, 110, 122, 26);
    BtnHelpDoc = new TPictureButton(QStringLiteral("BtnHelpDoc"), QStringLiteral("btn_help.png"), sheet);
    BtnHelpDoc->setGeometry(156, 109, 122, 26);
    BtnHelpDoc->setToolTip(QStringLiteral("帮助文档"));
    BtnAboutUS = new TPictureButton(QStringLiteral("BtnAboutUS"), QStringLiteral("btn_about.png"), sheet);
    BtnAboutUS->setGeometry(284, 110, 122, 26);

    connect(CbOnTop, &QCheckBox::toggled, this, &TFrmMain::CbOnTopClick);
    connect(MnAutoRun, &QCheckBox::toggled, this, &TFrmMain::MnAutoRunClick);
    connect(CbRefresh, &QCheckBox::toggled, this, &TFrmMain::CbRefreshClick);
    connect(SbCheckTime, &QScrollBar::valueChanged, this, &TFrmMain::SbCheckTimeChange);
    connect(BtnDeleteAllDocs, &QAbstractButton::clicked, this, &TFrmMain::BtnDeleteAllDocsClick);
    connect(BtnAutoRunSet, &QAbstractButton::clicked, this, &TFrmMain::BtnAutoRunSetClick);
    connect(BtnAboutUS, &QAbstractButton::clicked, this, &TFrmMain::BtnAboutUSClick);
    connect(BtnHelpDoc, &QAbstractButton::clicked, this, &TFrmMain::BtnHelpDocClick);
    return sheet;
}

// ---- creation and end -------------------------------------------------------------------

void TFrmMain::FormCreate() {
    setWindowTitle(QStringLiteral("TarvoKelmora1.0"));
    try {
        // LastImageIndex starts at 10 in the core, so stored programs get 11 and up.
        m_history.LoadSettings(!m_deps.deferHistoryLoad);
        m_historyPending = m_deps.deferHistoryLoad;
        if (!m_history.LastError().empty()) {
            qCInfo(lcMain) << "settings file:" << QString::fromStdString(m_history.LastError());
        }
        PlaceAtStart();
        TVAllDocs->SetTabBitmap(Artwork(QStringLiteral("toolbuttons"), devicePixelRatioF()),
                                Artwork(QStringLiteral("toolbuttons_active.png"), devicePixelRatioF()));
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "creation, settings:" << e.what();
    }
    // The filters come after the stored history, which only meets the resource test.
    if (!m_historyPending) m_history.FillDocFilters();
    try {
        DropTarget = new TDropFilesTarget(this);
        DropTarget->setObjectName(QStringLiteral("DropTarget"));
        DropTarget->SetOnDropFiles([this](TDropFilesTarget* sender, const TDropFilesInfo& info) {
            DropTargetDropFiles(sender, info);
        });
        SetDropTargetTree();
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "creation, drop target:" << e.what();
    }
    try {
        if (m_deps.trayIcon) {
            m_trayIcon = new QSystemTrayIcon(ProgramIcon(), this);
            m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
            m_trayIcon->setToolTip(QStringLiteral("TarvoKelmora"));
            m_trayIcon->setContextMenu(popMenu);
            connect(m_trayIcon, &QSystemTrayIcon::activated, this, &TFrmMain::WMTrayIcon);
            // Docking asks the desktop over D-Bus and X: it comes after the first frame.
        }
        m_timerFirstRun->SetEnabled(true);
        // Should the window never be painted (the window manager keeps it unmapped), the tray
        // icon and the rest still come.
        QTimer::singleShot(2000, this, &TFrmMain::AfterFirstFrame);
        // A present registration ticks the box, whose click handling writes it again with
        // the path of the executable now running.
        if (m_deps.autoRun) MnAutoRun->setChecked(IsAutoRun(*m_deps.autoRun, std::string(kAutoRunName)));
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "creation, desktop:" << e.what();
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &TFrmMain::CommitData);
        connect(app, &QCoreApplication::aboutToQuit, this, &TFrmMain::FormDestroy);
    }
}

void TFrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The start place counts the window manager's frame, known only once the window is on
    // screen: place it again then, once.
    // On a loaded desktop the first moves can come before the window has its size; only a
    // framed window of the size it was given counts.
    if (!m_placedInFrame && isVisible() && size() == m_startSize &&
        frameGeometry().width() > width() && frameGeometry().height() > height()) {
        m_placedInFrame = true;
        PlaceAtStart();
    }
}

void TFrmMain::PlaceAtStart() {
    if (!m_startSize.isValid()) m_startSize = size();
    const QSize screen = ScreenSize();
    move(SlideController::StartLeft(screen.width(), WindowWidth()),
         SlideController::StartTop(screen.height(), WindowHeight()));
}

void TFrmMain::EnsureHistory() {
    if (!m_historyPending) return;
    m_historyPending = false;
    try {
        m_history.LoadStoredHistory();
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "history:" << e.what();
    }
    m_history.FillDocFilters();
}

void TFrmMain::FormDestroy() {
    if (m_destroyed) return;
    EnsureHistory();  // never save a history that was not read yet
    m_destroyed = true;
    try {
        if (!m_history.SaveSettings()) {
            qCInfo(lcMain) << "saving failed:" << QString::fromStdString(m_history.LastError());
        }
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "saving:" << e.what();
    }
    if (m_trayIcon) m_trayIcon->hide();
}

bool TFrmMain::FormCloseQuery() {
    EnsureHistory();
    m_sweep.CheckOpenDocs();
    NavigateWebStrip(m_webSchedule.ClosePage());
    return MessageBoxes::AskYesNo(this, QStringLiteral("提示"), QStringLiteral("要退出系统吗?"));
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    if (m_destroyed || FormCloseQuery()) {
        event->accept();
        EndProgram();
    } else {
        event->ignore();
    }
}

void TFrmMain::CommitData(QSessionManager& manager) {
    // Log-off or shut-down: the same question as a close; "no" refuses the log-off.
    if (!manager.allowsInteraction()) return;
    const bool yes = FormCloseQuery();
    manager.release();
    if (!yes) manager.cancel();
}

void TFrmMain::Exit1Click() {
    if (MessageBoxes::AskYesNo(this, QStringLiteral("提示"), QStringLiteral("要退出系统吗?"))) {
        EndProgram();
    }
}

// ---- tray and slide ---------------------------------------------------------------------

void TFrmMain::WMTrayIcon(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) {
        activateWindow();
        ToggleMainWindow();
    }
    // The right button opens popMenu, which the tray icon shows at the cursor.
}

void TFrmMain::ToggleMainWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    const bool visible = isVisible();
    const SlideController::Action action = m_slide.Toggle(visible);
    if (action == SlideController::Action::None) return;
    MnOpenKelmora->setText(QString::fromStdString(m_slide.MenuCaption()));
    if (action == SlideController::Action::StartHide) {
        m_slideLeft = frameGeometry().x();
        m_slideTop = frameGeometry().y();
        m_timerHide->SetEnabled(true);
        return;
    }
    const QSize screen = ScreenSize();
    m_slideLeft = SlideController::ShowLeft(screen.width());
    m_slideTop = SlideController::ShowTop(screen.height(), WindowHeight());
    move(m_slideLeft, m_slideTop);
    m_timerShow->SetEnabled(true);
    show();
}

// The slides count their own steps: a window manager may hold a window partly on screen
// and report that place back, which must not bend the slide.
void TFrmMain::timerShowTimer() {
    int next = 0;
    if (m_slide.ShowStep(m_slideLeft, ScreenSize().width(), WindowWidth(), next)) {
        m_slideLeft = next;
        move(next, m_slideTop);
    } else {
        m_timerShow->SetEnabled(false);
    }
}

void TFrmMain::timerHideTimer() {
    int next = 0;
    if (m_slide.HideStep(m_slideLeft, ScreenSize().width(), next)) {
        m_slideLeft = next;
        move(next, m_slideTop);
    } else {
        m_timerHide->SetEnabled(false);
        hide();
    }
}

void TFrmMain::MnOpenKelmoraClick() { ToggleMainWindow(); }

void TFrmMain::BringIn() {
    if (!isVisible()) {
        ToggleMainWindow();
    } else {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        raise();
        activateWindow();
    }
}

void TFrmMain::CbOnTopClick() {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, CbOnTop->isChecked());
    if (visible) show();  // changing the flags hides a shown window
}

// ---- the sweep and its settings -----------------------------------------------------------

void TFrmMain::TimerFirstRunTimer() {
    m_timerFirstRun->SetEnabled(false);
    EnsureHistory();
    try {
        if (CbAutoRunDocs->isChecked()) RunStartDocs();
        m_sweep.CheckOpenDocs();
        NavigateWebStrip(m_webSchedule.FirstPage());
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "start-up work:" << e.what();
    }
}

void TFrmMain::RunStartDocs() { m_reopener.RunStartDocs(); }

namespace {
// The about window belongs to the application, not to the main window: it is kept here.
QPointer<TFrmVersion> g_aboutWindow;
}  // namespace

TFrmVersion* TFrmMain::AboutWindow() const { return g_aboutWindow; }

void TFrmMain::BtnAboutUSClick() {
    if (!g_aboutWindow) {
        g_aboutWindow = new TFrmVersion([this] { m_launcher.OpenWebAddress(m_webSchedule.Site()); });
        g_aboutWindow->setAttribute(Qt::WA_QuitOnClose, false);
        connect(this, &QObject::destroyed, g_aboutWindow.data(), &QObject::deleteLater);
    }
    g_aboutWindow->show();
    g_aboutWindow->raise();
}

void TFrmMain::BtnHelpDocClick() {
    if (m_help == nullptr) m_help = new TFrmHelp(this);
    m_help->show();
    m_help->raise();
}

void TFrmMain::MnAutoRunClick() {
    if (!m_deps.autoRun) return;
    // The box shows what the store really holds afterwards: a refused write must not look
    // like success.
    const bool shown = MnAutoRunClickResult(*m_deps.autoRun, MnAutoRun->isChecked(),
                                            m_deps.executablePath);
    if (shown != MnAutoRun->isChecked()) {
        QSignalBlocker block(MnAutoRun);
        MnAutoRun->setChecked(shown);
    }
}

// ---- the web strip ------------------------------------------------------------------------

void TFrmMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_firstFramePainted) {
        m_firstFramePainted = true;
        // Two turns of the event loop: the frame leaves for the display server at the end of
        // the turn that painted it, and what follows must not hold it back.
        QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, &TFrmMain::AfterFirstFrame); });
    }
}

void TFrmMain::AfterFirstFrame() {
    if (m_afterFirstFrameDone) return;
    m_afterFirstFrameDone = true;
    // The window manager shows the icon once it is set; all its sizes go to the server.
    setWindowIcon(ProgramIcon());
    if (m_trayIcon) m_trayIcon->show();
    // The history and then the browser engine come after the first frame, never before.
    EnsureHistory();
    QTimer::singleShot(0, this, &TFrmMain::CreateWebBrowser);
}

void TFrmMain::CreateWebBrowser() {
    if (m_webView != nullptr) return;
    try {
        QString error;
        WebStripFactory* factory = m_deps.webStripFactory ? m_deps.webStripFactory
                                                          : LoadWebStripModule(&error);
        if (factory == nullptr) {
            qCInfo(lcMain) << "web strip unavailable:" << error;
            return;
        }
        m_webView = factory->Create(PnlWebBrowser);
        QWidget* browser = m_webView->Widget();
        browser->setObjectName(QStringLiteral("WebBrowser1"));
        // Out of view until a check finds a page worth showing; the banner shows meanwhile.
        browser->setGeometry(336, -2000, 193, 42);
        browser->show();
        m_webView->SetNavigateComplete([this] { WebBrowser1NavigateComplete2(); });
        if (!m_pendingPage.empty()) {
            m_webView->Navigate(QUrl(QString::fromStdString(m_pendingPage)));
            m_pendingPage.clear();
        }
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "web strip:" << e.what();
    }
}

void TFrmMain::NavigateWebStrip(const std::string& address) {
    if (m_webView == nullptr) {
        m_pendingPage = address;
        return;
    }
    m_webView->Navigate(QUrl(QString::fromStdString(address)));
}

void TFrmMain::TimerCheckRadomTimer() { LoadPanelPage(); }

void TFrmMain::LoadPanelPage() { NavigateWebStrip(m_webSchedule.LoadPanelPage()); }

void TFrmMain::WebBrowser1NavigateComplete2() {
    // Already on: its countdown goes on; two navigations within a second make one check.
    m_timerCheckBrowser->SetEnabled(true);
}

void TFrmMain::TimerCheckBrowserTimer() {
    m_timerCheckBrowser->SetEnabled(false);
    CheckBrowserPage();
}

void TFrmMain::CheckBrowserPage() {
    if (m_webView == nullptr) return;
    const QString location = m_webView->LocationUrl().toString();
    if (location.isEmpty()) return;
    QPointer<QWidget> browser = m_webView->Widget();
    m_webView->RequestBodyHtml([this, browser, location](const QString& body) {
        if (!browser) return;
        const BrowserPlacement placement =
            tk::CheckBrowserPage(location.toStdString(), body.toStdString(),
                                 PnlWebBrowser->width(), PnlWebBrowser->height());
        if (placement.kind == BrowserPlacement::Kind::OutOfView) {
            browser->move(placement.left, browser->y());
        } else if (placement.kind == BrowserPlacement::Kind::OverStrip) {
            browser->setGeometry(placement.left, placement.top, placement.width, placement.height);
            browser->raise();
        }
    });
}

void TFrmMain::Image2Click() { m_launcher.OpenWebAddress(m_webSchedule.HomePage()); }

void TFrmMain::ShowStartDocDialog() {
    EnsureHistory();
    if (m_autorunDoc == nullptr) m_autorunDoc = new TFrmAutorunDoc(m_history, m_launcher, *this, this);
    m_autorunDoc->CbNotQuery->setChecked(CbAutoRunDocs->isChecked());
    m_autorunDoc->exec();
}

void TFrmMain::BtnAutoRunSetClick() { ShowStartDocDialog(); }

void TFrmMain::TimerCheckDocsTimer() {
    EnsureHistory();
    tk::TimerCheckDocsTimer(*this, m_sweep);
}

void TFrmMain::CbRefreshClick() { tk::CbRefreshClick(*this); }

void TFrmMain::SbCheckTimeChange(int position) {
    const CheckTimeChange change = tk::SbCheckTimeChange(position);
    LbCheckTime->setText(QString::fromStdString(change.label));
    m_timerCheckDocs->SetInterval(change.interval);
}

// ---- SettingsWindow -----------------------------------------------------------------------

static QCheckBox* BoxOf(SettingsBox box, QCheckBox* autoRun, QCheckBox* refresh, QCheckBox* query) {
    switch (box) {
        case SettingsBox::AutoRunDocs: return autoRun;
        case SettingsBox::Refresh: return refresh;
        case SettingsBox::QueryAutoRunDoc: return query;
    }
    return refresh;
}

bool TFrmMain::BoxChecked(SettingsBox box) const {
    return BoxOf(box, CbAutoRunDocs, CbRefresh, CbQueryAutoRunDoc)->isChecked();
}
void TFrmMain::SetBoxChecked(SettingsBox box, bool checked) {
    // QCheckBox::toggled fires only on a change: the click handling runs exactly then.
    BoxOf(box, CbAutoRunDocs, CbRefresh, CbQueryAutoRunDoc)->setChecked(checked);
}
int TFrmMain::ActivePageIndex() const { return TVAllDocs->ActivePageIndex(); }
void TFrmMain::SetActivePageIndex(int index) { TVAllDocs->SetActivePageIndex(index); }
std::uint32_t TFrmMain::SweepInterval() const { return m_timerCheckDocs->Interval(); }
void TFrmMain::SetSweepInterval(std::uint32_t ms) { m_timerCheckDocs->SetInterval(ms); }
bool TFrmMain::SweepTimerEnabled() const { return m_timerCheckDocs->Enabled(); }
void TFrmMain::SetSweepTimerEnabled(bool enabled) { m_timerCheckDocs->SetEnabled(enabled); }
int TFrmMain::CheckTimePosition() const { return SbCheckTime->value(); }
void TFrmMain::SetCheckTimePosition(int position) { SbCheckTime->setValue(position); }
// The outer size, frame included, once the window manager has given it a frame.
int TFrmMain::WindowWidth() const { return frameGeometry().width(); }
int TFrmMain::WindowHeight() const { return frameGeometry().height(); }
void TFrmMain::SetWindowWidth(int w) { resize(w, height()); }
void TFrmMain::SetWindowHeight(int h) { resize(width(), h); }

// ---- trees --------------------------------------------------------------------------------

QTreeView* TFrmMain::TreeView(int page) const {
    return page >= 0 && page < kTreeCount ? m_trees[page] : nullptr;
}

CategoryTreeModel* TFrmMain::TreeModel(int page) const {
    return page >= 0 && page < kTreeCount ? m_models[page] : nullptr;
}

void TFrmMain::SyncSelection(int page) {
    CategoryTree* core = m_history.TreeOfPage(page);
    core->ClearSelection();
    for (const QModelIndex& index : m_trees[page]->selectionModel()->selectedIndexes()) {
        core->SetSelected(CategoryTreeModel::NodeOf(index), true);
    }
}

void TFrmMain::TreeExpandedOrCollapsed() { m_picker.ExpandedOrCollapsed(); }

void TFrmMain::MnExpandAllClick() {
    // The action has already flipped its check mark.
    for (int page : {0, 2, 3}) {
        if (MnExpandAll->isChecked()) m_trees[page]->expandAll();
        else m_trees[page]->collapseAll();
    }
}

void TFrmMain::MnDeleteSelectedClick() {
    const int page = TVAllDocs->ActivePageIndex();
    if (page < 0 || page >= kTreeCount) return;
    EnsureHistory();
    m_history.DeleteSelectedOfPage(page);
}

void TFrmMain::BtnDeleteAllDocsClick() {
    EnsureHistory();
    m_history.DeleteAllDocs();
}

void TFrmMain::TVAllDocsChange() { SetDropTargetTree(); }

void TFrmMain::SetDropTargetTree() {
    if (DropTarget == nullptr) return;
    const int page = TVAllDocs->ActivePageIndex();
    // On the system and settings pages the last category tree stays the target.
    if (page >= 0 && page < kTreeCount) DropTarget->SetTargetControl(m_trees[page]);
}

void TFrmMain::DropTargetDropFiles(TDropFilesTarget*, const TDropFilesInfo& info) {
    EnsureHistory();
    const int page = TVAllDocs->ActivePageIndex();
    QTreeView* tree = page >= 0 && page < kTreeCount ? m_trees[page] : nullptr;
    if (tree) tree->setUpdatesEnabled(false);  // one repaint for the whole drop
    bool completed = false;
    try {
        for (const QString& name : info.Files) {
            m_history.CurDocText = Trim(name.toStdString());
            m_history.AddCurDoc();
        }
        completed = true;
    } catch (const std::exception& e) {
        qCInfo(lcMain) << "drop:" << e.what();
    }
    if (tree) tree->setUpdatesEnabled(true);
    if (completed) m_deps.shell.MessageBeep();
}

void TFrmMain::TVDocsMouseMove(QTreeView* tree, const QPoint& pos) {
    const QModelIndex node = tree->indexAt(pos);
    if (node == m_hintNode) return;
    QToolTip::hideText();
    // Only a position on an item's icon or label makes it the hint node.
    if (node.isValid() && tree->visualRect(node).contains(pos)) {
        m_hintNode = node;
        tree->setToolTip(QStringLiteral("鼠标右键有更多功能"));
    }
}

void TFrmMain::TVDocsMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (button == Qt::LeftButton &&
        (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
        DocsTreeClick();
    }
}

void TFrmMain::DocsTreeClick() { m_picker.DocsTreeClick(); }
void TFrmMain::TVAppClick() { m_picker.TVAppClick(); }
void TFrmMain::TVPathClick() { m_picker.TVPathClick(); }
void TFrmMain::TVDocClick() { m_picker.TVDocClick(); }
void TFrmMain::TVDocsDblClick() { m_picker.DblClick(); }
void TFrmMain::TVPathDblClick() { m_picker.DblClick(); }
void TFrmMain::TVDocDblClick() { m_picker.DblClick(); }

void TFrmMain::TVDocsKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) m_picker.LaunchCurDoc();
    else if (key == Qt::Key_Delete) m_picker.DeleteSelectedNodes();
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    QTreeView* docs = m_trees[0];
    if (docs != nullptr && watched == docs->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            TVDocsMouseMove(docs, static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::MouseButtonPress) {
            // A press picks the node it lands on; the tree moves its selection while handling
            // the press, so the pick runs right after. A press beside the items (on an expand
            // button) picks at once, before the tree expands anything.
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const QModelIndex at = docs->indexAt(pos);
            const Qt::MouseButton button = mouse->button();
            const Qt::KeyboardModifiers modifiers = mouse->modifiers();
            if (mouse->buttons() != button) return QWidget::eventFilter(watched, event);
            if (at.isValid() && docs->visualRect(at).contains(pos)) {
                QMetaObject::invokeMethod(this, [this, button, modifiers] {
                    TVDocsMouseDown(button, modifiers);
                }, Qt::QueuedConnection);
            } else {
                TVDocsMouseDown(button, modifiers);
            }
        }
    } else if (event->type() == QEvent::Show) {
        if (auto* tree = qobject_cast<QTreeView*>(watched)) {
            const auto pending = tree->property("pendingScroll").value<QPersistentModelIndex>();
            if (pending.isValid()) tree->scrollTo(pending);
            tree->setProperty("pendingScroll", QVariant());
        }
    } else if (docs != nullptr && watched == docs && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Delete) {
            TVDocsKeyDown(key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tk
