#pragma once

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "controller/app_controller.h"
#include "controller/forms.h"
#include "controller/main_view.h"
#include "controller/web_strip_port.h"
#include "ui_win32/drop_files.h"
#include "ui_win32/tray_icon.h"
#include "ui_win32/single_instance.h"
#include "ui_win32/dialogs.h"
#include "ui_win32/dpi.h"
#include "ui_win32/tree_view.h"

namespace tk {

class Win32WebStrip;

// The window class and caption other programs (and a second start) find the window by.
inline constexpr wchar_t kMainClass[] = L"TFrmMain";
inline constexpr wchar_t kMainCaption[] = L"TarvoKelmora1.0";

// The main window on Windows: draws, lays out, and hands every user action to the controller,
// which speaks back through MainView.
class Win32MainWindow final : public MainView {
public:
    explicit Win32MainWindow(AppController& controller);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    HWND Handle() const { return m_window; }
    // PmMoreSpecialDir, for the tests.
    HMENU MoreMenu() const { return m_moreMenu; }
    // Shows the window where FormCreate placed it; the rest comes after its first frame.
    void Show();
    // The program ends: the history is saved, the tray icon goes, the window is destroyed.
    void Close();
    // The message loop's keyboard, as in any dialog: Tab, Shift+Tab, Space, Enter and Esc in
    // the main, about and help windows. True when the message was used here.
    bool TranslateDialogKey(MSG& msg);

    // ---- MainView
    void ShowSettings(const Settings& settings) override;
    int WindowWidth() const override;
    int WindowHeight() const override;
    void SetWindowWidth(int width) override;
    void SetWindowHeight(int height) override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    int WindowLeft() const override;
    int WindowTop() const override;
    void MoveWindow(int left, int top) override;
    bool WindowShown() const override;
    void ShowWindow() override;
    void HideWindow() override;
    void Unminimize() override;
    void RaiseAndActivate() override;
    void SetStaysOnTop(bool onTop) override;
    void SetTrayMenuCaption(const std::string& caption) override;
    void ExpandAllTrees(bool expand) override;
    void ShowHint(const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void Inform(const std::string& caption, const std::string& text) override;
    void ShowStartDocDialog() override;
    void ShowAbout() override;
    void ShowHelp() override;
    void PopupSpecialFolderMenu() override;
    void EndProgram() override;

private:
    static LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK StripProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK SplitterProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK TreeSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void RegisterClasses();
    void BuildChildren();
    void BuildSystemPage(HWND page);
    void BuildSettingsPage(HWND page);
    void BuildMenus();
    // A 96-DPI length at the window's DPI, and back.
    int S(int length) const { return Scaled(length, m_dpi); }
    int U(int length) const { return Unscaled(length, m_dpi); }
    // The window moved to a monitor of another DPI (or was made): fonts, pictures, places.
    void ApplyDpi(int dpi);
    void MakeFonts();
    void PlacePageControls();
    // The controller hears whether the window can be seen, as the web strip rests when not.
    void ReportShown(bool shown);
    void Layout();
    void PaintFrame(HDC dc);
    void PaintStrip(HWND strip, HDC dc);
    void PickTab(int index);
    void SetActivePageIndex(int index);
    void AfterFirstFrame();
    void OnCommand(int id, int code, HWND control);
    LRESULT OnNotify(NMHDR* header);
    void OnCheckTimeScroll(int code, int thumb);
    void DrawButton(const DRAWITEMSTRUCT& item);
    void SetDropTargetTree();
    void FocusInside();
    void TreeMouseMove(HWND tree, POINT at);
    void DropFiles(const DroppedFiles& drop);
    int TreePage(HWND control) const;

    AppController& m_controller;
    HWND m_window = nullptr;
    HWND m_owner = nullptr;  // hidden: an owned window has no taskbar button
    HWND m_strip = nullptr;
    HWND m_pages[kPageCount] = {};
    HWND m_trees[forms::kTreePageCount] = {};
    HWND m_hint = nullptr;
    HWND m_splitter = nullptr;
    HWND m_tooltip = nullptr;
    HWND m_boxes[std::size(forms::kBoxes)] = {};
    HWND m_checkTimeLabel = nullptr;
    HWND m_checkTime = nullptr;
    HWND m_groups[std::size(forms::kGroups)] = {};
    HMENU m_popMenu = nullptr;
    HMENU m_docTreeMenu = nullptr;
    HMENU m_moreMenu = nullptr;
    HFONT m_font13 = nullptr;
    HFONT m_font15 = nullptr;
    HFONT m_font16 = nullptr;
    HBRUSH m_background = nullptr;
    HBRUSH m_panel = nullptr;
    HICON m_iconSmall = nullptr;
    HICON m_iconBig = nullptr;
    std::unique_ptr<TreeImages> m_images;
    std::unique_ptr<TreeViewAdapter> m_adapters[forms::kTreePageCount];
    std::unique_ptr<Win32WebStrip> m_web;
    std::unique_ptr<Win32TrayIcon> m_tray;
    Win32DropTarget m_drop;
    std::wstring m_trayCaption;
    UINT m_taskbarCreated = 0;  // the shell started again: the tray icon goes back in
    int m_activePage = -1;
    int m_dpi = kBaseDpi;
    int m_tabEdges[kPageCount + 1] = {};  // forms::kTabEdges at the window's DPI
    int m_webHeight = 47;
    bool m_dragging = false;
    bool m_afterFirstFrameDone = false;
    bool m_closed = false;
    HWND m_about = nullptr;
    HWND m_help = nullptr;
    HWND m_lastFocus = nullptr;   // given back when the window is active again
    HTREEITEM m_hintNode = nullptr;  // 全部's node under the mouse whose hint shows
    UINT m_hintTool = 0;          // which of the two node tools holds m_hintNode
    StartDocDialog m_startDocDialog;
};

}  // namespace tk
