#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <xcb/xcb.h>

#include "platform/linux/x11/x11_properties.h"

namespace tk {

// xcb hands out replies and errors allocated with malloc; whoever takes one frees it.
struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// A reply as the property readers take it; an absent reply is an absent property.
inline RawProperty View(const xcb_get_property_reply_t* reply) {
    if (reply == nullptr) return {};
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply));
    return {reply->type, reply->format, reply->value_len,
            std::string_view(static_cast<const char*>(xcb_get_property_value(reply)), length)};
}

// True when a request failed; the error, if any, is freed.
inline bool Failed(const void* reply, xcb_generic_error_t* error) {
    XcbPtr<xcb_generic_error_t> owned(error);
    return reply == nullptr || error != nullptr;
}

// The checked form: an error (BadWindow for a destroyed window) comes back with this reply
// instead of landing in the event queue.
inline xcb_get_property_cookie_t GetProperty(xcb_connection_t* c, xcb_window_t w,
                                             xcb_atom_t property, xcb_atom_t type,
                                             std::uint32_t longs) {
    return xcb_get_property(c, 0, w, property, type, 0, longs);
}

inline XcbPtr<xcb_get_property_reply_t> TakeProperty(xcb_connection_t* c,
                                                     xcb_get_property_cookie_t cookie,
                                                     bool& failed) {
    xcb_generic_error_t* e = nullptr;
    XcbPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &e));
    failed |= Failed(reply.get(), e);
    return reply;
}

inline XcbPtr<xcb_get_property_reply_t> TakeProperty(xcb_connection_t* c,
                                                     xcb_get_property_cookie_t cookie) {
    bool ignored = false;
    return TakeProperty(c, cookie, ignored);
}

}  // namespace tk
