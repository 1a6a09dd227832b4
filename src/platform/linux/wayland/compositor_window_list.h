#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/native_windows.h"

namespace tk {

// One window as the KWin script and the GNOME Shell extension describe it. Both send a JSON
// array of objects with these keys: "id" (text), "title", "pid", "class", "minimized",
// "skipTaskbar", "transientFor" (the id of the owner, or null), "stacking" (higher is nearer
// the top), "normal" and "dialog" (the window's type), "x11" (shown through XWayland).
struct CompositorWindow {
    std::string id;
    std::string title;
    std::int64_t pid = 0;
    std::string wmClass;
    bool minimized = false;
    bool skipTaskbar = false;
    std::string transientFor;
    std::int64_t stacking = 0;
    bool normal = true;
    bool dialog = false;
    bool x11 = false;
};

// Nothing when the text is no such array; entries that are no objects are skipped, missing
// or mistyped keys keep their defaults.
std::optional<std::vector<CompositorWindow>> ParseCompositorWindows(std::string_view json);

// The windows top first, with handles of their own (numbered from `handleBase`) and owners
// pointing at those handles; a window of another type than normal or dialog, or one kept
// off the task bar, is a tool window, as on X11.
std::vector<NativeWindow> ToNativeWindows(const std::vector<CompositorWindow>& windows,
                                          WindowHandle handleBase);

}  // namespace tk
