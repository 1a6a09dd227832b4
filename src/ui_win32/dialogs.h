#pragma once

#include <functional>
#include <memory>

#include <windows.h>

#include "controller/start_docs_form.h"

namespace tk {

// The start-up documents dialog (文档自动启动), made on first use with `owner` and kept for the
// run: 选择所有 keeps its state between showings, every showing lists the history afresh.
class StartDocDialog {
public:
    StartDocDialog();
    ~StartDocDialog();
    StartDocDialog(const StartDocDialog&) = delete;
    StartDocDialog& operator=(const StartDocDialog&) = delete;

    // Shows the dialog modally over `owner`; returns when it closes.
    void Run(HWND owner, StartDocsForm& form);
    HWND Handle() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

enum class PictureWindow { About, Help };

// The about (关于...) or help (TarvoKelmora-帮助文档) window: made on first use, owned by `owner`
// (so it has no taskbar button of its own), then shown and raised again. `openSite` runs for a
// click on the about window's link. Returns the window.
HWND ShowPictureWindow(HWND existing, HWND owner, PictureWindow which, std::function<void()> openSite);

}  // namespace tk
