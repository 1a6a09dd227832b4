#pragma once

#include <cstdint>
#include <string>

#include <windows.h>
#include <shellapi.h>

namespace tk {

// The message the shell sends to the main window for the notification-area icon, with the
// mouse message in lParam: the first user message plus one.
inline constexpr UINT kTrayCallbackMessage = WM_USER + 1;

enum class TrayMouseAction { None, Toggle, Menu };

// What the window does for the mouse message of a tray callback: the left button going down
// slides the window, the right one opens the menu; moves, button-ups and double clicks do
// nothing.
TrayMouseAction TrayActionFor(LPARAM mouseMessage);

// The program's notification-area icon: added once, removed once, never modified between.
class Win32TrayIcon {
public:
    // The tip is UTF-8; it reaches the shell in the ANSI code page, cut on a character boundary
    // to what the record holds.
    Win32TrayIcon(HWND window, HICON icon, const std::string& tip);
    ~Win32TrayIcon();
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    // Shell_NotifyIconA(NIM_ADD); the program goes on without the icon when it fails.
    bool Add();
    // Shell_NotifyIconA(NIM_DELETE), once, only for an added icon.
    void Remove();
    bool Added() const { return m_added; }
    // The record handed to the shell; its size field is the real structure's size, which on
    // 64-bit Windows is not the 88 bytes of the 32-bit record of old.
    const NOTIFYICONDATAA& Record() const { return m_record; }

private:
    NOTIFYICONDATAA m_record{};
    bool m_added = false;
};

}  // namespace tk
