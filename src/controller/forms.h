#pragma once

// The main window's forms as rows: its pages, the system page's buttons and 更多 menu, the
// settings page's controls. Both windows make their controls from these rows and nothing else,
// so a caption, a name or a place is written once. Names are the controls' objectNames;
// places are in the design's pixels.
#include <array>
#include <cstddef>
#include <iterator>
#include <optional>

#include "desktop/shell.h"
#include "history/settings.h"

namespace tk::forms {

// ---- the pages of TVAllDocs ------------------------------------------------------------------

struct PageRow {
    int index;
    const char* sheet;      // the page
    const char* caption;    // its tab's caption; also what a screen reader calls its tree
    const char* picture;    // the artwork file drawn under the page's controls, or none
    const char* tree;       // the category tree, the one HistoryCore::TreeOfPage gives; or none
    bool doubleClickOpens;  // 软件 opens at the first click and has no double-click
    bool pickOnPress;       // a plain left press picks (全部); elsewhere a click does
    bool expandCounts;      // expanding or collapsing a node ends click-opens
    bool hintAndKeys;       // the hover hint, Enter and Delete
};

inline constexpr PageRow kPages[] = {
    {0, "TabSheet1", "全部", nullptr, "TVDocs", true, true, true, true},
    {1, "TabSheet7", "软件", nullptr, "TVApp", false, false, false, false},
    {2, "TabSheet2", "文件夹", nullptr, "TVPath", true, false, true, false},
    {3, "TabSheet3", "网页", nullptr, "TVDoc", true, false, true, false},
    {4, "TabSheet4", "系统", "system.png", nullptr, false, false, false, false},
    {5, "TabSheet6", "设置", nullptr, nullptr, false, false, false, false},
};
inline constexpr int kTreePageCount = 4;  // the tree pages come first
inline constexpr int kSystemPage = 4;
inline constexpr int kSettingsPage = 5;
static_assert(std::size(kPages) == static_cast<std::size_t>(kPageCount));

// The segments of the tab-strip picture, left to right: page i's tab spans [i, i + 1).
inline constexpr int kTabEdges[kPageCount + 1] = {0, 60, 120, 186, 246, 306, 370};
// The tabs' captions in page order, for code that takes them as a list.
inline constexpr std::array<const char*, kPageCount> kTabCaptions = [] {
    std::array<const char*, kPageCount> out{};
    for (int i = 0; i < kPageCount; ++i) out[static_cast<std::size_t>(i)] = kPages[i].caption;
    return out;
}();

// The tool tip of every category tree.
inline constexpr const char* kTreeHint = "鼠标右键有更多功能";

// Whether a double-click on page `page` opens the last pick; false for a page out of range.
bool DoubleClickOpens(int page);

// ---- 系统 -------------------------------------------------------------------------------------

// What a system button or 更多 menu item opens: a special folder's CSIDL (0 and up), or one of these.
enum Target : int {
    kTaskManager = -1,
    kSystemDirectory = -2,
    kMoreFolders = -3,  // the 更多 menu
    kNothingHere = -4,  // nothing on this desktop: the menu item shows disabled
};

// The page's picture; each button lies over the words it shows.
struct PictureRow {
    const char* name;
    int left, top, width, height;
};
inline constexpr PictureRow kSystemPicture = {"Image15", 0, 0, 616, 252};

struct SystemButtonRow {
    const char* name;
    int left, top, width, height;
    const char* hint;   // the tool tip; empty for none
    const char* label;  // the words on the picture, for a screen reader
    int target;
};

inline constexpr SystemButtonRow kSystemButtons[] = {
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

// PmMoreSpecialDir: two submenus of further special folders.
inline constexpr const char* kMoreMenuName = "PmMoreSpecialDir";

struct SubmenuRow {
    const char* name;
    const char* caption;
};
inline constexpr SubmenuRow kMoreSubmenus[] = {{"N2", "当前用户"}, {"N1", "所有用户"}};

struct MoreItemRow {
    int submenu;  // its place in kMoreSubmenus
    const char* name;
    const char* caption;
    int target;
};

inline constexpr MoreItemRow kMoreItems[] = {
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

constexpr bool ItemEnabled(const MoreItemRow& item) { return item.target != kNothingHere; }

struct Point {
    int x, y;
};
// Where the 更多 menu opens, from the window's outer top left: near BtnMoreSpecDir, not
// exactly under it, as it always has.
Point MoreMenuOffset();

// ---- 设置 -------------------------------------------------------------------------------------

// What holds a settings control: the page, or one of its two group boxes (kGroups[n - 1]).
enum class Parent { Sheet, Group1, Group2 };

// What a settings control asks of the controller when the user uses it.
// What a box, a button or a menu item of either window does: the windows name the action, the
// controller's Do runs it.
enum class Action {
    None, OnTop, AutoRun, Refresh, AutoRunSet, DeleteAllDocs, HelpDoc, AboutUs,
    OpenKelmora, Exit, ExpandAll, DeleteSelected, Home, AboutSite,
};

// A menu's item: its objectName, caption and action.
struct MenuRow {
    const char* name;
    const char* caption;  // none: the controller's (the tray's first item follows the slide)
    Action action;
};
// popMenu, the tray's menu.
inline constexpr const char* kTrayMenuName = "popMenu";
inline constexpr MenuRow kTrayMenu[] = {
    {"MnOpenKelmora", nullptr, Action::OpenKelmora},
    {"Exit1", "退出(&E)", Action::Exit},
};
// PmDocTree, the category trees' pop-up menu; 展开全部 is checked while the trees are expanded.
inline constexpr const char* kTreeMenuName = "PmDocTree";
inline constexpr MenuRow kTreeMenu[] = {
    {"MnExpandAll", "展开全部(&E)", Action::ExpandAll},
    {"MnDeleteAllDocs", "删除所有(&D)", Action::DeleteAllDocs},
    {"MnDeleteSelected", "删除所选(&D)", Action::DeleteSelected},
};
// The trees 展开全部 opens and closes: those with groups (软件 has none).
inline constexpr int kExpandAllPages[] = {0, 2, 3};

struct GroupRow {
    const char* name;
    const char* caption;
    int left, top, width, height;
};
// Group1, then Group2.
inline constexpr GroupRow kGroups[] = {
    {"GroupBox1", "侦查已打开文档", 7, 29, 174, 76},
    {"GroupBox2", "设置启动文档", 189, 27, 147, 81},
};

struct BoxRow {
    const char* name;
    const char* caption;
    Parent parent;
    int left, top;  // in the parent; the box is as wide as its caption
    std::optional<SettingsBox> box;  // the box the settings load and save, if any
    Action action;
};

inline constexpr BoxRow kBoxes[] = {
    {"CbOnTop", "窗体总在最上方", Parent::Sheet, 9, 6, std::nullopt, Action::OnTop},
    {"MnAutoRun", "开机时自动启动", Parent::Sheet, 191, 6, std::nullopt, Action::AutoRun},
    {"CbRefresh", "刷新", Parent::Group1, 6, 19, SettingsBox::Refresh, Action::Refresh},
    {"CbQueryAutoRunDoc", "自动启动文档时询问", Parent::Group2, 5, 15, SettingsBox::QueryAutoRunDoc,
     Action::None},
    {"CbAutoRunDocs", "自动启动历史文档", Parent::Group2, 5, 33, SettingsBox::AutoRunDocs,
     Action::None},
};

struct PictureButtonRow {
    const char* name;
    const char* picture;
    const char* label;  // the words on the picture, for a screen reader
    const char* hint;   // the tool tip; empty for none
    Parent parent;
    int left, top, width, height;
    Action action;
};

inline constexpr PictureButtonRow kSettingsButtons[] = {
    {"BtnAutoRunSet", "btn_autorun_set.png", "启动文档设置", "启动文档设置", Parent::Group2, 16, 53, 111, 24,
     Action::AutoRunSet},
    {"BtnDeleteAllDocs", "btn_delete_all.png", "删除所有历史文档", "", Parent::Sheet, 16, 110, 122, 26,
     Action::DeleteAllDocs},
    {"BtnHelpDoc", "btn_help.png", "帮助文档", "帮助文档", Parent::Sheet, 156, 109, 122, 26,
     Action::HelpDoc},
    {"BtnAboutUS", "btn_about.png", "关于我们", "", Parent::Sheet, 284, 110, 122, 26, Action::AboutUs},
};

// SbCheckTime and the label over it that says its interval.
struct PlacedRow {
    const char* name;
    const char* label;  // for a screen reader, where the control shows no words of its own
    Parent parent;
    int left, top, width, height;
};
inline constexpr PlacedRow kCheckTimeLabelRow = {"LbCheckTime", nullptr, Parent::Group1, 65, 21, 105, 16};
inline constexpr PlacedRow kCheckTimeBarRow = {"SbCheckTime", "刷新间隔(秒)", Parent::Group1, 6, 46, 163, 17};

// A place in `parent` as a place on the page.
constexpr Point OnPage(Parent parent, int left, int top) {
    if (parent == Parent::Sheet) return {left, top};
    const GroupRow& group = kGroups[static_cast<int>(parent) - 1];
    return {group.left + left, group.top + top};
}

// ---- words and faces both windows use beyond the pages
inline constexpr const char* kTextFace = "宋体";   // the windows' text
inline constexpr const char* kAboutFace = "黑体";  // the about window's
inline constexpr const char* kTabStripName = "页面";  // the tab strip, for a screen reader
inline constexpr const char* kBannerName = "TarvoKelmora 主页";  // the web strip
inline constexpr const char* kAboutCaption = "关于...";
inline constexpr const char* kHelpCaption = "TarvoKelmora-帮助文档";
inline constexpr const char* kCloseCaption = "关闭";
inline constexpr const char* kOkCaption = "确定";

// ---- the start-up documents dialog (文档自动启动)
inline constexpr const char* kStartDialogName = "FrmAutorunDoc";
inline constexpr const char* kStartDialogCaption = "文档自动启动";
inline constexpr int kStartDialogWidth = 423, kStartDialogHeight = 284;
// The strip of words over the list and the strip of controls under it.
inline constexpr int kStartDialogTopStrip = 33, kStartDialogBottomStrip = 46;
struct DialogRow {
    const char* name;
    const char* caption;
    int left, top, width, height;  // in its strip
};
inline constexpr DialogRow kStartDialogPrompt = {
    "Label1",
    "请选择一个或多个(按下『Ctrl』或『Shift』，鼠标选择)你希望打开的历史文档，"
    "单击按钮『确定』，软件将自动打开这些文档。 ",
    10, 3, 400, 30};
inline constexpr DialogRow kStartDialogNotQuery = {"CbNotQuery", "不再跳出此提示框", 54, 7, 125, 16};
inline constexpr DialogRow kStartDialogSelectAll = {"CbSelectAll", "选择所有", 184, 7, 75, 16};
inline constexpr DialogRow kStartDialogConfirm = {"BtnConfirm", kOkCaption, 264, 0, 57, 25};
inline constexpr DialogRow kStartDialogCancel = {"SpeedButton2", "取消", 322, 0, 58, 26};
inline constexpr DialogRow kStartDialogNote = {"Label3", "可以在『设置』中重新设置启动时跳出此提示框。", 8, 28,
                                               380, 14};

// The row in kBoxes of a settings box, or of the box whose action is `action`; -1 for none.
int BoxIndex(SettingsBox box);
int BoxIndex(Action action);

}  // namespace tk::forms
