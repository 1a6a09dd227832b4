#pragma once

#include "desktop/shell_windows.h"

namespace tk {

// The shell's ShellWindows collection: Explorer folders and browser windows, through
// IWebBrowser2 on each item. Any failing read ends the pass with ok = false.
class Win32ShellWindows final : public ShellWindows {
public:
    ShellWindowsResult List() override;
};

}  // namespace tk
