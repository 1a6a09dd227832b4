// A drag source that speaks XDND as a file manager does, with nothing between it and the X
// server: it looks for the XdndAware window under a root point, enters it, moves to the
// point and drops, serving the uri-list from the XdndSelection on request.
//
//   tk_xdnd_source X Y URI...
//
// Prints "target <window>", "status <accepted> <action>", "data <requests served>" and
// "finished <accepted> <action>". Exit 0 when the protocol ran to its end (whether or not
// the target took the drop), 2 when no window takes XDND there, 3 when the target stopped
// answering.

#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace {

constexpr uint32_t kXdndVersion = 5;
constexpr int kTimeoutMs = 20000;

xcb_connection_t* g_conn = nullptr;
xcb_window_t g_root = 0;
std::map<std::string, xcb_atom_t> g_atoms;

xcb_atom_t Atom(const std::string& name) {
    auto it = g_atoms.find(name);
    if (it != g_atoms.end()) return it->second;
    auto cookie = xcb_intern_atom(g_conn, 0, static_cast<uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(g_conn, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    g_atoms[name] = atom;
    return atom;
}

std::string AtomName(xcb_atom_t atom) {
    if (atom == XCB_ATOM_NONE) return "none";
    auto cookie = xcb_get_atom_name(g_conn, atom);
    xcb_get_atom_name_reply_t* reply = xcb_get_atom_name_reply(g_conn, cookie, nullptr);
    std::string name = reply ? std::string(xcb_get_atom_name_name(reply),
                                           static_cast<size_t>(xcb_get_atom_name_name_length(reply)))
                             : "?";
    std::free(reply);
    return name;
}

bool IsXdndAware(xcb_window_t window) {
    auto cookie = xcb_get_property(g_conn, 0, window, Atom("XdndAware"), XCB_ATOM_ATOM, 0, 1);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(g_conn, cookie, nullptr);
    const bool aware = reply && reply->type == XCB_ATOM_ATOM && xcb_get_property_value_length(reply) == 4 &&
                       *static_cast<uint32_t*>(xcb_get_property_value(reply)) >= 3;
    std::free(reply);
    return aware;
}

// Walks down from the root through the windows that contain the point, as a source does
// while the pointer moves.
xcb_window_t AwareWindowAt(int16_t x, int16_t y) {
    xcb_window_t window = g_root;
    while (true) {
        auto cookie = xcb_translate_coordinates(g_conn, g_root, window, x, y);
        xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(g_conn, cookie, nullptr);
        const xcb_window_t child = reply ? reply->child : xcb_window_t{XCB_WINDOW_NONE};
        std::free(reply);
        if (child == XCB_WINDOW_NONE) return XCB_WINDOW_NONE;
        if (IsXdndAware(child)) return child;
        window = child;
    }
}

void SendClientMessage(xcb_window_t target, const char* type, std::initializer_list<uint32_t> data) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = target;
    event.type = Atom(type);
    int i = 0;
    for (uint32_t value : data) event.data.data32[i++] = value;
    xcb_send_event(g_conn, 0, target, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(g_conn);
}

struct Session {
    xcb_window_t source = 0;
    xcb_window_t target = 0;
    std::string uriList;
    int requests = 0;
    std::optional<xcb_timestamp_t> propertyTime;
    std::optional<xcb_client_message_event_t> status;
    std::optional<xcb_client_message_event_t> finished;
};

// The target asks for the data: answer with the list when it asks for a uri-list.
void Serve(Session& s, const xcb_selection_request_event_t* request) {
    xcb_selection_notify_event_t notify;
    std::memset(&notify, 0, sizeof notify);
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = XCB_ATOM_NONE;
    const xcb_atom_t property = request->property != XCB_ATOM_NONE ? request->property : request->target;
    if (request->selection == Atom("XdndSelection") && request->target == Atom("text/uri-list")) {
        xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, request->requestor, property, request->target, 8,
                            static_cast<uint32_t>(s.uriList.size()), s.uriList.data());
        notify.property = property;
        ++s.requests;
    }
    xcb_send_event(g_conn, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(g_conn);
}

void Handle(Session& s, xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
    case XCB_SELECTION_REQUEST:
        Serve(s, reinterpret_cast<xcb_selection_request_event_t*>(event));
        break;
    case XCB_PROPERTY_NOTIFY:
        s.propertyTime = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        break;
    case XCB_CLIENT_MESSAGE: {
        auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (message->type == Atom("XdndStatus")) s.status = *message;
        if (message->type == Atom("XdndFinished")) s.finished = *message;
        break;
    }
    default:
        break;
    }
}

// Serves requests until `done` holds; false when the time is up or the server has gone.
template <typename Done>
bool RunUntil(Session& s, Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (!done()) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(g_conn)) {
            Handle(s, event);
            std::free(event);
            if (done()) return true;
        }
        if (xcb_connection_has_error(g_conn)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{xcb_get_file_descriptor(g_conn), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s X Y URI...\n", argv[0]);
        return 64;
    }
    const auto x = static_cast<int16_t>(std::atoi(argv[1]));
    const auto y = static_cast<int16_t>(std::atoi(argv[2]));
    Session s;
    for (int i = 3; i < argc; ++i) s.uriList += std::string(argv[i]) + "\r\n";

    g_conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(g_conn)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    g_root = xcb_setup_roots_iterator(xcb_get_setup(g_conn)).data->root;

    s.target = AwareWindowAt(x, y);
    std::printf("target 0x%x\n", s.target);
    std::fflush(stdout);
    if (s.target == XCB_WINDOW_NONE) return 2;

    // The source window owns the selection; a server time stamp for it comes from a
    // property change, as selection owners must not use CurrentTime.
    s.source = xcb_generate_id(g_conn);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(g_conn, XCB_COPY_FROM_PARENT, s.source, g_root, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t version = kXdndVersion;
    xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, s.source, Atom("XdndAware"), XCB_ATOM_ATOM, 32, 1, &version);
    xcb_flush(g_conn);
    if (!RunUntil(s, [&] { return s.propertyTime.has_value(); })) return 3;
    const xcb_timestamp_t time = *s.propertyTime;
    xcb_set_selection_owner(g_conn, s.source, Atom("XdndSelection"), time);

    SendClientMessage(s.target, "XdndEnter", {s.source, kXdndVersion << 24, Atom("text/uri-list"), 0, 0});
    SendClientMessage(s.target, "XdndPosition",
                      {s.source, 0, (static_cast<uint32_t>(x) << 16) | static_cast<uint16_t>(y), time, Atom("XdndActionCopy")});
    if (!RunUntil(s, [&] { return s.status.has_value(); })) {
        std::printf("timeout status\n");
        return 3;
    }
    const bool accepted = (s.status->data.data32[1] & 1) != 0;
    std::printf("status %d %s\n", accepted ? 1 : 0, AtomName(s.status->data.data32[4]).c_str());
    std::fflush(stdout);

    // Dropped even after a refusal (a careful source would leave), so a test can see the
    // target refuse the drop itself too.
    SendClientMessage(s.target, "XdndDrop", {s.source, 0, time, 0, 0});
    if (!RunUntil(s, [&] { return s.finished.has_value(); })) {
        std::printf("timeout finished\n");
        return 3;
    }
    std::printf("data %d\n", s.requests);
    std::printf("finished %d %s\n", (s.finished->data.data32[1] & 1) ? 1 : 0,
                AtomName(s.finished->data.data32[2]).c_str());
    std::fflush(stdout);
    xcb_disconnect(g_conn);
    return 0;
}
