#pragma once

// What the main window's three source files share: its controls' numbers and places, the rows
// of its pages and menus, and the small helpers that make its controls.
#include <windows.h>

#include "desktop/shell.h"
#include "ui_win32/win32_main_window.h"

namespace tk::main_window_parts {
inline constexpr COLORREF kBackgroundColour = RGB(245, 250, 254);
inline constexpr COLORREF kPanelColour = RGB(245, 254, 250);
inline constexpr wchar_t kPageClass[] = L"TkPage";
inline constexpr wchar_t kStripClass[] = L"TkTabStrip";
inline constexpr wchar_t kSplitterClass[] = L"TkSplitter";
inline constexpr wchar_t kOwnerClass[] = L"TkOwner";
inline constexpr int kStripHeight = 24;
inline constexpr int kHintHeight = 19;
inline constexpr int kSplitterHeight = 5;
inline constexpr int kTop = 13, kBottom = 10, kLeft = 10, kRight = 3;

// Menu and control identifiers.
enum : int {
    kMnOpenKelmora = 101, kExit1,
    kMnExpandAll = 111, kMnDeleteAllDocs, kMnDeleteSelected,
    kMoreFirst = 200,
    kBoxFirst = 301,  // the five check boxes
    kBtnAutoRunSet = 311, kBtnDeleteAllDocs, kBtnHelpDoc, kBtnAboutUS,
    kCheckTimeBar = 320, kCheckTimeLabelId,
    kSystemFirst = 401,  // the fifteen system buttons
    kTreeFirst = 501,
    kHintId = 601,
};

// The segments of the tab-strip picture, left to right, and what each tab is called.
inline constexpr int kTabEdges[] = {0, 60, 120, 186, 246, 306, 370};
inline constexpr const char* kTabNames[] = {"全部", "软件", "文件夹", "网页", "系统", "设置"};

struct TreePageRow {
    const wchar_t* name;  // what a screen reader and the window list call the tree
    bool doubleClickOpens;
    bool expandCounts;  // expanding or collapsing ends click-opens
    bool keys;          // Enter and Delete
};
inline constexpr TreePageRow kTreePages[] = {
    {L"全部", true, true, true},
    {L"软件", false, false, false},
    {L"文件夹", true, true, false},
    {L"网页", true, true, false},
};

// What a system button or menu item opens: a special folder, or one of these.
inline constexpr int kTaskManager = -1;
inline constexpr int kSystemDirectory = -2;
inline constexpr int kMoreFolders = -3;
inline constexpr int kNothingHere = -4;

struct SystemButtonRow {
    int left, top, width, height;
    const char* hint;
    const char* label;  // the words on the picture
    int target;
};
inline constexpr SystemButtonRow kSystemButtons[] = {
    {17, 14, 86, 25, "", "我的电脑", kCsidlDrives},
    {108, 15, 88, 23, "", "我的文档", kCsidlPersonal},
    {207, 14, 91, 23, "我的桌面", "我的桌面", kCsidlDesktop},
    {303, 14, 105, 24, "垃圾回收站", "垃圾回收站", kCsidlBitBucket},
    {12, 44, 92, 24, "控制面板", "控制面板", kCsidlControls},
    {106, 44, 94, 24, "历史记录", "历史记录", kCsidlHistory},
    {209, 45, 84, 24, "收藏夹", "收藏夹", kCsidlFavorites},
    {304, 45, 93, 24, "网上邻居", "网上邻居", kCsidlNetwork},
    {13, 74, 91, 25, "任务管理器", "任务管理器", kTaskManager},
    {107, 75, 91, 24, "开始菜单", "开始菜单", kCsidlStartMenu},
    {211, 75, 82, 23, "程序", "所有程序", kCsidlPrograms},
    {306, 75, 90, 24, "桌面路径", "桌面路径", kCsidlDesktopDirectory},
    {21, 106, 60, 22, "启动", "启动", kCsidlStartup},
    {96, 107, 112, 22, "Windows系统路径", "Windows路径", kSystemDirectory},
    {218, 106, 73, 23, "更多...", "更多...", kMoreFolders},
};

struct MoreItemRow {
    int submenu;  // 0 当前用户, 1 所有用户
    const char* caption;
    int target;
};
inline constexpr MoreItemRow kMoreItems[] = {
    {0, "桌面文件夹", kCsidlDesktopDirectory}, {0, "Cookies", kCsidlCookies},
    {0, "系统字体", kCsidlFonts}, {0, "驱动", kCsidlDrives},
    {0, "缓存", kCsidlInternetCache}, {0, "网络连接", kCsidlNetHood},
    {0, "打印机", kCsidlPrinters}, {0, "网络打印机", kCsidlPrintHood},
    {0, "程序文件所在文件夹", kCsidlProgramFiles}, {0, "程序菜单文件夹", kCsidlPrograms},
    {0, "发送到文件夹", kCsidlSendTo}, {0, "开始菜单", kCsidlStartMenu},
    {0, "驱动", kCsidlDrives}, {0, "Windows文件夹", kSystemDirectory},
    {0, "发送给", kNothingHere},
    {1, "我的文档", kCsidlCommonDocuments}, {1, "桌面", kCsidlCommonDesktopDirectory},
    {1, "我的收藏夹", kCsidlCommonFavorites}, {1, "程序", kCsidlCommonPrograms},
    {1, "开始菜单", kCsidlCommonStartMenu}, {1, "启动", kCsidlCommonStartup},
    {1, "模块", kNothingHere},
};

// The settings page, in page coordinates (the group boxes' children moved by their box).
struct BoxRow {
    const char* caption;
    int left, top;
};
inline constexpr BoxRow kBoxes[] = {
    {"窗体总在最上方", 9, 6},
    {"开机时自动启动", 191, 6},
    {"刷新", 7 + 6, 29 + 19},
    {"自动启动文档时询问", 189 + 5, 27 + 15},
    {"自动启动历史文档", 189 + 5, 27 + 33},
};
struct GroupRow {
    const char* caption;
    int left, top, width, height;
};
inline constexpr GroupRow kGroups[] = {
    {"侦查已打开文档", 7, 29, 174, 76},
    {"设置启动文档", 189, 27, 147, 81},
};
struct PictureButtonRow {
    int id;
    const char* picture;
    const char* label;
    const char* hint;
    int left, top, width, height;
};
inline constexpr PictureButtonRow kSettingsButtons[] = {
    {kBtnAutoRunSet, "btn_autorun_set.png", "启动文档设置", "启动文档设置", 189 + 16, 27 + 53, 111, 24},
    {kBtnDeleteAllDocs, "btn_delete_all.png", "删除所有历史文档", "", 16, 110, 122, 26},
    {kBtnHelpDoc, "btn_help.png", "帮助文档", "帮助文档", 156, 109, 122, 26},
    {kBtnAboutUS, "btn_about.png", "关于我们", "", 284, 110, 122, 26},
};

HFONT SongFont(int pixels);
void AddTip(HWND tooltip, HWND owner, HWND control, const char* text);
// The name a screen reader gives a control whose own text it does not read.
void NameForScreenReaders(HWND hwnd, const wchar_t* name);
HWND PictureButton(const char* label, int x, int y, int w, int h, HWND parent, int id);
inline constexpr wchar_t kHotProperty[] = L"TkHot";

}  // namespace tk::main_window_parts
