#pragma once

#include <string>

#include "history/settings.h"

namespace tk {

// The main window as the controller sees it: what it shows, the window to move and show, and
// the questions and messages it asks. Nothing here reports back as a user action: the window
// tells the controller the user's actions as events, and the controller runs their rules.
class MainView {
public:
    virtual ~MainView() = default;

    // ---- settings widgets
    // Shows the settings: the boxes, the active page, SbCheckTime's position and its caption,
    // start at log-on. Reports nothing back.
    virtual void ShowSettings(const Settings& settings) = 0;

    // ---- the window
    // The outer size, frame included.
    virtual int WindowWidth() const = 0;
    virtual int WindowHeight() const = 0;
    virtual void SetWindowWidth(int width) = 0;
    virtual void SetWindowHeight(int height) = 0;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    // The outer top-left corner.
    virtual int WindowLeft() const = 0;
    virtual int WindowTop() const = 0;
    virtual void MoveWindow(int left, int top) = 0;
    virtual bool WindowShown() const = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    // Takes a minimised window out of the taskbar state, shown or not.
    virtual void Unminimize() = 0;
    virtual void RaiseAndActivate() = 0;
    virtual void SetStaysOnTop(bool onTop) = 0;
    virtual void SetTrayMenuCaption(const std::string& caption) = 0;
    // 展开全部: the trees of forms::kExpandAllPages open (or close) every group, and the menu
    // item shows the state.
    virtual void ExpandAllTrees(bool expand) = 0;

    // ---- messages and other windows
    virtual void ShowHint(const std::string& text) = 0;
    // A Yes/No question, Yes the default; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
    virtual void Inform(const std::string& caption, const std::string& text) = 0;
    // The start-up documents dialog, modal; returns when it closes.
    virtual void ShowStartDocDialog() = 0;
    virtual void ShowAbout() = 0;
    virtual void ShowHelp() = 0;
    virtual void PopupSpecialFolderMenu() = 0;
    // Ends the event loop; the window has already agreed to close.
    virtual void EndProgram() = 0;
};

}  // namespace tk
