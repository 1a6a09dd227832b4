#pragma once

#include <string>

#include <xcb/xcb.h>

namespace tk {

// A connection of our own to an X display, closed when it goes; the UI toolkit's connection
// stays untouched, and the backend needs no toolkit at all.
class XConnection {
public:
    XConnection() = default;
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    // Opens `displayName` (empty: $DISPLAY) and finds its screen; false with `error` saying why.
    bool Open(const std::string& displayName, std::string& error);

    xcb_connection_t* Get() const { return m_c; }
    const xcb_setup_t* Setup() const { return xcb_get_setup(m_c); }
    xcb_window_t Root() const { return m_root; }
    // True once the connection failed, or when it was never opened.
    bool Broken() const { return m_c == nullptr || xcb_connection_has_error(m_c) != 0; }
    // Waits until the server has handled everything sent, so nothing is lost on closing.
    void RoundTrip() const;

private:
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
};

}  // namespace tk
