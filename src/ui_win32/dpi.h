#pragma once

#include <windows.h>

namespace tk {

// The layout is written in pixels at 96 dots per inch; every length goes through Scaled on its
// way to the screen, so the window is the same size to the eye on every monitor.
inline constexpr int kBaseDpi = 96;

// The dots per inch `hwnd` is drawn at: its monitor's under per-monitor awareness, the
// system's where the system cannot say (before Windows 10).
int DpiOf(HWND hwnd);

inline int Scaled(int length, int dpi) { return ::MulDiv(length, dpi, kBaseDpi); }
// Back to the 96-DPI numbers; Unscaled(Scaled(x)) is x at every scale of 1 or more.
inline int Unscaled(int length, int dpi) { return ::MulDiv(length, kBaseDpi, dpi); }

}  // namespace tk
