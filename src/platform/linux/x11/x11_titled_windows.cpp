#include "platform/linux/x11/x11_titled_windows.h"

#include <cstring>
#include <utility>

#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_replies.h"

namespace tk {

namespace {

constexpr std::uint32_t kTitleLongs = 1024;  // 4 KiB: the longest title a path is read from
constexpr std::uint32_t kHostLongs = 64;

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    xcb_generic_error_t* error = nullptr;
    XcbPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), &error));
    XcbPtr<xcb_generic_error_t> owned(error);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

X11TitledWindows::X11TitledWindows(std::string displayName) : m_displayName(std::move(displayName)) {}

bool X11TitledWindows::Connect() {
    if (m_x && !m_x->Broken()) return true;
    std::string error;
    m_x = std::make_unique<XConnection>();
    if (!m_x->Open(m_displayName, error)) {
        m_x.reset();
        return false;
    }
    xcb_connection_t* c = m_x->Get();
    m_netWmName = Intern(c, "_NET_WM_NAME");
    m_utf8String = Intern(c, "UTF8_STRING");
    m_netWmPid = Intern(c, "_NET_WM_PID");
    m_listAtoms = {Intern(c, "_NET_SUPPORTING_WM_CHECK"), Intern(c, "_NET_CLIENT_LIST_STACKING"),
                   Intern(c, "_NET_CLIENT_LIST"), Intern(c, "WM_STATE")};
    return !m_x->Broken();
}

TitledWindowList X11TitledWindows::List() {
    TitledWindowList result;
    // No X display (a Wayland session without XWayland, a console): no windows of this kind.
    if (!Connect()) return result;
    xcb_connection_t* c = m_x->Get();
    const std::string host = ThisHostName();
    for (xcb_window_t w : ListClientWindows(c, m_x->Root(), m_listAtoms)) {
        const auto pidCookie = GetProperty(c, w, m_netWmPid, XCB_ATOM_CARDINAL, 1);
        const auto hostCookie = GetProperty(c, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, kHostLongs);
        const auto nameCookie = GetProperty(c, w, m_netWmName, m_utf8String, kTitleLongs);
        xcb_generic_error_t* e1 = nullptr;
        xcb_generic_error_t* e2 = nullptr;
        xcb_generic_error_t* e3 = nullptr;
        XcbPtr<xcb_get_property_reply_t> pid(xcb_get_property_reply(c, pidCookie, &e1));
        XcbPtr<xcb_get_property_reply_t> machine(xcb_get_property_reply(c, hostCookie, &e2));
        XcbPtr<xcb_get_property_reply_t> name(xcb_get_property_reply(c, nameCookie, &e3));
        // A window gone meanwhile answers with errors: it is simply no longer there.
        if (Failed(pid.get(), e1) | Failed(machine.get(), e2) | Failed(name.get(), e3)) continue;
        TitledWindow window;
        window.pid = ClaimedLocalPid(View(pid.get()), View(machine.get()), host);
        if (window.pid <= 0) continue;
        if (const auto title = PropertyText(View(name.get()), m_utf8String)) window.title = *title;
        result.windows.push_back(std::move(window));
    }
    if (m_x->Broken()) {
        result.ok = false;
        result.error = "the X connection broke while reading window titles";
    }
    return result;
}

}  // namespace tk
