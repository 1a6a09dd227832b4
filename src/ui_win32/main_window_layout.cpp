// The main window's layout, painting, pages and drops.
#include "ui_win32/main_window.h"

#include <algorithm>
#include <iterator>

#include <windowsx.h>
#include <commctrl.h>
#include <oleacc.h>

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

// ---- layout and painting ---------------------------------------------------------------------

void Win32MainWindow::Layout() {
    RECT client{};
    ::GetClientRect(m_window, &client);
    // Every length below is a 96-DPI number scaled to the window's DPI.
    const int stripHeight = S(kStripHeight), hintHeight = S(kHintHeight), splitterHeight = S(kSplitterHeight);
    const int left = S(kLeft), right = std::max<int>(left, client.right - S(kRight));
    const int top = S(kTop), bottom = std::max<int>(top, client.bottom - S(kBottom));
    const int width = right - left;
    // The web strip keeps its height; the pages keep at least their strip.
    const int web = std::clamp(S(m_webHeight), S(20), std::max(S(20), bottom - top - stripHeight - hintHeight - splitterHeight));
    const int webTop = bottom - web;
    const int splitterTop = webTop - splitterHeight;
    const int hintTop = splitterTop - hintHeight;
    HDWP defer = ::BeginDeferWindowPos(12);
    auto place = [&defer](HWND hwnd, int x, int y, int w, int h) {
        defer = ::DeferWindowPos(defer, hwnd, nullptr, x, y, std::max(0, w), std::max(0, h),
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(m_strip, left, top, width, stripHeight);
    for (int page = 0; page < kPageCount; ++page) {
        place(m_pages[page], left, top + stripHeight, width, hintTop - top - stripHeight);
    }
    place(m_hint, left, hintTop, width, hintHeight);
    place(m_splitter, left, splitterTop, width, splitterHeight);
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
    const int top = S(kTop), bottom = S(kBottom), left = S(kLeft), right = S(kRight);
    const int corner = S(14), cornerRight = S(11);
    const RECT topStrip{0, 0, w, top}, bottomStrip{0, h - bottom, w, h};
    ::FillRect(dc, &topStrip, m_panel);
    ::FillRect(dc, &bottomStrip, m_panel);
    auto draw = [this, dc](const char* name, int x, int y, int pw, int ph) {
        const RECT dest{x, y, x + pw, y + ph};
        DrawPicture(dc, Artwork(name, m_dpi), dest);
    };
    draw("frame_top_left.png", 0, 0, corner, top);
    draw("frame_top_center.png", corner, 0, w - corner - cornerRight, top);
    draw("frame_top_right.png", w - cornerRight, 0, cornerRight, top);
    draw("frame_bottom_left.png", 0, h - bottom, corner, bottom);
    draw("frame_bottom_center.png", corner, h - bottom, w - corner - cornerRight, bottom);
    draw("frame_bottom_right.png", w - cornerRight, h - bottom, cornerRight, bottom);
    draw("frame_left.png", 0, top, left, h - top - bottom);
    draw("frame_right.png", w - right, top, right, h - top - bottom);
}

void Win32MainWindow::PaintStrip(HWND strip, HDC dc) {
    RECT r{};
    ::GetClientRect(strip, &r);
    ::FillRect(dc, &r, m_background);
    // The whole picture stands in for the captions; the chosen tab's columns come from the
    // picture that draws every tab chosen.
    const Picture& bitmap = Artwork("toolbuttons.bmp", m_dpi);
    const RECT all{0, 0, bitmap.width, bitmap.height};
    DrawPicture(dc, bitmap, all);
    if (m_activePage >= 0 && m_activePage < kPageCount) {
        const Picture& active = Artwork("toolbuttons_active.png", m_dpi);
        const RECT tab{m_tabEdges[m_activePage], 0, m_tabEdges[m_activePage + 1],
                       std::min(S(kStripHeight), active.height)};
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
        const RECT source{S(row.left), S(row.top), S(row.left + row.width), S(row.top + row.height)};
        DrawPicture(dc, Artwork(kPages[kSystemPage].picture, m_dpi), r, &source);
    } else if (id >= kSettingsButtonFirst && id < kSettingsButtonFirst + static_cast<int>(std::size(kSettingsButtons))) {
        const Picture& picture = Artwork(kSettingsButtons[id - kSettingsButtonFirst].picture, m_dpi);
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
