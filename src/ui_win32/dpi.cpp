#include "ui_win32/dpi.h"

namespace tk {

int DpiOf(HWND hwnd) {
    // Looked up at run time: older systems have no per-window DPI.
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<ForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (forWindow != nullptr && hwnd != nullptr) {
        if (const UINT dpi = forWindow(hwnd); dpi >= 48) return static_cast<int>(dpi);
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi >= 48 ? dpi : kBaseDpi;
}

}  // namespace tk
