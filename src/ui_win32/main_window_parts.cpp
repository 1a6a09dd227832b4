// The small helpers that make the main window's controls.

#include "controller/forms.h"
#include "ui_win32/main_window_parts.h"

#include <string>

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>

#include "base/wide_text.h"

namespace tk {

namespace main_window_parts {

HFONT SongFont(int pixels) {
    return ::CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, Utf8ToWide(forms::kTextFace).c_str());
}

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

void AddRectTip(HWND tooltip, HWND owner, UINT id, const char* text) {
    if (tooltip == nullptr) return;
    std::wstring wide = Utf8ToWide(text);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = id;
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
    HWND button = ::CreateWindowExW(0, L"BUTTON", Utf8ToWide(label).c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                    x, y, w, h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowSubclass(button, HoverSubclass, 2, 0);
    return button;
}

}  // namespace main_window_parts

}  // namespace tk
