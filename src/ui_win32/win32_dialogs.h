#pragma once

#include <functional>

#include <windows.h>

#include "history/history.h"
#include "history/settings.h"
#include "launch/launcher.h"

namespace tk {

// The start-up documents dialog (文档自动启动), modal over `owner`; returns when it closes.
// `reportLaunch` takes the answer to a double-clicked entry's opening.
void RunStartDocDialog(HWND owner, HistoryCore& history, Launcher& launcher, SettingsWindow& mainWindow,
                       bool autoRunDocs, const std::function<void(const LaunchResult&)>& reportLaunch);

enum class PictureWindow { About, Help };

// The about (关于...) or help (TarvoKelmora-帮助文档) window: made on first use, then shown and
// raised again. `openSite` runs for a click on the about window's link. Returns the window.
HWND ShowPictureWindow(HWND existing, PictureWindow which, std::function<void()> openSite);

}  // namespace tk
