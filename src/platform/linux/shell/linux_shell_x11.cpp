// The shell's requests to the window manager and the X server: show the desktop, ring the bell.
#include "platform/linux/shell/linux_shell.h"

#include <cstdlib>
#include <memory>
#include <string_view>

#include <xcb/xcb.h>

#include "platform/linux/x11/x_connection.h"

namespace tk {

namespace {

bool ConnectDisplay(Diagnostics& diagnostics, XConnection& x, const std::string& displayName) {
    std::string error;
    if (x.Open(displayName, error)) return true;
    diagnostics.Warning("launch", error);
    return false;
}

}  // namespace

void LinuxShell::MinimizeAll() {
    XConnection x;
    if (!ConnectDisplay(m_diagnostics, x, m_options.displayName)) return;
    xcb_connection_t* c = x.Get();
    const xcb_window_t root = x.Root();
    constexpr std::string_view kName = "_NET_SHOWING_DESKTOP";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, kName.size(), kName.data()), nullptr),
        &std::free);
    if (!atom) return;
    // The window-manager standard's request: a client message to the root window.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = root;
    event.type = atom->atom;
    event.data.data32[0] = 1;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    x.RoundTrip();
}

void LinuxShell::MessageBeep() {
    XConnection x;
    if (!ConnectDisplay(m_diagnostics, x, m_options.displayName)) return;
    xcb_bell(x.Get(), 0);
    x.RoundTrip();
}

}  // namespace tk
