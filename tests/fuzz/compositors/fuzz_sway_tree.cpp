// sway's get_tree reader on arbitrary bytes: nothing may crash or run away, and every window
// that comes out was an object of the reply.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "platform/linux/wayland/sway_tree.h"

using tk::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto views = tk::ParseSwayTree(text);
    if (!views) return 0;
    const auto objects = static_cast<std::size_t>(std::count(text.begin(), text.end(), '{'));
    Require(views->size() < std::max<std::size_t>(objects, 1), "each window is an object");
    for (const tk::SwayView& v : *views) {
        Require(v.pid >= 0, "no negative pids");
        Require(v.xWindow == 0 || v.xwayland, "only X11 windows carry an X window");
    }
    return 0;
}
