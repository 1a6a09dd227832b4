#pragma once

#include <memory>
#include <string>

#include "platform/linux/titled_windows.h"
#include "platform/linux/x11/x11_client_list.h"
#include "platform/linux/x11/x_connection.h"

namespace tk {

// The X server's client windows with their whole `_NET_WM_NAME` and the local process their
// `_NET_WM_PID` claims, over a connection of its own.
class X11TitledWindows final : public TitledWindowLister {
public:
    // `displayName` empty: $DISPLAY. No display: no windows, and no failure.
    explicit X11TitledWindows(std::string displayName = {});

    TitledWindowList List() override;

private:
    bool Connect();

    std::string m_displayName;
    std::unique_ptr<XConnection> m_x;  // null until a display answered
    xcb_atom_t m_netWmName = XCB_ATOM_NONE;
    xcb_atom_t m_utf8String = XCB_ATOM_NONE;
    xcb_atom_t m_netWmPid = XCB_ATOM_NONE;
    ClientListAtoms m_listAtoms;
};

}  // namespace tk
