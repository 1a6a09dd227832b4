// The main window as the controller sees it: what it reads from and does to the window.
#include "ui_win32/win32_main_window.h"

#include <algorithm>
#include <iterator>

#include <windowsx.h>
#include <commctrl.h>
#include <oleacc.h>

#include "base/diagnostics.h"
#include "desktop/shell.h"
#include "platform/windows/ansi_text.h"
#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/win32_artwork.h"
#include "ui_win32/win32_dialogs.h"
#include "ui_win32/win32_main_window_parts.h"
#include "ui_win32/win32_web_strip.h"

namespace tk {

using namespace main_window_parts;
using win32::Utf8ToWide;

// ---- MainView --------------------------------------------------------------------------------

namespace {
int BoxSlot(SettingsBox box) {
    switch (box) {
        case SettingsBox::AutoRunDocs: return 4;
        case SettingsBox::Refresh: return 2;
        case SettingsBox::QueryAutoRunDoc: return 3;
    }
    return 2;
}
}  // namespace

bool Win32MainWindow::BoxChecked(SettingsBox box) const {
    return Button_GetCheck(m_boxes[BoxSlot(box)]) == BST_CHECKED;
}

void Win32MainWindow::SetBoxChecked(SettingsBox box, bool checked) {
    Button_SetCheck(m_boxes[BoxSlot(box)], checked ? BST_CHECKED : BST_UNCHECKED);
}

int Win32MainWindow::CheckTimePosition() const { return ::GetScrollPos(m_checkTime, SB_CTL); }

void Win32MainWindow::SetCheckTimePosition(int position) {
    ::SetScrollPos(m_checkTime, SB_CTL, std::clamp(position, kCheckTimeMin, kCheckTimeMax), TRUE);
}

void Win32MainWindow::SetCheckTimeLabel(const std::string& text) {
    ::SetWindowTextW(m_checkTimeLabel, Utf8ToWide(text).c_str());
}

void Win32MainWindow::SetAutoRunBox(bool checked) {
    Button_SetCheck(m_boxes[1], checked ? BST_CHECKED : BST_UNCHECKED);
}

int Win32MainWindow::WindowWidth() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.right - r.left;
}

int Win32MainWindow::WindowHeight() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.bottom - r.top;
}

void Win32MainWindow::SetWindowWidth(int width) {
    ::SetWindowPos(m_window, nullptr, 0, 0, width, WindowHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::SetWindowHeight(int height) {
    ::SetWindowPos(m_window, nullptr, 0, 0, WindowWidth(), height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32MainWindow::ScreenWidth() const { return ::GetSystemMetrics(SM_CXSCREEN); }
int Win32MainWindow::ScreenHeight() const { return ::GetSystemMetrics(SM_CYSCREEN); }

int Win32MainWindow::WindowLeft() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.left;
}

int Win32MainWindow::WindowTop() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return r.top;
}

void Win32MainWindow::MoveWindow(int left, int top) {
    ::SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32MainWindow::WindowShown() const { return ::IsWindowVisible(m_window) != FALSE; }
void Win32MainWindow::ShowWindow() { ::ShowWindow(m_window, SW_SHOWNA); }
void Win32MainWindow::HideWindow() { ::ShowWindow(m_window, SW_HIDE); }

void Win32MainWindow::Unminimize() {
    if (!::IsIconic(m_window)) return;
    // A hidden window is restored and hidden again: it comes back unminimised when shown.
    const bool shown = ::IsWindowVisible(m_window) != FALSE;
    ::ShowWindow(m_window, SW_RESTORE);
    if (!shown) ::ShowWindow(m_window, SW_HIDE);
}

void Win32MainWindow::RaiseAndActivate() {
    ::BringWindowToTop(m_window);
    ::SetForegroundWindow(m_window);
}

void Win32MainWindow::SetStaysOnTop(bool onTop) {
    ::SetWindowPos(m_window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32MainWindow::SetTrayMenuCaption(const std::string& caption) {
    m_trayCaption = Utf8ToWide(caption);
    ::ModifyMenuW(m_popMenu, kMnOpenKelmora, MF_BYCOMMAND | MF_STRING, kMnOpenKelmora, m_trayCaption.c_str());
}

void Win32MainWindow::ShowHint(const std::string& text) {
    ::SetWindowTextW(m_hint, Utf8ToWide(text).c_str());
}

bool Win32MainWindow::AskYesNo(const std::string& caption, const std::string& text) {
    // Yes is the first button and so the default.
    return ::MessageBoxW(::IsWindowVisible(m_window) ? m_window : nullptr, Utf8ToWide(text).c_str(),
                         Utf8ToWide(caption).c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void Win32MainWindow::Inform(const std::string& caption, const std::string& text) {
    ::MessageBoxW(::IsWindowVisible(m_window) ? m_window : nullptr, Utf8ToWide(text).c_str(),
                  Utf8ToWide(caption).c_str(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void Win32MainWindow::ShowStartDocDialog() {
    RunStartDocDialog(m_window, m_controller.History(), m_controller.DocLauncher(), m_controller.Settings(),
                      BoxChecked(SettingsBox::AutoRunDocs),
                      [this](const LaunchResult& result) { m_controller.ReportLaunch(result); });
}

void Win32MainWindow::ShowAbout() {
    m_about = ShowPictureWindow(m_about, PictureWindow::About, [this] { m_controller.AboutSiteClick(); });
}

void Win32MainWindow::ShowHelp() { m_help = ShowPictureWindow(m_help, PictureWindow::Help, {}); }

void Win32MainWindow::PopupSpecialFolderMenu() {
    // The window's screen place plus the button's place on its page, as the menu has always
    // opened: near the button, not exactly under it.
    const int id = static_cast<int>(::TrackPopupMenu(m_moreMenu, TPM_RETURNCMD | TPM_NONOTIFY,
                                                     WindowLeft() + 218, WindowTop() + 106 + 30, 0,
                                                     m_window, nullptr));
    if (id < kMoreFirst || id >= kMoreFirst + static_cast<int>(std::size(kMoreItems))) return;
    const int target = kMoreItems[id - kMoreFirst].target;
    if (target == kSystemDirectory) m_controller.OpenSystemDirectory();
    else if (target >= 0) m_controller.OpenSpecialFolder(target);
}

}  // namespace tk
