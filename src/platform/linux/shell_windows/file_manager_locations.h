#pragma once

#include <vector>

#include <glib.h>

#include "desktop/shell_windows.h"

namespace tk {

// The windows the file manager's OpenWindowsWithLocations value (a{sas}: window object path to
// its locations) describes, in its order: each shows its first location, as the core takes it.
std::vector<ShellWindow> WindowsOfLocations(GVariant* windowsWithLocations);

}  // namespace tk
