// Puts an icon in the notification area through the backend and reports, one line each on
// standard output, the callback messages a real click on it brings: "added" once the shell has
// the icon, then "1025 <mouse message>" per message. Ends with 0 once a left and a right button
// press have arrived, with 1 when 60 seconds pass first, with 2 when the icon is refused.

#include <cstdio>

#include <windows.h>

#include "ui_win32/tray_icon.h"

namespace {

bool g_toggle = false;
bool g_menu = false;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == tk::kTrayCallbackMessage) {
        std::printf("%u 0x%03x\n", message, static_cast<unsigned>(lParam));
        std::fflush(stdout);
        switch (tk::TrayActionFor(lParam)) {
            case tk::TrayMouseAction::Toggle:
                g_toggle = true;
                break;
            case tk::TrayMouseAction::Menu:
                g_menu = true;
                break;
            case tk::TrayMouseAction::None:
                break;
        }
        if (g_toggle && g_menu) ::PostQuitMessage(0);
        return 0;
    }
    if (message == WM_TIMER) {
        ::PostQuitMessage(1);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TkTrayProbe";
    if (::RegisterClassA(&wc) == 0) return 2;
    HWND window = ::CreateWindowExA(0, "TkTrayProbe", "TarvoKelmora", WS_OVERLAPPEDWINDOW, 0, 0,
                                    100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (window == nullptr) return 2;
    tk::Win32TrayIcon icon(window, ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), "TarvoKelmora");
    if (!icon.Add()) {
        std::printf("refused\n");
        return 2;
    }
    std::printf("added\n");
    std::fflush(stdout);
    ::SetTimer(window, 1, 60000, nullptr);
    MSG msg;
    int code = 1;
    while (true) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            code = static_cast<int>(msg.wParam);
            break;
        }
        if (got < 0) break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    icon.Remove();
    ::DestroyWindow(window);
    return code;
}
