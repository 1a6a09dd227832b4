#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tk {

// One toplevel window of another client, as the compositor announced it.
struct ForeignToplevel {
    std::string title;
    std::string appId;
    bool activated = false;
    bool minimized = false;
    // Index of the toplevel this one belongs to in the same list; nothing when it stands alone.
    std::optional<std::size_t> parent;
};

struct ForeignToplevelList {
    // False when the compositor could not be reached or offers no toplevel list.
    bool ok = false;
    // True when the compositor was reached but has no foreign-toplevel manager.
    bool unsupported = false;
    std::string error;
    std::vector<ForeignToplevel> toplevels;  // in the order the compositor announced them
};

// Reads the toplevel list once over a connection of its own: connect, bind the manager, wait
// until every toplevel has sent its first "done", disconnect. `display` empty means
// $WAYLAND_DISPLAY. A compositor that does not answer within `timeout` counts as unreachable,
// so a hung compositor never hangs the sweep.
ForeignToplevelList ReadForeignToplevels(
    const std::string& display,
    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

}  // namespace tk
