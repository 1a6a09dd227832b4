// The main window at its monitor's DPI: fonts, the pages' controls and the shown state.
#include "ui_win32/main_window.h"

#include <iterator>

#include <commctrl.h>

#include "base/wide_text.h"
#include "ui_win32/main_window_parts.h"
#include "ui_win32/web_strip.h"

namespace tk {

using namespace main_window_parts;
using namespace forms;

void Win32MainWindow::MakeFonts() {
    m_font13 = SongFont(S(13));
    m_font15 = SongFont(S(15));
    m_font16 = SongFont(S(16));
}

void Win32MainWindow::PlacePageControls() {
    auto place = [](HWND hwnd, HFONT font, int x, int y, int w, int h) {
        if (hwnd == nullptr) return;
        ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ::MoveWindow(hwnd, x, y, w, h, TRUE);
    };
    HWND system = m_pages[kSystemPage];
    for (std::size_t i = 0; i < std::size(kSystemButtons); ++i) {
        const SystemButtonRow& row = kSystemButtons[i];
        place(::GetDlgItem(system, kSystemFirst + static_cast<int>(i)), m_font13, S(row.left), S(row.top),
              S(row.width), S(row.height));
    }
    HWND page = m_pages[kSettingsPage];
    ::SendMessageW(page, WM_SETFONT, reinterpret_cast<WPARAM>(m_font15), FALSE);
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        const GroupRow& row = kGroups[i];
        place(m_groups[i], m_font13, S(row.left), S(row.top), S(row.width), S(row.height));
    }
    HDC dc = ::GetDC(page);
    HGDIOBJ old = ::SelectObject(dc, m_font13);
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        const BoxRow& row = kBoxes[i];
        const Point at = OnPage(row.parent, row.left, row.top);
        // As wide as its caption in the page's font, plus the box.
        const std::wstring caption = Utf8ToWide(row.caption);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        place(m_boxes[i], m_font13, S(at.x), S(at.y), extent.cx + S(22), S(17));
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(page, dc);
    for (const PlacedRow* row : {&kCheckTimeLabelRow, &kCheckTimeBarRow}) {
        const Point at = OnPage(row->parent, row->left, row->top);
        place(row == &kCheckTimeBarRow ? m_checkTime : m_checkTimeLabel, m_font13, S(at.x), S(at.y),
              S(row->width), S(row->height));
    }
    for (std::size_t i = 0; i < std::size(kSettingsButtons); ++i) {
        const PictureButtonRow& row = kSettingsButtons[i];
        const Point at = OnPage(row.parent, row.left, row.top);
        place(::GetDlgItem(page, kSettingsButtonFirst + static_cast<int>(i)), m_font13, S(at.x), S(at.y),
              S(row.width), S(row.height));
    }
}

void Win32MainWindow::ApplyDpi(int dpi) {
    if (dpi < 48 || dpi == m_dpi) return;
    m_dpi = dpi;
    for (int i = 0; i <= kPageCount; ++i) m_tabEdges[i] = S(kTabEdges[i]);
    // The controls let go of the old fonts before they go.
    HGDIOBJ old[] = {m_font13, m_font15, m_font16};
    MakeFonts();
    m_images->SetSide(S(16));
    for (HWND tree : m_trees) {
        ::SendMessageW(tree, WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
        TreeView_SetImageList(tree, m_images->Handle(), TVSIL_NORMAL);
        TreeView_SetIndent(tree, S(19));  // after the pictures, which reset it
    }
    ::SendMessageW(m_hint, WM_SETFONT, reinterpret_cast<WPARAM>(m_font13), FALSE);
    m_web->SetDpi(dpi);
    PlacePageControls();
    for (HGDIOBJ font : old) ::DeleteObject(font);
    Layout();
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32MainWindow::ReportShown(bool shown) {
    if (m_closed) return;
    m_controller.WebStrip().WindowShown(shown);
}

}  // namespace tk
