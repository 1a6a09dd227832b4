#include "ui/pages/system_page.h"

#include <QMenu>

#include "desktop/shell.h"
#include "ui/style.h"
#include "ui/widgets.h"

namespace tk {

namespace {

// What a button or menu item opens: a special folder, or one of these.
constexpr int kTaskManager = -1;
constexpr int kSystemDirectory = -2;
constexpr int kMoreFolders = -3;
constexpr int kNothingHere = -4;  // nothing on this desktop: the item shows disabled

struct ButtonRow {
    const char* name;
    int left, top, width, height;
    const char* hint;  // the tool tip
    const char* label; // what a screen reader says: the words on the picture
    int target;
};

constexpr ButtonRow kButtons[] = {
    {"SpeedButton5", 17, 14, 86, 25, "", "我的电脑", kCsidlDrives},
    {"SpeedButton6", 108, 15, 88, 23, "", "我的文档", kCsidlPersonal},
    {"SpeedButton7", 207, 14, 91, 23, "我的桌面", "我的桌面", kCsidlDesktop},
    {"SpeedButton8", 303, 14, 105, 24, "垃圾回收站", "垃圾回收站", kCsidlBitBucket},
    {"SpeedButton9", 12, 44, 92, 24, "控制面板", "控制面板", kCsidlControls},
    {"SpeedButton23", 106, 44, 94, 24, "历史记录", "历史记录", kCsidlHistory},
    {"SpeedButton22", 209, 45, 84, 24, "收藏夹", "收藏夹", kCsidlFavorites},
    {"SpeedButton19", 304, 45, 93, 24, "网上邻居", "网上邻居", kCsidlNetwork},
    {"BtmManageTask", 13, 74, 91, 25, "任务管理器", "任务管理器", kTaskManager},
    {"SpeedButton17", 107, 75, 91, 24, "开始菜单", "开始菜单", kCsidlStartMenu},
    {"SpeedButton14", 211, 75, 82, 23, "程序", "所有程序", kCsidlPrograms},
    {"SpeedButton11", 306, 75, 90, 24, "桌面路径", "桌面路径", kCsidlDesktopDirectory},
    {"SpeedButton16", 21, 106, 60, 22, "启动", "启动", kCsidlStartup},
    {"SpeedButton1", 96, 107, 112, 22, "Windows系统路径", "Windows路径", kSystemDirectory},
    {"BtnMoreSpecDir", 218, 106, 73, 23, "更多...", "更多...", kMoreFolders},
};

struct MenuItemRow {
    int submenu;  // 0 当前用户, 1 所有用户
    const char* name;
    const char* caption;
    int target;
};

constexpr MenuItemRow kMoreItems[] = {
    {0, "PmDesktopPath", "桌面文件夹", kCsidlDesktopDirectory},
    {0, "Cookie1", "Cookies", kCsidlCookies},
    {0, "pmFont", "系统字体", kCsidlFonts},
    {0, "N4", "驱动", kCsidlDrives},
    {0, "N11", "缓存", kCsidlInternetCache},
    {0, "lianj1", "网络连接", kCsidlNetHood},
    {0, "N12", "打印机", kCsidlPrinters},
    {0, "N13", "网络打印机", kCsidlPrintHood},
    {0, "N14", "程序文件所在文件夹", kCsidlProgramFiles},
    {0, "N15", "程序菜单文件夹", kCsidlPrograms},
    {0, "N16", "发送到文件夹", kCsidlSendTo},
    {0, "N17", "开始菜单", kCsidlStartMenu},
    {0, "N18", "驱动", kCsidlDrives},
    {0, "Windows1", "Windows文件夹", kSystemDirectory},
    {0, "N19", "发送给", kNothingHere},
    {1, "N3", "我的文档", kCsidlCommonDocuments},
    {1, "N5", "桌面", kCsidlCommonDesktopDirectory},
    {1, "N6", "我的收藏夹", kCsidlCommonFavorites},
    {1, "N7", "程序", kCsidlCommonPrograms},
    {1, "N8", "开始菜单", kCsidlCommonStartMenu},
    {1, "N9", "启动", kCsidlCommonStartup},
    {1, "N10", "模块", kNothingHere},
};

}  // namespace

TSystemPage::TSystemPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet4"));
    Paint(this, kBackground);
    auto* picture = new TShownPicture(QStringLiteral("system.png"), this);
    picture->setObjectName(QStringLiteral("Image15"));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->move(0, 0);
    picture->resize(616, 252);
    for (const ButtonRow& entry : kButtons) {
        auto* button = new TPictureButton(QString::fromLatin1(entry.name), QString(), this);
        button->setGeometry(entry.left, entry.top, entry.width, entry.height);
        button->setToolTip(QString::fromUtf8(entry.hint));
        button->setAccessibleName(QString::fromUtf8(entry.label));
        const int target = entry.target;
        connect(button, &QAbstractButton::clicked, this, [this, target] {
            if (target == kTaskManager) emit TaskManagerClicked();
            else if (target == kSystemDirectory) emit SystemDirectoryClicked();
            else if (target == kMoreFolders) emit MoreClicked();
            else emit SpecialFolderClicked(target);
        });
    }
    BuildMoreMenu();
}

void TSystemPage::BuildMoreMenu() {
    m_more = new QMenu(this);
    m_more->setObjectName(QStringLiteral("PmMoreSpecialDir"));
    QMenu* submenus[2] = {m_more->addMenu(QStringLiteral("当前用户")),
                          m_more->addMenu(QStringLiteral("所有用户"))};
    submenus[0]->setObjectName(QStringLiteral("N2"));
    submenus[1]->setObjectName(QStringLiteral("N1"));
    for (const MenuItemRow& item : kMoreItems) {
        QAction* action = submenus[item.submenu]->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        const int target = item.target;
        if (target == kNothingHere) {
            action->setEnabled(false);
        } else if (target == kSystemDirectory) {
            connect(action, &QAction::triggered, this, &TSystemPage::SystemDirectoryClicked);
        } else {
            connect(action, &QAction::triggered, this, [this, target] { emit SpecialFolderClicked(target); });
        }
    }
}

void TSystemPage::PopupMoreMenu(const QPoint& globalPos) { m_more->popup(globalPos); }

}  // namespace tk
