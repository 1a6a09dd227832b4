#include "platform/windows/win32_tray_icon.h"

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

namespace {

// The longest run of whole ANSI characters that fits in `capacity` bytes with the terminator.
// Lead bytes come from the code page's own tables, never from guessing at byte values.
std::string CutAnsi(const std::string& ansi, std::size_t capacity) {
    if (capacity == 0) return {};
    std::size_t end = 0;
    for (std::size_t i = 0; i < ansi.size();) {
        const std::size_t width = ::IsDBCSLeadByte(static_cast<BYTE>(ansi[i])) ? 2 : 1;
        if (i + width > capacity - 1 || i + width > ansi.size()) break;
        i += width;
        end = i;
    }
    return ansi.substr(0, end);
}

}  // namespace

Win32TrayIcon::Win32TrayIcon(HWND window, HICON icon, const std::string& tip) {
    m_record.cbSize = sizeof(NOTIFYICONDATAA);
    m_record.hWnd = window;
    m_record.uID = 0;
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_record.uCallbackMessage = kTrayCallbackMessage;
    m_record.hIcon = icon;
    const std::string ansi = CutAnsi(win32::Utf8ToAnsi(tip), sizeof(m_record.szTip));
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
