// The main window's children: the pages, the tab strip, the splitter and the trees' own
// messages, and the dialog keys of the message loop.
#include "ui_win32/main_window.h"

#include <algorithm>

#include <windowsx.h>
#include <commctrl.h>

#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/artwork.h"
#include "ui_win32/main_window_parts.h"
#include "ui_win32/web_strip.h"

namespace tk {

using namespace main_window_parts;
using namespace forms;

namespace {

// The window a child of one of our own classes belongs to: handed over at its creation and kept
// in its user data, so that no procedure needs to know of one main window.
Win32MainWindow* OwnerOf(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

LRESULT CALLBACK Win32MainWindow::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32MainWindow* self = OwnerOf(hwnd, msg, lp);
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
            // A page's number is its control identifier.
            const auto page = ::GetWindowLongPtrW(hwnd, GWLP_ID);
            if (self && page >= 0 && page < kPageCount && kPages[page].picture != nullptr) {
                const Picture& picture = Artwork(kPages[page].picture, self->m_dpi);
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
    Win32MainWindow* self = OwnerOf(hwnd, msg, lp);
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
            for (int i = 0; i < kPageCount; ++i) {
                if (x >= self->m_tabEdges[i] && x < self->m_tabEdges[i + 1]) self->PickTab(i);
            }
            return 0;
        }
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_GETOBJECT: {
            TabStripAccessible::Tabs tabs;
            tabs.count = kPageCount;
            tabs.edges = self->m_tabEdges;
            tabs.names = kTabCaptions.data();
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
    Win32MainWindow* self = OwnerOf(hwnd, msg, lp);
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
                self->m_webHeight =
                    std::max(20, self->U(static_cast<int>(client.bottom - self->S(kBottom) - at.y)) - kSplitterHeight / 2);
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
    if (msg == WM_GETDLGCODE && lp != 0) {
        // Enter belongs to the tree (it opens the pick), not to the window's dialog keys.
        const auto* key = reinterpret_cast<const MSG*>(lp);
        if (key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
            return ::DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTMESSAGE;
        }
    }
    if (msg == WM_MOUSEMOVE && hwnd == self->m_trees[0]) self->TreeMouseMove(hwnd, {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, TreeSubclass, 1);
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

bool Win32MainWindow::TranslateDialogKey(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || msg.hwnd == nullptr) return false;
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (root == nullptr || (root != m_window && root != m_about && root != m_help)) return false;
    // The web page handles its own keys.
    if (m_web && ::IsChild(m_web->Handle(), msg.hwnd)) return false;
    return ::IsDialogMessageW(root, &msg) != FALSE;
}

// 全部's hint comes afresh on every node: each node the mouse reaches on its icon or label
// becomes the other of two tools of the tool tip, so the tip takes it for a new tool.
void Win32MainWindow::TreeMouseMove(HWND tree, POINT at) {
    TVHITTESTINFO hit{};
    hit.pt = at;
    HTREEITEM item = TreeView_HitTest(tree, &hit);
    if (item == m_hintNode) return;
    if (item == nullptr || (hit.flags & ~static_cast<UINT>(TVHT_ONITEM)) != 0 || (hit.flags & TVHT_ONITEM) == 0) {
        return;  // beside the items the last node keeps the hint, as before
    }
    RECT rect{};
    if (!TreeView_GetItemRect(tree, item, &rect, TRUE)) return;
    ::SendMessageW(m_tooltip, TTM_POP, 0, 0);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = tree;
    info.uId = kNodeToolFirst + m_hintTool;
    info.rect = RECT{};
    ::SendMessageW(m_tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    m_hintTool = 1 - m_hintTool;
    info.uId = kNodeToolFirst + m_hintTool;
    info.rect = rect;
    // The icon belongs to the node too.
    info.rect.left = std::max(0L, static_cast<long>(rect.left) - S(19));
    ::SendMessageW(m_tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    m_hintNode = item;
}

}  // namespace tk
