#pragma once

#include <vector>
#include <xcb/xcb.h>

namespace tk {

// The atoms the client list is read through.
struct ClientListAtoms {
    xcb_atom_t supportingWmCheck = XCB_ATOM_NONE;
    xcb_atom_t clientListStacking = XCB_ATOM_NONE;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;
};

// Top-level client windows, top of the stack first, each once: the window manager's list, or
// without one the clients found in the window tree.
std::vector<xcb_window_t> ListClientWindows(xcb_connection_t* c, xcb_window_t root,
                                            const ClientListAtoms& atoms);

}  // namespace tk
