#include "ui_win32/win32_main_window.h"

#include <algorithm>
#include <iterator>

#include <windowsx.h>
#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>

#include "base/diagnostics.h"
#include "desktop/shell.h"
#include "platform/windows/ansi_text.h"
#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/win32_artwork.h"
#include "ui_win32/win32_dialogs.h"
#include "ui_win32/win32_web_strip.h"

namespace tk {

namespace {

using win32::Utf8ToWide;

constexpr COLORREF kBackgroundColour = RGB(245, 250, 254);
constexpr COLORREF kPanelColour = RGB(245, 254, 250);
constexpr wchar_t kPageClass[] = L"TkPage";
constexpr wchar_t kStripClass[] = L"TkTabStrip";
constexpr wchar_t kSplitterClass[] = L"TkSplitter";
constexpr wchar_t kOwnerClass[] = L"TkOwner";
constexpr int kStripHeight = 24;
constexpr int kHintHeight = 19;
constexpr int kSplitterHeight = 5;
constexpr int kTop = 13, kBottom = 10, kLeft = 10, kRight = 3;

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
constexpr int kTabEdges[] = {0, 60, 120, 186, 246, 306, 370};
constexpr const char* kTabNames[] = {"全部", "软件", "文件夹", "网页", "系统", "设置"};

struct TreePageRow {
    const wchar_t* name;  // what a screen reader and the window list call the tree
    bool doubleClickOpens;
    bool expandCounts;  // expanding or collapsing ends click-opens
    bool keys;          // Enter and Delete
};
constexpr TreePageRow kTreePages[] = {
    {L"全部", true, true, true},
    {L"软件", false, false, false},
    {L"文件夹", true, true, false},
    {L"网页", true, true, false},
};

// What a system button or menu item opens: a special folder, or one of these.
constexpr int kTaskManager = -1;
constexpr int kSystemDirectory = -2;
constexpr int kMoreFolders = -3;
constexpr int kNothingHere = -4;

struct SystemButtonRow {
    int left, top, width, height;
    const char* hint;
    const char* label;  // the words on the picture
    int target;
};
constexpr SystemButtonRow kSystemButtons[] = {
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
constexpr MoreItemRow kMoreItems[] = {
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
constexpr BoxRow kBoxes[] = {
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
constexpr GroupRow kGroups[] = {
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
constexpr PictureButtonRow kSettingsButtons[] = {
    {kBtnAutoRunSet, "btn_autorun_set.png", "启动文档设置", "启动文档设置", 189 + 16, 27 + 53, 111, 24},
    {kBtnDeleteAllDocs, "btn_delete_all.png", "删除所有历史文档", "", 16, 110, 122, 26},
    {kBtnHelpDoc, "btn_help.png", "帮助文档", "帮助文档", 156, 109, 122, 26},
    {kBtnAboutUS, "btn_about.png", "关于我们", "", 284, 110, 122, 26},
};

HFONT SongFont(int pixels) {
    return ::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

Win32MainWindow* g_window = nullptr;

void AddTip(HWND tooltip, HWND owner, HWND control, const char* text) {
    if (tooltip == nullptr || text == nullptr || text[0] == '\0') return;
    std::wstring wide = Utf8ToWide(text);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = wide.data();
    ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

// The name a screen reader gives a control whose own text it does not read (tree views, scroll
// bars, the windows of our own classes). Without the annotation service the text stays all.
void NameForScreenReaders(HWND hwnd, const wchar_t* name) {
    IAccPropServices* services = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                  reinterpret_cast<void**>(&services)))) {
        return;
    }
    services->SetHwndPropStr(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name);
    services->Release();
}

constexpr wchar_t kHotProperty[] = L"TkHot";

// A picture button shows a thin frame while the mouse is over it.
LRESULT CALLBACK HoverSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_MOUSEMOVE && ::GetPropW(hwnd, kHotProperty) == nullptr) {
        ::SetPropW(hwnd, kHotProperty, reinterpret_cast<HANDLE>(1));
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        ::TrackMouseEvent(&track);
        ::InvalidateRect(hwnd, nullptr, FALSE);
    } else if (msg == WM_MOUSELEAVE) {
        ::RemovePropW(hwnd, kHotProperty);
        ::InvalidateRect(hwnd, nullptr, FALSE);
    } else if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kHotProperty);
        ::RemoveWindowSubclass(hwnd, HoverSubclass, 2);
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

HWND PictureButton(const char* label, int x, int y, int w, int h, HWND parent, int id) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", Utf8ToWide(label).c_str(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                                    x, y, w, h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowSubclass(button, HoverSubclass, 2, 0);
    return button;
}

}  // namespace

Win32MainWindow::Win32MainWindow(AppController& controller) : m_controller(controller) {
    g_window = this;
    INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&init);
    m_background = ::CreateSolidBrush(kBackgroundColour);
    m_panel = ::CreateSolidBrush(kPanelColour);
    m_font13 = SongFont(13);
    m_font15 = SongFont(15);
    m_font16 = SongFont(16);
    RegisterClasses();
    m_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_owner = ::CreateWindowExW(0, kOwnerClass, L"TarvoKelmora", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
    m_window = ::CreateWindowExW(0, kMainClass, kMainCaption,
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                 kDesignedWidth, kDesignedHeight, m_owner, nullptr, instance, this);
    m_iconSmall = ProgramIcon(16);
    m_iconBig = ProgramIcon(32);
    m_images = std::make_unique<TreeImages>(m_controller.History().Images());
    BuildMenus();
    BuildChildren();
    m_controller.Attach(*this, m_web.get());
    m_controller.FormCreate();
    if (m_activePage < 0) Layout();
    m_drop.SetHandler([this](const DroppedFiles& drop) { DropFiles(drop); });
    m_drop.SetErrorHandler([](const std::string& error) { ReportWarning("dropped files", error); });
    SetDropTargetTree();
}

Win32MainWindow::~Win32MainWindow() {
    Close();
    m_controller.Detach();
    for (auto& adapter : m_adapters) adapter.reset();
    if (::IsWindow(m_window)) ::DestroyWindow(m_window);
    if (::IsWindow(m_owner)) ::DestroyWindow(m_owner);
    for (HMENU menu : {m_popMenu, m_docTreeMenu, m_moreMenu}) {
        if (menu) ::DestroyMenu(menu);
    }
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_font13), static_cast<HGDIOBJ>(m_font15),
                           static_cast<HGDIOBJ>(m_font16), static_cast<HGDIOBJ>(m_background),
                           static_cast<HGDIOBJ>(m_panel)}) {
        if (object) ::DeleteObject(object);
    }
    g_window = nullptr;
}

void Win32MainWindow::RegisterClasses() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpfnWndProc = MainProc;
    wc.hbrBackground = m_background;
    wc.lpszClassName = kMainClass;
    wc.hIcon = ProgramIcon(32);
    wc.hIconSm = ProgramIcon(16);
    ::RegisterClassExW(&wc);
    wc.hIcon = wc.hIconSm = nullptr;
    wc.lpfnWndProc = PageProc;
    wc.lpszClassName = kPageClass;
    ::RegisterClassExW(&wc);
    wc.lpfnWndProc = StripProc;
    wc.lpszClassName = kStripClass;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
    ::RegisterClassExW(&wc);
    wc.lpfnWndProc = SplitterProc;
    wc.lpszClassName = kSplitterClass;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32645));  // vertical resize
    ::RegisterClassExW(&wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.lpszClassName = kOwnerClass;
    wc.hCursor = nullptr;
    ::RegisterClassExW(&wc);
}

void Win32MainWindow::BuildMenus() {
    m_popMenu = ::CreatePopupMenu();
    m_trayCaption = Utf8ToWide(m_controller.Slide().MenuCaption());
    ::AppendMenuW(m_popMenu, MF_STRING, kMnOpenKelmora, m_trayCaption.c_str());
    ::AppendMenuW(m_popMenu, MF_STRING, kExit1, L"退出(&E)");

    m_docTreeMenu = ::CreatePopupMenu();
    ::AppendMenuW(m_docTreeMenu, MF_STRING, kMnExpandAll, L"展开全部(&E)");
    ::AppendMenuW(m_docTreeMenu, MF_STRING, kMnDeleteAllDocs, L"删除所有(&D)");
    ::AppendMenuW(m_docTreeMenu, MF_STRING, kMnDeleteSelected, L"删除所选(&D)");

    m_moreMenu = ::CreatePopupMenu();
    HMENU submenus[2] = {::CreatePopupMenu(), ::CreatePopupMenu()};
    ::AppendMenuW(m_moreMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenus[0]), L"当前用户");
    ::AppendMenuW(m_moreMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenus[1]), L"所有用户");
    for (std::size_t i = 0; i < std::size(kMoreItems); ++i) {
        const MoreItemRow& item = kMoreItems[i];
        ::AppendMenuW(submenus[item.submenu], MF_STRING | (item.target == kNothingHere ? MF_GRAYED : 0),
                      kMoreFirst + i, Utf8ToWide(item.caption).c_str());
    }
}

void Win32MainWindow::BuildChildren() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  m_window, nullptr, instance, nullptr);
    m_strip = ::CreateWindowExW(0, kStripClass, L"页面", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                                370, kStripHeight, m_window, nullptr, instance, nullptr);
    for (int page = 0; page < 6; ++page) {
        m_pages[page] = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass,
                                          Utf8ToWide(kTabNames[page]).c_str(),
                                          // The group boxes draw no inside: the settings page
                                          // paints under its children.
                                          WS_CHILD | (page == 5 ? 0 : WS_CLIPCHILDREN), 0, 0, 10, 10, m_window,
                                          nullptr, instance, nullptr);
        ::SetWindowLongPtrW(m_pages[page], GWLP_ID, page);
    }
    for (int page = 0; page < 4; ++page) {
        m_trees[page] = ::CreateWindowExW(
            0, WC_TREEVIEWW, kTreePages[page].name,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                TVS_SHOWSELALWAYS,
            0, 0, 10, 10, m_pages[page], reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeFirst + page)),
            instance, nullptr);
        ::SendMessageW(m_trees[page], WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
        TreeView_SetBkColor(m_trees[page], kBackgroundColour);
        TreeView_SetIndent(m_trees[page], 19);
        ::SetWindowSubclass(m_trees[page], TreeSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
        AddTip(m_tooltip, m_trees[page], m_trees[page], "鼠标右键有更多功能");
        m_adapters[page] = std::make_unique<TreeViewAdapter>(
            m_trees[page], *m_controller.History().TreeOfPage(page), *m_images);
    }
    BuildSystemPage(m_pages[4]);
    BuildSettingsPage(m_pages[5]);
    m_hint = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                               0, 0, 10, kHintHeight, m_window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kHintId)), instance, nullptr);
    ::SendMessageW(m_hint, WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
    m_splitter = ::CreateWindowExW(0, kSplitterClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                   kSplitterHeight, m_window, nullptr, instance, nullptr);
    m_web = std::make_unique<Win32WebStrip>(
        m_window, [this] { m_controller.Image2Click(); },
        [this] { m_controller.WebBrowser1NavigateComplete2(); });
    for (int page = 0; page < 4; ++page) NameForScreenReaders(m_trees[page], kTreePages[page].name);
    NameForScreenReaders(m_checkTime, L"刷新间隔(秒)");
    NameForScreenReaders(m_web->Handle(), L"TarvoKelmora 主页");
}

void Win32MainWindow::BuildSystemPage(HWND page) {
    for (std::size_t i = 0; i < std::size(kSystemButtons); ++i) {
        const SystemButtonRow& row = kSystemButtons[i];
        HWND button = PictureButton(row.label, row.left, row.top, row.width, row.height, page,
                                    kSystemFirst + static_cast<int>(i));
        AddTip(m_tooltip, page, button, row.hint);
    }
}

void Win32MainWindow::BuildSettingsPage(HWND page) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    ::SendMessageW(page, WM_SETFONT, reinterpret_cast<WPARAM>(m_font15), FALSE);
    for (const GroupRow& row : kGroups) {
        HWND group = ::CreateWindowExW(0, L"BUTTON", Utf8ToWide(row.caption).c_str(),
                                       WS_CHILD | WS_VISIBLE | BS_GROUPBOX, row.left, row.top,
                                       row.width, row.height, page, nullptr, instance, nullptr);
        ::SendMessageW(group, WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
    }
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        const BoxRow& row = kBoxes[i];
        const std::wstring caption = Utf8ToWide(row.caption);
        // As wide as its caption in the page's font, plus the box.
        HDC dc = ::GetDC(page);
        HGDIOBJ old = ::SelectObject(dc, m_font13);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        ::SelectObject(dc, old);
        ::ReleaseDC(page, dc);
        m_boxes[i] = ::CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, row.left,
                                       row.top, extent.cx + 22, 17, page,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBoxFirst + i)),
                                       instance, nullptr);
        ::SendMessageW(m_boxes[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
    }
    m_checkTimeLabel = ::CreateWindowExW(0, L"STATIC", Utf8ToWide(CheckTimeLabel(kCheckTimeInitial)).c_str(),
                                         WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 7 + 65, 29 + 21, 105, 16,
                                         page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckTimeLabelId)),
                                         instance, nullptr);
    ::SendMessageW(m_checkTimeLabel, WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
    m_checkTime = ::CreateWindowExW(0, L"SCROLLBAR", L"刷新间隔(秒)", WS_CHILD | WS_VISIBLE | WS_TABSTOP | SBS_HORZ,
                                    7 + 6, 29 + 46, 163, 17, page,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckTimeBar)), instance,
                                    nullptr);
    ::SetScrollRange(m_checkTime, SB_CTL, kCheckTimeMin, kCheckTimeMax, FALSE);
    ::SetScrollPos(m_checkTime, SB_CTL, kCheckTimeInitial, TRUE);
    for (const PictureButtonRow& row : kSettingsButtons) {
        HWND button = PictureButton(row.label, row.left, row.top, row.width, row.height, page, row.id);
        AddTip(m_tooltip, page, button, row.hint);
    }
}

// ---- layout and painting ---------------------------------------------------------------------

void Win32MainWindow::Layout() {
    RECT client{};
    ::GetClientRect(m_window, &client);
    const int left = kLeft, right = std::max<int>(kLeft, client.right - kRight);
    const int top = kTop, bottom = std::max<int>(kTop, client.bottom - kBottom);
    const int width = right - left;
    // The web strip keeps its height; the pages keep at least their strip.
    const int web = std::clamp(m_webHeight, 20, std::max(20, bottom - top - kStripHeight - kHintHeight - kSplitterHeight));
    const int webTop = bottom - web;
    const int splitterTop = webTop - kSplitterHeight;
    const int hintTop = splitterTop - kHintHeight;
    HDWP defer = ::BeginDeferWindowPos(12);
    auto place = [&defer](HWND hwnd, int x, int y, int w, int h) {
        defer = ::DeferWindowPos(defer, hwnd, nullptr, x, y, std::max(0, w), std::max(0, h),
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(m_strip, left, top, width, kStripHeight);
    for (int page = 0; page < 6; ++page) {
        place(m_pages[page], left, top + kStripHeight, width, hintTop - top - kStripHeight);
    }
    place(m_hint, left, hintTop, width, kHintHeight);
    place(m_splitter, left, splitterTop, width, kSplitterHeight);
    place(m_web->Handle(), left, webTop, width, web);
    ::EndDeferWindowPos(defer);
    for (int page = 0; page < 4; ++page) {
        RECT r{};
        ::GetClientRect(m_pages[page], &r);
        ::MoveWindow(m_trees[page], 0, 0, r.right, r.bottom, TRUE);
    }
    ::InvalidateRect(m_window, nullptr, FALSE);
}

void Win32MainWindow::PaintFrame(HDC dc) {
    RECT client{};
    ::GetClientRect(m_window, &client);
    const int w = client.right, h = client.bottom;
    const RECT topStrip{0, 0, w, kTop}, bottomStrip{0, h - kBottom, w, h};
    ::FillRect(dc, &topStrip, m_panel);
    ::FillRect(dc, &bottomStrip, m_panel);
    auto draw = [dc](const char* name, int x, int y, int pw, int ph) {
        const RECT dest{x, y, x + pw, y + ph};
        DrawPicture(dc, Artwork(name), dest);
    };
    draw("frame_top_left.png", 0, 0, 14, kTop);
    draw("frame_top_center.png", 14, 0, w - 25, kTop);
    draw("frame_top_right.png", w - 11, 0, 11, kTop);
    draw("frame_bottom_left.png", 0, h - kBottom, 14, kBottom);
    draw("frame_bottom_center.png", 14, h - kBottom, w - 25, kBottom);
    draw("frame_bottom_right.png", w - 11, h - kBottom, 11, kBottom);
    draw("frame_left.png", 0, kTop, kLeft, h - kTop - kBottom);
    draw("frame_right.png", w - kRight, kTop, kRight, h - kTop - kBottom);
}

void Win32MainWindow::PaintStrip(HWND strip, HDC dc) {
    RECT r{};
    ::GetClientRect(strip, &r);
    ::FillRect(dc, &r, m_background);
    // The whole picture stands in for the captions; the chosen tab's columns come from the
    // picture that draws every tab chosen.
    const Picture& bitmap = Artwork("toolbuttons.bmp");
    const RECT all{0, 0, bitmap.width, bitmap.height};
    DrawPicture(dc, bitmap, all);
    if (m_activePage >= 0 && m_activePage < 6) {
        const Picture& active = Artwork("toolbuttons_active.png");
        const RECT tab{kTabEdges[m_activePage], 0, kTabEdges[m_activePage + 1], std::min(kStripHeight, active.height)};
        DrawPicture(dc, active, tab, &tab);
    }
}

void Win32MainWindow::DrawButton(const DRAWITEMSTRUCT& item) {
    const int id = static_cast<int>(item.CtlID);
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    ::FillRect(dc, &r, m_background);
    if (id >= kSystemFirst && id < kSystemFirst + static_cast<int>(std::size(kSystemButtons))) {
        // The button shows its own part of the page's picture.
        const SystemButtonRow& row = kSystemButtons[id - kSystemFirst];
        const RECT source{row.left, row.top, row.left + row.width, row.top + row.height};
        DrawPicture(dc, Artwork("system.png"), r, &source);
    } else {
        for (const PictureButtonRow& row : kSettingsButtons) {
            if (row.id != id) continue;
            const Picture& picture = Artwork(row.picture);
            const RECT dest{0, 0, picture.width, picture.height};
            DrawPicture(dc, picture, dest);
        }
    }
    if ((item.itemState & (ODS_SELECTED | ODS_FOCUS)) || ::GetPropW(item.hwndItem, kHotProperty) != nullptr) {
        HBRUSH frame = ::CreateSolidBrush(item.itemState & ODS_SELECTED ? RGB(96, 128, 168) : RGB(140, 170, 205));
        ::FrameRect(dc, &r, frame);
        ::DeleteObject(frame);
    }
}

void Win32MainWindow::SetActivePageIndex(int index) {
    m_activePage = index >= 0 && index < 6 ? index : -1;
    for (int page = 0; page < 6; ++page) {
        ::ShowWindow(m_pages[page], page == m_activePage ? SW_SHOWNA : SW_HIDE);
    }
    Layout();
    ::InvalidateRect(m_strip, nullptr, TRUE);
    ::NotifyWinEvent(EVENT_OBJECT_SELECTION, m_strip, OBJID_CLIENT, m_activePage + 1);
}

void Win32MainWindow::PickTab(int index) {
    if (index < 0 || index >= 6 || index == m_activePage) return;
    SetActivePageIndex(index);
    SetDropTargetTree();
}

void Win32MainWindow::SetDropTargetTree() {
    // On the system and settings pages the last category tree stays the target.
    if (m_activePage >= 0 && m_activePage < 4) m_drop.Attach(m_trees[m_activePage]);
}

void Win32MainWindow::DropFiles(const DroppedFiles& drop) {
    HWND tree = m_activePage >= 0 && m_activePage < 4 ? m_trees[m_activePage] : nullptr;
    if (tree) ::SendMessageW(tree, WM_SETREDRAW, FALSE, 0);  // one repaint for the whole drop
    m_controller.DropFiles(drop.files);
    if (tree) {
        ::SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(tree, nullptr, TRUE);
    }
}

int Win32MainWindow::TreePage(HWND control) const {
    for (int page = 0; page < 4; ++page) {
        if (m_trees[page] == control) return page;
    }
    return -1;
}

// ---- start and end ---------------------------------------------------------------------------

void Win32MainWindow::Show() {
    ::ShowWindow(m_window, SW_SHOWNORMAL);
    ::UpdateWindow(m_window);
    // The first frame is out: the history, the tray icon and the browser follow it.
    ::PostMessageW(m_window, WM_APP + 1, 0, 0);
}

void Win32MainWindow::AfterFirstFrame() {
    if (m_afterFirstFrameDone) return;
    m_afterFirstFrameDone = true;
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_iconSmall));
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_iconBig));
    m_tray = std::make_unique<Win32TrayIcon>(m_window, m_iconSmall, "TarvoKelmora");
    if (!m_tray->Add()) ReportWarning("tray", "the notification area did not take the icon");
    m_controller.AfterFirstFrame();
}

void Win32MainWindow::Close() {
    if (m_closed) return;
    m_closed = true;
    m_controller.FormDestroy();
    if (m_tray) m_tray->Remove();
    m_drop.Detach();
}

void Win32MainWindow::EndProgram() { ::PostQuitMessage(0); }

// ---- MainView --------------------------------------------------------------------------------

namespace {
int BoxSlot(SettingsBox box) {
    switch (box) {
        case SettingsBox::AutoRunDocs: return 4;
        case SettingsBox::Refresh: return 2;
        case SettingsBox::QueryAutoRunDoc: return 3;
    }
    return 2;
}
}  // namespace

bool Win32MainWindow::BoxChecked(SettingsBox box) const {
    return Button_GetCheck(m_boxes[BoxSlot(box)]) == BST_CHECKED;
}

void Win32MainWindow::SetBoxChecked(SettingsBox box, bool checked) {
    Button_SetCheck(m_boxes[BoxSlot(box)], checked ? BST_CHECKED : BST_UNCHECKED);
}

int Win32MainWindow::CheckTimePosition() const { return ::GetScrollPos(m_checkTime, SB_CTL); }

void Win32MainWindow::SetCheckTimePosition(int position) {
    ::SetScrollPos(m_checkTime, SB_CTL, std::clamp(position, kCheckTimeMin, kCheckTimeMax), TRUE);
}

void Win32MainWindow::SetCheckTimeLabel(const std::string& text) {
    ::SetWindowTextW(m_checkTimeLabel, Utf8ToWide(text).c_str());
}

void Win32MainWindow::SetAutoRunBox(bool checked) {
    Button_SetCheck(m_boxes[1], checked ? BST_CHECKED : BST_UNCHECKED);
}

int Win32MainWindow::WindowWidth() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.right - r.left;
}

int Win32MainWindow::WindowHeight() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.bottom - r.top;
}

void Win32MainWindow::SetWindowWidth(int width) {
    ::SetWindowPos(m_window, nullptr, 0, 0, width, WindowHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::SetWindowHeight(int height) {
    ::SetWindowPos(m_window, nullptr, 0, 0, WindowWidth(), height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32MainWindow::ScreenWidth() const { return ::GetSystemMetrics(SM_CXSCREEN); }
int Win32MainWindow::ScreenHeight() const { return ::GetSystemMetrics(SM_CYSCREEN); }

int Win32MainWindow::WindowLeft() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.left;
}

int Win32MainWindow::WindowTop() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.top;
}

void Win32MainWindow::MoveWindow(int left, int top) {
    ::SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32MainWindow::WindowShown() const { return ::IsWindowVisible(m_window) != FALSE; }
void Win32MainWindow::ShowWindow() { ::ShowWindow(m_window, SW_SHOWNA); }
void Win32MainWindow::HideWindow() { ::ShowWindow(m_window, SW_HIDE); }

void Win32MainWindow::Unminimize() {
    if (!::IsIconic(m_window)) return;
    // A hidden window is restored and hidden again: it comes back unminimised when shown.
    const bool shown = ::IsWindowVisible(m_window) != FALSE;
    ::ShowWindow(m_window, SW_RESTORE);
    if (!shown) ::ShowWindow(m_window, SW_HIDE);
}

void Win32MainWindow::RaiseAndActivate() {
    ::BringWindowToTop(m_window);
    ::SetForegroundWindow(m_window);
}

void Win32MainWindow::SetStaysOnTop(bool onTop) {
    ::SetWindowPos(m_window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32MainWindow::SetTrayMenuCaption(const std::string& caption) {
    m_trayCaption = Utf8ToWide(caption);
    ::ModifyMenuW(m_popMenu, kMnOpenKelmora, MF_BYCOMMAND | MF_STRING, kMnOpenKelmora, m_trayCaption.c_str());
}

void Win32MainWindow::ShowHint(const std::string& text) {
    ::SetWindowTextW(m_hint, Utf8ToWide(text).c_str());
}

bool Win32MainWindow::AskYesNo(const std::string& caption, const std::string& text) {
    // Yes is the first button and so the default.
    return ::MessageBoxW(::IsWindowVisible(m_window) ? m_window : nullptr, Utf8ToWide(text).c_str(),
                         Utf8ToWide(caption).c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void Win32MainWindow::Inform(const std::string& caption, const std::string& text) {
    ::MessageBoxW(::IsWindowVisible(m_window) ? m_window : nullptr, Utf8ToWide(text).c_str(),
                  Utf8ToWide(caption).c_str(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void Win32MainWindow::ShowStartDocDialog() {
    RunStartDocDialog(m_window, m_controller.History(), m_controller.DocLauncher(), m_controller.Settings(),
                      BoxChecked(SettingsBox::AutoRunDocs));
}

void Win32MainWindow::ShowAbout() {
    m_about = ShowPictureWindow(m_about, PictureWindow::About, [this] { m_controller.AboutSiteClick(); });
}

void Win32MainWindow::ShowHelp() { m_help = ShowPictureWindow(m_help, PictureWindow::Help, {}); }

void Win32MainWindow::PopupSpecialFolderMenu() {
    // The window's screen place plus the button's place on its page, as the menu has always
    // opened: near the button, not exactly under it.
    const int id = static_cast<int>(::TrackPopupMenu(m_moreMenu, TPM_RETURNCMD | TPM_NONOTIFY,
                                                     WindowLeft() + 218, WindowTop() + 106 + 30, 0,
                                                     m_window, nullptr));
    if (id < kMoreFirst || id >= kMoreFirst + static_cast<int>(std::size(kMoreItems))) return;
    const int target = kMoreItems[id - kMoreFirst].target;
    if (target == kSystemDirectory) m_controller.OpenSystemDirectory();
    else if (target >= 0) m_controller.OpenSpecialFolder(target);
}

// ---- events ----------------------------------------------------------------------------------

void Win32MainWindow::OnCommand(int id, int code, HWND control) {
    AppController& c = m_controller;
    if (control != nullptr && code != BN_CLICKED) return;
    switch (id) {
        case kMnOpenKelmora: c.MnOpenKelmoraClick(); return;
        case kExit1: c.Exit1Click(); return;
        case kMnExpandAll:
            m_expandAll = !m_expandAll;
            ::CheckMenuItem(m_docTreeMenu, kMnExpandAll, m_expandAll ? MF_CHECKED : MF_UNCHECKED);
            for (int page : {0, 2, 3}) m_adapters[page]->ExpandAll(m_expandAll);
            return;
        case kMnDeleteAllDocs: c.BtnDeleteAllDocsClick(); return;
        case kMnDeleteSelected: c.MnDeleteSelectedClick(); return;
        case kBoxFirst: c.CbOnTopClick(Button_GetCheck(m_boxes[0]) == BST_CHECKED); return;
        case kBoxFirst + 1: c.MnAutoRunClick(Button_GetCheck(m_boxes[1]) == BST_CHECKED); return;
        case kBoxFirst + 2: c.CbRefreshClick(); return;
        case kBtnAutoRunSet: c.BtnAutoRunSetClick(); return;
        case kBtnDeleteAllDocs: c.BtnDeleteAllDocsClick(); return;
        case kBtnHelpDoc: c.BtnHelpDocClick(); return;
        case kBtnAboutUS: c.BtnAboutUSClick(); return;
        default: break;
    }
    if (id >= kSystemFirst && id < kSystemFirst + static_cast<int>(std::size(kSystemButtons))) {
        const int target = kSystemButtons[id - kSystemFirst].target;
        if (target == kTaskManager) c.OpenTaskManager();
        else if (target == kSystemDirectory) c.OpenSystemDirectory();
        else if (target == kMoreFolders) c.BtnMoreSpecDirClick();
        else c.OpenSpecialFolder(target);
    }
}

LRESULT Win32MainWindow::OnNotify(NMHDR* header) {
    const int page = TreePage(header->hwndFrom);
    if (page < 0) return 0;
    TreeViewAdapter& adapter = *m_adapters[page];
    const TreePageRow& row = kTreePages[page];
    switch (header->code) {
        case TVN_GETDISPINFOW:
            adapter.FillDisplayInfo(*reinterpret_cast<NMTVDISPINFOW*>(header));
            return 0;
        case TVN_SELCHANGEDW:
            adapter.SyncSelection();
            return 0;
        case NM_CLICK: {
            // The control selects on the button's release, after telling us: the node under
            // the mouse is picked here, before the click is handled.
            TVHITTESTINFO hit{};
            ::GetCursorPos(&hit.pt);
            ::ScreenToClient(header->hwndFrom, &hit.pt);
            HTREEITEM item = TreeView_HitTest(header->hwndFrom, &hit);
            const bool onItem = item != nullptr && (hit.flags & TVHT_ONITEM);
            const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, shift = ::GetKeyState(VK_SHIFT) < 0;
            if (onItem && (ctrl || shift)) {
                // Several nodes are chosen with Ctrl and Shift; choosing opens nothing.
                adapter.ExtendSelection(item, shift);
                return TRUE;
            }
            adapter.ClearMarks();
            if (onItem) {
                TreeView_SelectItem(header->hwndFrom, item);
                adapter.ClearMarks();
                adapter.SyncSelection();
            }
            m_controller.TreeClick(page);
            return 0;
        }
        case NM_DBLCLK:
            if (row.doubleClickOpens) m_controller.TreeDblClick(page);
            return 0;
        case NM_RETURN:
            if (row.keys) m_controller.TreeKeyDown(TreeKey::Enter);
            return TRUE;
        case TVN_KEYDOWN:
            if (row.keys && reinterpret_cast<NMTVKEYDOWN*>(header)->wVKey == VK_DELETE) {
                m_controller.TreeKeyDown(TreeKey::Delete);
            }
            return 0;
        case TVN_ITEMEXPANDEDW:
            if (row.expandCounts) m_controller.TreeExpandedOrCollapsed();
            return 0;
        case NM_RCLICK: {
            // The right button only opens the menu: it moves neither the selection nor the
            // focused node, so the menu acts on the selection.
            POINT at{};
            ::GetCursorPos(&at);
            ::SetForegroundWindow(m_window);
            const int id = static_cast<int>(::TrackPopupMenu(m_docTreeMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                             at.x, at.y, 0, m_window, nullptr));
            if (id != 0) OnCommand(id, 0, nullptr);
            return TRUE;
        }
        default: return 0;
    }
}

void Win32MainWindow::OnCheckTimeScroll(int code, int thumb) {
    int position = CheckTimePosition();
    switch (code) {
        case SB_LINELEFT:
        case SB_PAGELEFT: --position; break;
        case SB_LINERIGHT:
        case SB_PAGERIGHT: ++position; break;
        case SB_LEFT: position = kCheckTimeMin; break;
        case SB_RIGHT: position = kCheckTimeMax; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = thumb; break;
        default: return;
    }
    position = std::clamp(position, kCheckTimeMin, kCheckTimeMax);
    if (position == CheckTimePosition()) return;
    SetCheckTimePosition(position);
    m_controller.SbCheckTimeChange(position);
}

LRESULT Win32MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == m_taskbarCreated && m_taskbarCreated != 0) {
        // A new shell knows no icons: ours is added to it again.
        if (m_tray && !m_closed) {
            m_tray->Remove();
            m_tray->Add();
        }
        return 0;
    }
    switch (msg) {
        case WM_SIZE: Layout(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_window, &ps);
            ::FillRect(dc, &ps.rcPaint, m_background);
            PaintFrame(dc);
            ::EndPaint(m_window, &ps);
            return 0;
        }
        case WM_APP + 1: AfterFirstFrame(); return 0;
        case kBringInMessage: m_controller.BringIn(); return 0;
        case kTrayCallbackMessage:
            switch (TrayActionFor(lp)) {
                case TrayMouseAction::Toggle: m_controller.TrayIconClick(); break;
                case TrayMouseAction::Menu: {
                    POINT at{};
                    ::GetCursorPos(&at);
                    ::SetForegroundWindow(m_window);
                    const int id = static_cast<int>(::TrackPopupMenu(
                        m_popMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN | TPM_VERNEGANIMATION,
                        at.x, at.y, 0, m_window, nullptr));
                    ::PostMessageW(m_window, WM_NULL, 0, 0);
                    if (id != 0) OnCommand(id, 0, nullptr);
                    break;
                }
                case TrayMouseAction::None: break;
            }
            return 0;
        case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
        case WM_NOTIFY: return OnNotify(reinterpret_cast<NMHDR*>(lp));
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lp) == m_checkTime) OnCheckTimeScroll(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_DRAWITEM: DrawButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lp)); return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wp);
            ::SetTextColor(dc, RGB(0, 0, 0));
            ::SetBkColor(dc, kBackgroundColour);
            return reinterpret_cast<LRESULT>(m_background);
        }
        case WM_CLOSE:
            if (m_controller.CloseRequested()) ::ShowWindow(m_window, SW_HIDE);
            return 0;
        case WM_QUERYENDSESSION:
            // Log-off or shut-down: the history is saved, then the same question as a close;
            // "no" refuses the log-off.
            return m_controller.CommitData() ? TRUE : FALSE;
        case WM_ENDSESSION:
            if (wp) Close();
            return 0;
        default: break;
    }
    return ::DefWindowProcW(m_window, msg, wp, lp);
}

LRESULT CALLBACK Win32MainWindow::MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<Win32MainWindow*>(create->lpCreateParams);
        self->m_window = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->m_strip == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->Handle(msg, wp, lp);
    } catch (const std::exception& e) {
        // ApplicationEvents1Exception: an error that escapes a handler is dropped.
        ReportInfo("discarded", e.what());
    } catch (...) {
        ReportInfo("discarded", "unknown error");
    }
    return 0;
}

LRESULT CALLBACK Win32MainWindow::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32MainWindow* self = g_window;
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // The page is the controls' parent; the window handles what they say.
            if (self && self->m_window) return ::SendMessageW(self->m_window, msg, wp, lp);
            break;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            ::FillRect(dc, &ps.rcPaint, self ? self->m_background : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            if (self && hwnd == self->m_pages[4]) {
                const Picture& picture = Artwork("system.png");
                const RECT dest{0, 0, picture.width, picture.height};
                DrawPicture(dc, picture, dest);
            }
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32MainWindow::StripProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32MainWindow* self = g_window;
    if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            self->PaintStrip(hwnd, dc);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            // A click focuses the strip, as it does a tab control; Left and Right then turn pages.
            ::SetFocus(hwnd);
            const int x = GET_X_LPARAM(lp);
            for (int i = 0; i < 6; ++i) {
                if (x >= kTabEdges[i] && x < kTabEdges[i + 1]) self->PickTab(i);
            }
            return 0;
        }
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_GETOBJECT: {
            TabStripAccessible::Tabs tabs;
            tabs.count = 6;
            tabs.edges = kTabEdges;
            tabs.names = kTabNames;
            tabs.active = [self] { return self->m_activePage; };
            tabs.pick = [self](int index) { self->PickTab(index); };
            if (const LRESULT answer = TabStripAccessible::Answer(hwnd, wp, lp, tabs)) return answer;
            break;
        }
        case WM_KEYDOWN:
            if (wp == VK_LEFT) self->PickTab(self->m_activePage < 0 ? 0 : self->m_activePage - 1);
            else if (wp == VK_RIGHT) self->PickTab(self->m_activePage + 1);
            return 0;
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32MainWindow::SplitterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32MainWindow* self = g_window;
    if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_LBUTTONDOWN:
            self->m_dragging = true;
            ::SetCapture(hwnd);
            return 0;
        case WM_MOUSEMOVE:
            if (self->m_dragging) {
                POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                ::MapWindowPoints(hwnd, self->m_window, &at, 1);
                RECT client{};
                ::GetClientRect(self->m_window, &client);
                // The web strip is what lies below the pointer, less the splitter's own half.
                self->m_webHeight = std::max(20, static_cast<int>(client.bottom - kBottom - at.y) - kSplitterHeight / 2);
                self->Layout();
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            self->m_dragging = false;
            if (msg == WM_LBUTTONUP) ::ReleaseCapture();
            return 0;
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32MainWindow::TreeSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                               DWORD_PTR data) {
    auto* self = reinterpret_cast<Win32MainWindow*>(data);
    if (msg == WM_DROPFILES && self->m_drop.HandleMessage(hwnd, msg, wp, lp)) return 0;
    if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, TreeSubclass, 1);
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tk
