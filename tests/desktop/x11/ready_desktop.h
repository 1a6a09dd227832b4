#pragma once

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

#include "virtual_desktop.h"

namespace tk::test {

namespace detail {

inline bool Viewable(xcb_connection_t* c, xcb_window_t w) {
    auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

// openbox publishes its check window before it handles map requests, and a window mapped
// in between is never managed. A probe window that it did map proves it is past that.
inline bool ManagerHandlesMaps(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    bool ready = false;
    if (!xcb_connection_has_error(c)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const xcb_window_t probe = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 8, 8, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        int polls = 0;
        ready = WaitFor([&] {
            // Ask again now and then: a dropped request stays dropped.
            if (polls++ % 5 == 0) xcb_map_window(c, probe);
            return Viewable(c, probe);
        });
        xcb_destroy_window(c, probe);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    xcb_disconnect(c);
    return ready;
}

}  // namespace detail

// A private desktop whose window manager (if asked for) already manages new windows;
// nothing when it could not be started.
inline std::unique_ptr<VirtualDesktop> StartReadyDesktop(bool windowManager = true) {
    VirtualDesktop::Options options;
    options.windowManager = windowManager;
    auto desktop = std::make_unique<VirtualDesktop>(options);
    if (!desktop->Ok()) return nullptr;
    if (windowManager && !detail::ManagerHandlesMaps(desktop->Display())) return nullptr;
    return desktop;
}

}  // namespace tk::test
