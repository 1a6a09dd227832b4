#include "ui_win32/main_window.h"

#include "controller/forms.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include <windowsx.h>
#include <commctrl.h>

#include "base/wide_text.h"
#include "desktop/shell.h"
#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/artwork.h"
#include "ui_win32/dialogs.h"
#include "ui_win32/main_window_parts.h"
#include "ui_win32/web_strip.h"

namespace tk {

using namespace main_window_parts;
using namespace forms;

Win32MainWindow::Win32MainWindow(AppController& controller) : m_controller(controller) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&init);
    m_background = ::CreateSolidBrush(kBackgroundColour);
    m_panel = ::CreateSolidBrush(kPanelColour);
    RegisterClasses();
    m_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_owner = ::CreateWindowExW(0, kOwnerClass, L"TarvoKelmora", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
    m_window = ::CreateWindowExW(0, kMainClass, kMainCaption,
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                 kDesignedWidth, kDesignedHeight, m_owner, nullptr, instance, this);
    // The shell's dialogs (a missing file, an unknown type) are owned by the window.
    m_controller.SetMainWindow(static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(m_window)));
    // Made at its monitor's DPI: the designed size, the fonts and the pictures scaled to it.
    m_dpi = DpiOf(m_window);
    for (int i = 0; i <= kPageCount; ++i) m_tabEdges[i] = S(kTabEdges[i]);
    MakeFonts();
    if (m_dpi != kBaseDpi) {
        ::SetWindowPos(m_window, nullptr, 0, 0, S(kDesignedWidth), S(kDesignedHeight),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_iconSmall = ProgramIcon(16);
    m_iconBig = ProgramIcon(32);
    m_images = std::make_unique<TreeImages>(m_controller.Images(), S(16));
    BuildMenus();
    BuildChildren();
    m_controller.Attach(*this, m_web.get());
    m_controller.FormCreate();
    if (m_activePage < 0) Layout();
    m_drop.SetHandler([this](const DroppedFiles& drop) { DropFiles(drop); });
    m_drop.SetErrorHandler(
        [this](const std::string& error) { m_controller.Log().Warning("dropped files", error); });
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
    m_trayCaption = Utf8ToWide(m_controller.TrayMenuCaption());
    for (const MenuRow& row : kTrayMenu) {
        const std::wstring caption = row.caption ? Utf8ToWide(row.caption) : m_trayCaption;
        ::AppendMenuW(m_popMenu, MF_STRING, ActionId(row.action), caption.c_str());
    }
    m_docTreeMenu = ::CreatePopupMenu();
    for (const MenuRow& row : kTreeMenu) {
        ::AppendMenuW(m_docTreeMenu, MF_STRING, ActionId(row.action), Utf8ToWide(row.caption).c_str());
    }

    m_moreMenu = ::CreatePopupMenu();
    HMENU submenus[std::size(kMoreSubmenus)] = {};
    for (std::size_t i = 0; i < std::size(kMoreSubmenus); ++i) {
        submenus[i] = ::CreatePopupMenu();
        ::AppendMenuW(m_moreMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenus[i]),
                      Utf8ToWide(kMoreSubmenus[i].caption).c_str());
    }
    for (std::size_t i = 0; i < std::size(kMoreItems); ++i) {
        const MoreItemRow& item = kMoreItems[i];
        ::AppendMenuW(submenus[item.submenu], MF_STRING | (ItemEnabled(item) ? 0 : MF_GRAYED),
                      kMoreFirst + i, Utf8ToWide(item.caption).c_str());
    }
}

void Win32MainWindow::BuildChildren() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  m_window, nullptr, instance, nullptr);
    // The children of our own classes are handed the window at creation (see OwnerOf).
    m_strip = ::CreateWindowExW(0, kStripClass, Utf8ToWide(kTabStripName).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                                kTabEdges[kPageCount], kStripHeight, m_window, nullptr, instance, this);
    for (int page = 0; page < kPageCount; ++page) {
        m_pages[page] = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass,
                                          Utf8ToWide(kPages[page].caption).c_str(),
                                          // The group boxes draw no inside: the settings page
                                          // paints under its children.
                                          WS_CHILD | (page == kSettingsPage ? 0 : WS_CLIPCHILDREN), 0, 0, 10, 10,
                                          m_window, nullptr, instance, this);
        ::SetWindowLongPtrW(m_pages[page], GWLP_ID, page);
    }
    for (int page = 0; page < kTreePageCount; ++page) {
        m_trees[page] = ::CreateWindowExW(
            0, WC_TREEVIEWW, Utf8ToWide(kPages[page].caption).c_str(),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                TVS_SHOWSELALWAYS,
            0, 0, 10, 10, m_pages[page], reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeFirst + page)),
            instance, nullptr);
        ::SendMessageW(m_trees[page], WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
        TreeView_SetBkColor(m_trees[page], kBackgroundColour);
        if (kPages[page].hintAndKeys) {
            // Node tools first: the tip takes the first tool under the mouse, the whole tree last.
            AddRectTip(m_tooltip, m_trees[page], kNodeToolFirst, kTreeHint);
            AddRectTip(m_tooltip, m_trees[page], kNodeToolFirst + 1, kTreeHint);
        }
        AddTip(m_tooltip, m_trees[page], m_trees[page], kTreeHint);
        // After the tips' own subclass, so it runs first: a move onto a node swaps the node
        // tools before the tip sees that move, and the tip shows on the first move, not the next.
        ::SetWindowSubclass(m_trees[page], TreeSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
        m_adapters[page] = std::make_unique<TreeViewAdapter>(
            m_trees[page], *m_controller.TreeOfPage(page), *m_images);
        // After the pictures: a new image list resets the indent to the pictures' width.
        TreeView_SetIndent(m_trees[page], S(19));
    }
    BuildSystemPage(m_pages[kSystemPage]);
    BuildSettingsPage(m_pages[kSettingsPage]);
    m_hint = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                               0, 0, 10, kHintHeight, m_window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kHintId)), instance, nullptr);
    ::SendMessageW(m_hint, WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
    m_splitter = ::CreateWindowExW(0, kSplitterClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                   kSplitterHeight, m_window, nullptr, instance, this);
    m_web = std::make_unique<Win32WebStrip>(
        m_window, m_controller.Log(), [this] { m_controller.Do(Action::Home); },
        [this] { m_controller.WebStrip().NavigateComplete(); },
        [this](const std::string& address) { m_controller.WebLinkClicked(address); });
    for (int page = 0; page < kTreePageCount; ++page) {
        NameForScreenReaders(m_trees[page], Utf8ToWide(kPages[page].caption).c_str());
    }
    NameForScreenReaders(m_checkTime, Utf8ToWide(kCheckTimeBarRow.label).c_str());
    NameForScreenReaders(m_web->Handle(), Utf8ToWide(kBannerName).c_str());
    m_web->SetDpi(m_dpi);
    PlacePageControls();
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
    // Created at their 96-DPI places; PlacePageControls puts them where the DPI wants them.
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        const GroupRow& row = kGroups[i];
        m_groups[i] = ::CreateWindowExW(0, L"BUTTON", Utf8ToWide(row.caption).c_str(),
                                        WS_CHILD | WS_VISIBLE | BS_GROUPBOX, row.left, row.top,
                                        row.width, row.height, page, nullptr, instance, nullptr);
    }
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        const BoxRow& row = kBoxes[i];
        const Point at = OnPage(row.parent, row.left, row.top);
        const std::wstring caption = Utf8ToWide(row.caption);
        m_boxes[i] = ::CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, at.x, at.y,
                                       100, 17, page,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBoxFirst + i)),
                                       instance, nullptr);
    }
    const PlacedRow& label = kCheckTimeLabelRow;
    const Point labelAt = OnPage(label.parent, label.left, label.top);
    m_checkTimeLabel = ::CreateWindowExW(0, L"STATIC", Utf8ToWide(CheckTimeLabel(kCheckTimeInitial)).c_str(),
                                         WS_CHILD | WS_VISIBLE | SS_NOPREFIX, labelAt.x, labelAt.y, label.width,
                                         label.height, page,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckTimeLabelId)),
                                         instance, nullptr);
    const PlacedRow& bar = kCheckTimeBarRow;
    const Point barAt = OnPage(bar.parent, bar.left, bar.top);
    m_checkTime = ::CreateWindowExW(0, L"SCROLLBAR", Utf8ToWide(bar.label).c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | SBS_HORZ, barAt.x, barAt.y, bar.width,
                                    bar.height, page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckTimeBar)),
                                    instance, nullptr);
    ::SetScrollRange(m_checkTime, SB_CTL, kCheckTimeMin, kCheckTimeMax, FALSE);
    ::SetScrollPos(m_checkTime, SB_CTL, kCheckTimeInitial, TRUE);
    for (std::size_t i = 0; i < std::size(kSettingsButtons); ++i) {
        const PictureButtonRow& row = kSettingsButtons[i];
        const Point at = OnPage(row.parent, row.left, row.top);
        HWND button = PictureButton(row.label, at.x, at.y, row.width, row.height, page,
                                    kSettingsButtonFirst + static_cast<int>(i));
        AddTip(m_tooltip, page, button, row.hint);
    }
    // Tab walks the page as it reads: the top row, the first group, the second, the buttons.
    HWND order[] = {m_boxes[0], m_boxes[1], m_boxes[2], m_checkTime, m_boxes[3], m_boxes[4],
                    ::GetDlgItem(page, kSettingsButtonFirst), ::GetDlgItem(page, kSettingsButtonFirst + 1),
                    ::GetDlgItem(page, kSettingsButtonFirst + 2), ::GetDlgItem(page, kSettingsButtonFirst + 3)};
    HWND after = HWND_TOP;
    for (HWND control : order) {
        ::SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
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
    if (!m_tray->Add()) m_controller.Log().Warning("tray", "the notification area did not take the icon");
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

}  // namespace tk
