#include "platform/linux/x11/x_connection.h"

#include <cstdlib>

namespace tk {

XConnection::~XConnection() {
    if (m_c != nullptr) xcb_disconnect(m_c);
}

bool XConnection::Open(const std::string& displayName, std::string& error) {
    if (m_c != nullptr) xcb_disconnect(m_c);
    m_root = XCB_WINDOW_NONE;
    int screenNumber = 0;
    // Never null: a failed connection is an object of its own that reports the error.
    m_c = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(m_c)) {
        const char* shown = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        error = "cannot open X display " + std::string(shown ? shown : "(none)");
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem <= 0) {
        error = "the X display has no screen " + std::to_string(screenNumber);
        return false;
    }
    m_root = screens.data->root;
    return true;
}

void XConnection::RoundTrip() const {
    std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
}

}  // namespace tk
