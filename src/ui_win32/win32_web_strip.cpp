#include "ui_win32/win32_web_strip.h"

#include "base/diagnostics.h"
#include "ui_win32/win32_artwork.h"

namespace tk {

namespace {
constexpr wchar_t kClass[] = L"TkWebStrip";
}

// The browser control is not hosted yet: the strip keeps its banner.
class Win32WebStrip::Browser {};

Win32WebStrip::Win32WebStrip(HWND parent, std::function<void()> bannerClicked,
                             std::function<void()> navigateComplete)
    : m_bannerClicked(std::move(bannerClicked)), m_navigateComplete(std::move(navigateComplete)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // the hand: the banner is a link
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(0, kClass, L"TarvoKelmora 主页", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                 0, 0, 468, 47, parent, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32WebStrip::~Win32WebStrip() {
    if (::IsWindow(m_window)) ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
}

bool Win32WebStrip::CreateBrowser() {
    ReportInfo("web strip", "no browser control on this system: the banner stays");
    return false;
}

void Win32WebStrip::Navigate(const std::string&) {}

void Win32WebStrip::RequestPage(std::function<void(const std::string&, const std::string&, bool)>) {}

int Win32WebStrip::StripWidth() const {
    RECT r{};
    ::GetClientRect(m_window, &r);
    return r.right;
}

int Win32WebStrip::StripHeight() const {
    RECT r{};
    ::GetClientRect(m_window, &r);
    return r.bottom;
}

void Win32WebStrip::PlaceBrowser(const BrowserPlacement&) {}

LRESULT CALLBACK Win32WebStrip::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32WebStrip*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT r{};
            ::GetClientRect(hwnd, &r);
            HBRUSH brush = ::CreateSolidBrush(RGB(245, 250, 254));
            ::FillRect(dc, &r, brush);
            ::DeleteObject(brush);
            const Picture& banner = Artwork("banner.png");
            const RECT dest{0, 0, banner.width, banner.height};
            DrawPicture(dc, banner, dest);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONUP:
            // The banner takes clicks over the whole strip, beyond its picture too.
            if (self && self->m_bannerClicked) self->m_bannerClicked();
            return 0;
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tk
