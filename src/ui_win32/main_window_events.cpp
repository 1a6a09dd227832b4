// The main window's messages: commands, notifications and the window procedures.
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


// ---- events ----------------------------------------------------------------------------------

void Win32MainWindow::OnCommand(int id, int code, HWND control) {
    AppController& c = m_controller;
    if (control != nullptr && code != BN_CLICKED) return;
    if (id >= kActionFirst && id <= ActionId(Action::AboutSite)) {
        c.Do(static_cast<Action>(id - kActionFirst));
        return;
    }
    if (id >= kBoxFirst && id < kBoxFirst + static_cast<int>(std::size(kBoxes))) {
        const int box = id - kBoxFirst;
        const bool checked = Button_GetCheck(m_boxes[box]) == BST_CHECKED;
        // A box of the settings reports its new state; the others do what their row says.
        if (kBoxes[box].box) c.SettingsBoxClick(*kBoxes[box].box, checked);
        else c.Do(kBoxes[box].action, checked);
        return;
    }
    if (id >= kSettingsButtonFirst && id < kSettingsButtonFirst + static_cast<int>(std::size(kSettingsButtons))) {
        c.Do(kSettingsButtons[id - kSettingsButtonFirst].action);
        return;
    }
    if (id >= kSystemFirst && id < kSystemFirst + static_cast<int>(std::size(kSystemButtons))) {
        c.OpenTarget(kSystemButtons[id - kSystemFirst].target);
    }
}

LRESULT Win32MainWindow::OnNotify(NMHDR* header) {
    const int page = TreePage(header->hwndFrom);
    if (page < 0) return 0;
    TreeViewAdapter& adapter = *m_adapters[page];
    const PageRow& row = kPages[page];
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
            // The button only expands or collapses its group: a pick that opens nothing.
            const bool onButton = item != nullptr && (hit.flags & TVHT_ONITEMBUTTON);
            const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, shift = ::GetKeyState(VK_SHIFT) < 0;
            if (onItem && (ctrl || shift)) {
                // Several nodes are chosen with Ctrl and Shift; choosing opens nothing.
                adapter.ExtendSelection(item, shift);
                return TRUE;
            }
            adapter.ClearMarks();
            if (onItem || onButton) {
                TreeView_SelectItem(header->hwndFrom, item);
                adapter.ClearMarks();
                adapter.SyncSelection();
            }
            m_controller.TreeClick(page, !onButton);
            return 0;
        }
        case NM_DBLCLK:
            if (row.doubleClickOpens) m_controller.TreeDblClick(page);
            return 0;
        case NM_RETURN:
            if (row.hintAndKeys) m_controller.TreeKeyDown(TreeKey::Enter);
            return TRUE;
        case TVN_KEYDOWN:
            if (row.hintAndKeys && reinterpret_cast<NMTVKEYDOWN*>(header)->wVKey == VK_DELETE) {
                m_controller.TreeKeyDown(TreeKey::Delete);
            }
            return 0;
        case TVN_ITEMEXPANDINGW: {
            const auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
            if (change->action & TVE_EXPAND) adapter.Expanding(change->itemNew.hItem);
            return FALSE;
        }
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
    const int shown = ::GetScrollPos(m_checkTime, SB_CTL);
    int position = shown;
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
    if (position == shown) return;
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
        case WM_SIZE: {
            Layout();
            RECT outer{};
            ::GetWindowRect(m_window, &outer);
            m_controller.WindowResized(U(outer.right - outer.left), U(outer.bottom - outer.top));
            ReportShown(wp != SIZE_MINIMIZED && ::IsWindowVisible(m_window));
            return 0;
        }
        case WM_SHOWWINDOW:
            ReportShown(wp != FALSE && !::IsIconic(m_window));
            break;
        case WM_DPICHANGED: {
            // Another monitor: everything at its DPI, in the place the system suggests.
            ApplyDpi(HIWORD(wp));
            const RECT* suggested = reinterpret_cast<const RECT*>(lp);
            ::SetWindowPos(m_window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
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
        case WM_ACTIVATE:
            // The focused control is kept across a deactivation and given back, as a dialog does.
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(m_window, focus)) m_lastFocus = focus;
            } else if (!HIWORD(wp)) {
                FocusInside();
            }
            return 0;
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
        self->m_controller.Log().Info("discarded", e.what());
    } catch (...) {
        self->m_controller.Log().Info("discarded", "unknown error");
    }
    return 0;
}

}  // namespace tk
