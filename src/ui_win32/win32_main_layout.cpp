// The main window's layout, painting, pages and drops.
#include "ui_win32/win32_main_window.h"

#include <algorithm>
#include <iterator>

#include <windowsx.h>
#include <commctrl.h>
#include <oleacc.h>

#include "base/diagnostics.h"
#include "base/wide_text.h"
#include "desktop/shell.h"
#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/win32_artwork.h"
#include "ui_win32/win32_dialogs.h"
#include "ui_win32/win32_main_window_parts.h"
#include "ui_win32/win32_web_strip.h"

namespace tk {

using namespace main_window_parts;
using namespace forms;

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
    for (int page = 0; page < kPageCount; ++page) {
        place(m_pages[page], left, top + kStripHeight, width, hintTop - top - kStripHeight);
    }
    place(m_hint, left, hintTop, width, kHintHeight);
    place(m_splitter, left, splitterTop, width, kSplitterHeight);
    place(m_web->Handle(), left, webTop, width, web);
    ::EndDeferWindowPos(defer);
    for (int page = 0; page < kTreePageCount; ++page) {
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
    if (m_activePage >= 0 && m_activePage < kPageCount) {
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
        DrawPicture(dc, Artwork(kPages[kSystemPage].picture), r, &source);
    } else if (id >= kSettingsButtonFirst && id < kSettingsButtonFirst + static_cast<int>(std::size(kSettingsButtons))) {
        const Picture& picture = Artwork(kSettingsButtons[id - kSettingsButtonFirst].picture);
        const RECT dest{0, 0, picture.width, picture.height};
        DrawPicture(dc, picture, dest);
    }
    if ((item.itemState & (ODS_SELECTED | ODS_FOCUS)) || ::GetPropW(item.hwndItem, kHotProperty) != nullptr) {
        HBRUSH frame = ::CreateSolidBrush(item.itemState & ODS_SELECTED ? RGB(96, 128, 168) : RGB(140, 170, 205));
        ::FrameRect(dc, &r, frame);
        ::DeleteObject(frame);
    }
}

void Win32MainWindow::SetActivePageIndex(int index) {
    m_activePage = index >= 0 && index < kPageCount ? index : -1;
    for (int page = 0; page < kPageCount; ++page) {
        ::ShowWindow(m_pages[page], page == m_activePage ? SW_SHOWNA : SW_HIDE);
    }
    Layout();
    ::InvalidateRect(m_strip, nullptr, TRUE);
    ::NotifyWinEvent(EVENT_OBJECT_SELECTION, m_strip, OBJID_CLIENT, m_activePage + 1);
}

void Win32MainWindow::PickTab(int index) {
    if (index < 0 || index >= kPageCount || index == m_activePage) return;
    SetActivePageIndex(index);
    SetDropTargetTree();
    m_controller.TVAllDocsChange(index);
}

void Win32MainWindow::SetDropTargetTree() {
    // On the system and settings pages the last category tree stays the target.
    if (m_activePage >= 0 && m_activePage < kTreePageCount) m_drop.Attach(m_trees[m_activePage]);
}

void Win32MainWindow::DropFiles(const DroppedFiles& drop) {
    HWND tree = m_activePage >= 0 && m_activePage < kTreePageCount ? m_trees[m_activePage] : nullptr;
    if (tree) ::SendMessageW(tree, WM_SETREDRAW, FALSE, 0);  // one repaint for the whole drop
    m_controller.DropFiles(drop.files);
    if (tree) {
        ::SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(tree, nullptr, TRUE);
    }
}

int Win32MainWindow::TreePage(HWND control) const {
    for (int page = 0; page < kTreePageCount; ++page) {
        if (m_trees[page] == control) return page;
    }
    return -1;
}

}  // namespace tk
