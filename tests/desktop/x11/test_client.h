#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <xcb/xcb.h>

namespace tk::test {

// A raw X client of the test's own: it plays the applications (and, where a test wants
// one, a window manager that writes its lists by hand).
class TestClient {
public:
    explicit TestClient(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {
        root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
    }
    ~TestClient() { xcb_disconnect(m_c); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    xcb_atom_t Atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    xcb_window_t Create(xcb_window_t parent = XCB_WINDOW_NONE) {
        xcb_window_t w = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, parent ? parent : root, 0, 0, 64, 64, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        return w;
    }

    void Set(xcb_window_t w, const char* property, xcb_atom_t type, uint8_t format,
             const void* data, std::size_t count) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, Atom(property), type, format,
                            static_cast<uint32_t>(count), data);
    }
    void SetText(xcb_window_t w, const char* property, const char* type, std::string_view bytes) {
        Set(w, property, Atom(type), 8, bytes.data(), bytes.size());
    }
    void SetCard32(xcb_window_t w, const char* property, xcb_atom_t type,
                   std::vector<uint32_t> values) {
        Set(w, property, type, 32, values.data(), values.size());
    }
    void SetAtoms(xcb_window_t w, const char* property, std::vector<const char*> names) {
        std::vector<uint32_t> atoms;
        for (const char* name : names) atoms.push_back(Atom(name));
        SetCard32(w, property, XCB_ATOM_ATOM, atoms);
    }
    void SetWmState(xcb_window_t w, uint32_t state) {
        SetCard32(w, "WM_STATE", Atom("WM_STATE"), {state, 0});
    }

    // A titled application window, given its properties before it is mapped, as clients do.
    xcb_window_t Window(const std::string& title,
                        const std::function<void(xcb_window_t)>& before = {}) {
        xcb_window_t w = Create();
        SetText(w, "_NET_WM_NAME", "UTF8_STRING", title);
        if (before) before(w);
        xcb_map_window(m_c, w);
        Sync();
        return w;
    }

    void Map(xcb_window_t w) { xcb_map_window(m_c, w); }
    void Destroy(xcb_window_t w) { xcb_destroy_window(m_c, w); }

    // Returns once the server has handled everything sent before.
    void Sync() { std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)); }

    xcb_atom_t TypeOf(xcb_window_t w, const char* property) {
        auto* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, Atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
            nullptr);
        xcb_atom_t type = reply ? reply->type : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return type;
    }

    std::vector<uint32_t> Card32s(xcb_window_t w, const char* property) {
        auto* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, Atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16),
            nullptr);
        std::vector<uint32_t> values;
        if (reply && reply->format == 32) {
            auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            values.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    uint8_t MapState(xcb_window_t w) {
        auto* reply =
            xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, w), nullptr);
        uint8_t state = reply ? reply->map_state : uint8_t{XCB_MAP_STATE_UNMAPPED};
        std::free(reply);
        return state;
    }

    // A client message to the window manager about `w`, as the window-manager standards send it.
    void SendToRoot(xcb_window_t w, const char* type, std::vector<uint32_t> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = Atom(type);
        std::copy(data.begin(), data.end(), event.data.data32);
        xcb_send_event(m_c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        Sync();
    }

    xcb_window_t root = XCB_WINDOW_NONE;

private:
    xcb_connection_t* m_c;
};

}  // namespace tk::test
