#include "ui_win32/dialogs.h"

#include <windowsx.h>

#include "base/wide_text.h"
#include "controller/forms.h"
#include "startup/startup.h"
#include "ui_win32/artwork.h"
#include "ui_win32/dpi.h"

namespace tk {

using namespace forms;

namespace {


constexpr COLORREF kBackgroundColour = RGB(245, 250, 254);

HFONT DialogFont(int pixels, const char* face = forms::kTextFace) {
    return ::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Utf8ToWide(face).c_str());
}

HBRUSH Background() {
    static HBRUSH brush = ::CreateSolidBrush(kBackgroundColour);
    return brush;
}

// Draws the artwork `name` at `dpi`; positions and sizes in 96-DPI pixels (a size of -1: the
// picture's own).
void DrawNamed(HDC dc, int dpi, const char* name, int x, int y, int w = -1, int h = -1) {
    const Picture& picture = Artwork(name, dpi);
    const int left = Scaled(x, dpi), top = Scaled(y, dpi);
    const RECT dest{left, top, w < 0 ? left + picture.width : Scaled(x + w, dpi),
                    h < 0 ? top + picture.height : Scaled(y + h, dpi)};
    DrawPicture(dc, picture, dest);
}

// ---- the start-up documents dialog ----------------------------------------------------------

// 确定 answers Enter as a dialog's default button does; Esc closes as the title bar's box does.
enum : int { kConfirm = IDOK, kList = 10, kNotQuery, kSelectAll, kCancel };

}  // namespace

struct StartDocDialog::State {
    StartDocsForm* form = nullptr;
    HWND dialog = nullptr;
    HWND list = nullptr;
    HWND notQuery = nullptr;
    HWND selectAll = nullptr;
    bool done = false;
    bool selectingByCode = false;
    HFONT font = nullptr;
    int dpi = kBaseDpi;  // the owner's when the dialog was made
};

namespace {

using StartDocState = StartDocDialog::State;

void StoreSelection(StartDocState& s, bool clear) {
    const int count = ListBox_GetCount(s.list);
    std::vector<bool> rows;
    for (int i = 0; i < count; ++i) rows.push_back(ListBox_GetSel(s.list, i) > 0);
    if (clear) s.form->SpeedButton2Click(rows);
    else s.form->BtnConfirmClick(rows);
}

// CbSelectAllClick: checked or unchecked, the box selects every row.
void SelectAllRows(StartDocState& s) {
    s.selectingByCode = true;
    ListBox_SetSel(s.list, TRUE, -1);
    s.selectingByCode = false;
}

LRESULT CALLBACK StartDocProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<StartDocState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_COMMAND: {
            if (s == nullptr) break;
            int id = LOWORD(wp);
            const int code = HIWORD(wp);
            if (id == IDCANCEL) {
                s->done = true;  // as the title bar's close: no mark changes
                return 0;
            }
            if (id == IDOK && lp != 0 && reinterpret_cast<HWND>(lp) != ::GetFocus()) {
                // Enter: the focused picture button, else the default 确定.
                HWND focus = ::GetFocus();
                if (::IsChild(hwnd, focus) && (::GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
                    id = ::GetDlgCtrlID(focus);
                }
            }
            if (id == kConfirm || id == kCancel) {
                StoreSelection(*s, id == kCancel);
                s->done = true;
            } else if (id == kSelectAll && code == BN_CLICKED) {
                SelectAllRows(*s);
            } else if (id == kNotQuery && code == BN_CLICKED) {
                s->form->NotQueryClick(Button_GetCheck(s->notQuery) == BST_CHECKED);
            } else if (id == kList && code == LBN_SELCHANGE && !s->selectingByCode) {
                // The box's handling runs on every change of its state, this one too: the
                // user's first pick after 选择所有 leaves every row selected.
                if (Button_GetCheck(s->selectAll) != BST_UNCHECKED) {
                    Button_SetCheck(s->selectAll, BST_UNCHECKED);
                    SelectAllRows(*s);
                }
            } else if (id == kList && code == LBN_DBLCLK) {
                s->form->LbSelectDocDblClick(ListBox_GetCaretIndex(s->list));
            }
            return 0;
        }
        case WM_CLOSE:
            if (s) s->done = true;
            return 0;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            ::FillRect(item.hDC, &item.rcItem, Background());
            DrawNamed(item.hDC, s ? s->dpi : kBaseDpi, item.CtlID == kConfirm ? "btn_confirm.png" : "btn_cancel.png",
                      0, 0);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wp);
            HWND control = reinterpret_cast<HWND>(lp);
            ::SetTextColor(dc, ::GetDlgCtrlID(control) == 21 ? RGB(255, 0, 0) : RGB(0, 0, 0));
            ::SetBkColor(dc, kBackgroundColour);
            return reinterpret_cast<LRESULT>(Background());
        }
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- the about and help windows -------------------------------------------------------------

struct PictureState {
    PictureWindow which;
    std::function<void()> openSite;
    int dpi = kBaseDpi;
};

// Over the picture's web-address line (the picture lies at 10, 15): the window's own
// coordinates, as the Qt window places its link and close button.
constexpr RECT kAboutLink{130, 124, 130 + 210, 124 + 21};

// Whether `at` (client pixels) is on the about window's link.
bool OnAboutLink(const PictureState* s, POINT at) {
    if (s == nullptr || s->which != PictureWindow::About) return false;
    const RECT link{Scaled(kAboutLink.left, s->dpi), Scaled(kAboutLink.top, s->dpi),
                    Scaled(kAboutLink.right, s->dpi), Scaled(kAboutLink.bottom, s->dpi)};
    return ::PtInRect(&link, at) != FALSE;
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<PictureState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT r{};
            ::GetClientRect(hwnd, &r);
            ::FillRect(dc, &r, Background());
            // The frame is laid out in 96-DPI pixels over the client area's own size.
            const int dpi = s ? s->dpi : kBaseDpi;
            const int w = Unscaled(r.right, dpi), h = Unscaled(r.bottom, dpi);
            DrawNamed(dc, dpi, "dlg_top_left.png", 0, 0, 14, 15);
            DrawNamed(dc, dpi, "dlg_top_center.png", 14, 0, w - 28, 15);
            DrawNamed(dc, dpi, "dlg_top_right.png", w - 14, 0, 14, 15);
            DrawNamed(dc, dpi, "dlg_left.png", 0, 15, 10, h - 26);
            DrawNamed(dc, dpi, "dlg_right.png", w - 14, 15, 14, h - 26);
            DrawNamed(dc, dpi, "dlg_bottom_left.png", 0, h - 11, 14, 11);
            DrawNamed(dc, dpi, "dlg_bottom_center.png", 14, h - 11, w - 28, 11);
            DrawNamed(dc, dpi, "dlg_bottom_right.png", w - 14, h - 11, 14, 11);
            if (s && s->which == PictureWindow::About) {
                DrawNamed(dc, dpi, "about.jpg", 10, 15);
                // The link's underline over the picture's web-address line.
                HFONT font = ::CreateFontW(-Scaled(21, dpi), 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE,
                                           GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                           DEFAULT_QUALITY, DEFAULT_PITCH, Utf8ToWide(forms::kAboutFace).c_str());
                HGDIOBJ old = ::SelectObject(dc, font);
                ::SetBkMode(dc, TRANSPARENT);
                ::SetTextColor(dc, RGB(0, 0, 255));
                ::TextOutW(dc, Scaled(kAboutLink.left, dpi), Scaled(kAboutLink.top, dpi),
                           L"____________________", 20);
                ::SelectObject(dc, old);
                ::DeleteObject(font);
            } else {
                DrawNamed(dc, dpi, "help.jpg", 10, 15, 500, 480);
            }
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONUP: {
            const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (OnAboutLink(s, at) && s->openSite) s->openSite();
            return 0;
        }
        case WM_SETCURSOR: {
            POINT at{};
            ::GetCursorPos(&at);
            ::ScreenToClient(hwnd, &at);
            if (OnAboutLink(s, at)) {
                ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));
                return TRUE;
            }
            break;
        }
        case WM_COMMAND:
            // The close button, or Esc.
            if (LOWORD(wp) == IDCLOSE || LOWORD(wp) == IDCANCEL) ::ShowWindow(hwnd, SW_HIDE);
            return 0;
        case WM_ACTIVATE:
            // The keyboard lands on the close button, so Space or Enter closes at once.
            if (LOWORD(wp) != WA_INACTIVE) ::SetFocus(::GetDlgItem(hwnd, IDCLOSE));
            return 0;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            ::FillRect(item.hDC, &item.rcItem, Background());
            DrawNamed(item.hDC, s ? s->dpi : kBaseDpi, "btn_close.png", 0, 0);
            return TRUE;
        }
        case WM_CLOSE: ::ShowWindow(hwnd, SW_HIDE); return 0;
        case WM_NCDESTROY: delete s; break;
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSW wc{};
    if (::GetClassInfoW(::GetModuleHandleW(nullptr), name, &wc)) return;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = Background();
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);
}

// A control at a place given in 96-DPI pixels, drawn at `dpi`.
HWND Child(int dpi, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h,
           HWND parent, int id, HFONT font) {
    HWND made = ::CreateWindowExW(0, cls, Utf8ToWide(text).c_str(), WS_CHILD | WS_VISIBLE | style, Scaled(x, dpi),
                                  Scaled(y, dpi), Scaled(w, dpi), Scaled(h, dpi), parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                  nullptr);
    if (font) ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return made;
}

// The outer size for a client area of `w` × `h`.
SIZE Outer(DWORD style, int w, int h) {
    RECT r{0, 0, w, h};
    ::AdjustWindowRect(&r, style, FALSE);
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

StartDocDialog::StartDocDialog() : m_state(std::make_unique<State>()) {}

StartDocDialog::~StartDocDialog() {
    if (::IsWindow(m_state->dialog)) {
        ::SetWindowLongPtrW(m_state->dialog, GWLP_USERDATA, 0);
        ::DestroyWindow(m_state->dialog);
    }
    if (m_state->font) ::DeleteObject(m_state->font);
}

HWND StartDocDialog::Handle() const { return m_state->dialog; }

void StartDocDialog::Run(HWND owner, StartDocsForm& form) {
    State& state = *m_state;
    state.form = &form;
    if (!::IsWindow(state.dialog)) {
        RegisterClass(L"TFrmAutorunDoc", StartDocProc);
        state.dpi = DpiOf(owner);
        const int dpi = state.dpi;
        if (state.font == nullptr) state.font = DialogFont(Scaled(12, dpi));
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        const SIZE size = Outer(style, Scaled(kStartDialogWidth, dpi), Scaled(kStartDialogHeight, dpi));
        RECT ownerRect{};
        ::GetWindowRect(owner, &ownerRect);
        HWND dialog = ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, L"TFrmAutorunDoc",
                                        Utf8ToWide(kStartDialogCaption).c_str(), style, ownerRect.left + Scaled(40, dpi), ownerRect.top + Scaled(40, dpi), size.cx,
                                        size.cy, owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (dialog == nullptr) return;
        state.dialog = dialog;
        ::SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
        // Each control from its row: the strip over the list, then the one under it.
        const auto place = [&](const DialogRow& row, const wchar_t* cls, DWORD controlStyle, int stripTop, int id,
                               HFONT font) {
            return Child(dpi, cls, row.caption, controlStyle, row.left, stripTop + row.top, row.width, row.height, dialog,
                         id, font);
        };
        place(kStartDialogPrompt, L"STATIC", SS_NOPREFIX, 0, 20, state.font);
        // Made in the order Tab walks them.
        state.list = Child(dpi, L"LISTBOX", "", WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_EXTENDEDSEL | LBS_NOTIFY |
                                               LBS_NOINTEGRALHEIGHT,
                           5, kStartDialogTopStrip, kStartDialogWidth - 10,
                           kStartDialogHeight - kStartDialogTopStrip - kStartDialogBottomStrip, dialog, kList,
                           state.font);
        const int bottom = kStartDialogHeight - kStartDialogBottomStrip;
        state.notQuery = place(kStartDialogNotQuery, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, bottom, kNotQuery,
                               state.font);
        state.selectAll = place(kStartDialogSelectAll, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, bottom, kSelectAll,
                                state.font);
        place(kStartDialogConfirm, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, bottom, kConfirm, nullptr);
        place(kStartDialogCancel, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, bottom, kCancel, nullptr);
        place(kStartDialogNote, L"STATIC", SS_NOPREFIX, bottom, 21, state.font);
    }
    // FormShow: the rows afresh, each selected as its entry is marked.
    state.selectingByCode = true;
    ListBox_ResetContent(state.list);
    for (const StartDocRow& row : form.Rows()) {
        const int at = static_cast<int>(::SendMessageW(state.list, LB_ADDSTRING, 0,
                                                       reinterpret_cast<LPARAM>(Utf8ToWide(row.title).c_str())));
        if (row.selected) ListBox_SetSel(state.list, TRUE, at);
    }
    state.selectingByCode = false;
    Button_SetCheck(state.notQuery, form.DialogShown() ? BST_CHECKED : BST_UNCHECKED);

    // Modal: the owner takes no input until the dialog closes.
    state.done = false;
    ::EnableWindow(owner, FALSE);
    ::ShowWindow(state.dialog, SW_SHOW);
    ::SetForegroundWindow(state.dialog);
    ::SetFocus(state.list);
    MSG msg;
    while (!state.done && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(state.dialog, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (!state.done) ::PostQuitMessage(0);  // the loop ended on a quit: hand it on
    // The owner comes back before the dialog goes, so the activation returns to it.
    ::EnableWindow(owner, TRUE);
    ::ShowWindow(state.dialog, SW_HIDE);
    ::SetActiveWindow(owner);
}

HWND ShowPictureWindow(HWND existing, HWND owner, PictureWindow which, std::function<void()> openSite) {
    if (!::IsWindow(existing)) {
        const bool about = which == PictureWindow::About;
        RegisterClass(about ? L"TFrmVersion" : L"TFrmHelp", PictureProc);
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        const int dpi = DpiOf(owner);
        // The outer sizes as designed, frame included.
        const int w = Scaled(about ? 388 : 537, dpi), h = Scaled(about ? 281 : 587, dpi);
        existing = ::CreateWindowExW(0, about ? L"TFrmVersion" : L"TFrmHelp",
                                     Utf8ToWide(about ? forms::kAboutCaption : forms::kHelpCaption).c_str(), style, CW_USEDEFAULT,
                                     CW_USEDEFAULT, w, h, owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(existing, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(new PictureState{which, std::move(openSite), dpi}));
        RECT client{};
        ::GetClientRect(existing, &client);
        const DWORD button = BS_OWNERDRAW | WS_TABSTOP;
        if (about) Child(dpi, L"BUTTON", forms::kCloseCaption, button, 252, 205, 57, 26, existing, IDCLOSE, nullptr);
        else Child(dpi, L"BUTTON", forms::kCloseCaption, button, 10 + 348, Unscaled(client.bottom, dpi) - 11 - 39, 57, 26, existing,
                   IDCLOSE, nullptr);
    }
    ::ShowWindow(existing, SW_SHOW);
    ::SetForegroundWindow(existing);
    return existing;
}

}  // namespace tk
