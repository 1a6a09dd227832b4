#include "ui_win32/tray_icon.h"

#include <cstring>

#include "platform/windows/ansi_text.h"

namespace tk {

TrayMouseAction TrayActionFor(LPARAM mouseMessage) {
    switch (static_cast<UINT>(mouseMessage)) {
        case WM_LBUTTONDOWN:
            return TrayMouseAction::Toggle;
        case WM_RBUTTONDOWN:
            return TrayMouseAction::Menu;
        default:
            return TrayMouseAction::None;
    }
}

Win32TrayIcon::Win32TrayIcon(HWND window, HICON icon, const std::string& tip) {
    m_record.cbSize = sizeof(NOTIFYICONDATAA);
    m_record.hWnd = window;
    m_record.uID = 0;
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_record.uCallbackMessage = kTrayCallbackMessage;
    m_record.hIcon = icon;
    // Whole characters that leave room for the terminator.
    const std::string full = win32::Utf8ToAnsi(tip);
    const std::string_view ansi =
        win32::WholeCharacters(std::string_view(full).substr(0, sizeof(m_record.szTip) - 1));
    std::memcpy(m_record.szTip, ansi.data(), ansi.size());
    m_record.szTip[ansi.size()] = '\0';
}

Win32TrayIcon::~Win32TrayIcon() { Remove(); }

bool Win32TrayIcon::Add() {
    if (!m_added) m_added = ::Shell_NotifyIconA(NIM_ADD, &m_record) != FALSE;
    return m_added;
}

void Win32TrayIcon::Remove() {
    if (!m_added) return;
    m_added = false;
    ::Shell_NotifyIconA(NIM_DELETE, &m_record);
}

}  // namespace tk
