// The main window as the controller sees it: what it reads from and does to the window.
#include "ui_win32/main_window.h"

#include <algorithm>
#include <iterator>

#include <windowsx.h>
#include <commctrl.h>
#include <oleacc.h>

#include "base/wide_text.h"
#include "desktop/shell.h"
#include "ui_win32/tab_strip_accessible.h"
#include "ui_win32/artwork.h"
#include "ui_win32/dialogs.h"
#include "ui_win32/main_window_parts.h"
#include "ui_win32/web_strip.h"

namespace tk {

using namespace main_window_parts;
using namespace forms;

// ---- MainView --------------------------------------------------------------------------------

void Win32MainWindow::ShowSettings(const Settings& settings) {
    for (SettingsBox box : kSettingsBoxes) {
        Button_SetCheck(m_boxes[BoxIndex(box)], settings.Box(box) ? BST_CHECKED : BST_UNCHECKED);
    }
    const int position = tk::CheckTimePosition(settings.checkDocInterval);
    ::SetScrollPos(m_checkTime, SB_CTL, position, TRUE);
    ::SetWindowTextW(m_checkTimeLabel, Utf8ToWide(CheckTimeLabel(position)).c_str());
    Button_SetCheck(m_boxes[BoxIndex(Action::AutoRun)], settings.autoRun ? BST_CHECKED : BST_UNCHECKED);
    if (settings.activePageIndex != m_activePage) {
        SetActivePageIndex(settings.activePageIndex);
        SetDropTargetTree();
    }
}

// The controller speaks in 96-DPI pixels, as the Qt window's device-independent ones: sizes and
// places are scaled on the way out and back on the way in.
int Win32MainWindow::WindowWidth() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return U(r.right - r.left);
}

int Win32MainWindow::WindowHeight() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return U(r.bottom - r.top);
}

void Win32MainWindow::SetWindowWidth(int width) {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    ::SetWindowPos(m_window, nullptr, 0, 0, S(width), r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::SetWindowHeight(int height) {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    ::SetWindowPos(m_window, nullptr, 0, 0, r.right - r.left, S(height), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32MainWindow::ScreenWidth() const { return U(::GetSystemMetrics(SM_CXSCREEN)); }
int Win32MainWindow::ScreenHeight() const { return U(::GetSystemMetrics(SM_CYSCREEN)); }

int Win32MainWindow::WindowLeft() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return U(r.left);
}

int Win32MainWindow::WindowTop() const {
    RECT r{};
    ::GetWindowRect(m_window, &r);
    return U(r.top);
}

void Win32MainWindow::MoveWindow(int left, int top) {
    ::SetWindowPos(m_window, nullptr, S(left), S(top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32MainWindow::WindowShown() const { return ::IsWindowVisible(m_window) != FALSE; }
void Win32MainWindow::ShowWindow() {
    // Brought in by the user (the tray, a second start): the keyboard comes with it.
    ::ShowWindow(m_window, SW_SHOW);
    ::SetForegroundWindow(m_window);
    FocusInside();
}
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
    if (::IsWindowVisible(m_window)) FocusInside();
}

void Win32MainWindow::FocusInside() {
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(m_window, focus)) return;
    // The control that had it last, else the page's first control Tab reaches.
    HWND target = m_lastFocus;
    if (!::IsWindow(target) || !::IsChild(m_window, target) || !::IsWindowVisible(target)) {
        target = m_activePage >= 0 && m_activePage < kTreePageCount ? m_trees[m_activePage]
                                                                    : ::GetNextDlgTabItem(m_window, nullptr, FALSE);
    }
    if (target) ::SetFocus(target);
}

void Win32MainWindow::SetStaysOnTop(bool onTop) {
    ::SetWindowPos(m_window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32MainWindow::SetTrayMenuCaption(const std::string& caption) {
    m_trayCaption = Utf8ToWide(caption);
    const UINT id = ActionId(Action::OpenKelmora);
    ::ModifyMenuW(m_popMenu, id, MF_BYCOMMAND | MF_STRING, id, m_trayCaption.c_str());
}

void Win32MainWindow::ExpandAllTrees(bool expand) {
    ::CheckMenuItem(m_docTreeMenu, ActionId(Action::ExpandAll), expand ? MF_CHECKED : MF_UNCHECKED);
    for (int page : kExpandAllPages) m_adapters[page]->ExpandAll(expand);
}

void Win32MainWindow::ShowHint(const std::string& text) {
    ::SetWindowTextW(m_hint, Utf8ToWide(text).c_str());
}

bool Win32MainWindow::AskYesNo(const std::string& caption, const std::string& text) {
    // Yes is the first button and so the default.
    // Owned by the window even while it is hidden: no taskbar button of its own.
    return ::MessageBoxW(m_window, Utf8ToWide(text).c_str(),
                         Utf8ToWide(caption).c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void Win32MainWindow::Inform(const std::string& caption, const std::string& text) {
    ::MessageBoxW(m_window, Utf8ToWide(text).c_str(),
                  Utf8ToWide(caption).c_str(), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void Win32MainWindow::ShowStartDocDialog() {
    m_startDocDialog.Run(m_window, m_controller.StartDocs());
}

void Win32MainWindow::ShowAbout() {
    // Owned by the application's hidden window, as the about window always was; the help
    // window by the main window.
    m_about = ShowPictureWindow(m_about, m_owner, PictureWindow::About, [this] { m_controller.Do(Action::AboutSite); });
}

void Win32MainWindow::ShowHelp() { m_help = ShowPictureWindow(m_help, m_window, PictureWindow::Help, {}); }

void Win32MainWindow::PopupSpecialFolderMenu() {
    const Point offset = MoreMenuOffset();
    const int id = static_cast<int>(::TrackPopupMenu(m_moreMenu, TPM_RETURNCMD | TPM_NONOTIFY,
                                                     S(WindowLeft() + offset.x), S(WindowTop() + offset.y), 0,
                                                     m_window, nullptr));
    if (id < kMoreFirst || id >= kMoreFirst + static_cast<int>(std::size(kMoreItems))) return;
    m_controller.OpenTarget(kMoreItems[id - kMoreFirst].target);
}

}  // namespace tk
