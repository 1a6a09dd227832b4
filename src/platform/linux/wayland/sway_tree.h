#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

// One window in sway's layout tree.
struct SwayView {
    std::int64_t pid = 0;
    std::string appId;  // a native window's app_id, an X11 window's class
    std::string title;
    bool xwayland = false;  // an X11 program's window, shown through XWayland
    std::uint32_t xWindow = 0;
};

// The windows of a get_tree reply, most recently focused first (sway keeps each container's
// children in focus order). Nothing when the reply is no tree; windows of broken nodes are
// left out, the rest kept.
std::optional<std::vector<SwayView>> ParseSwayTree(std::string_view json);

}  // namespace tk
