// The window lists the KWin script and the GNOME Shell extension send, on arbitrary bytes:
// nothing may crash, and what reaches the sweep keeps its limits.
#include <cstdint>
#include <set>
#include <string_view>

#include "base/text.h"
#include "fuzz_support.h"
#include "platform/linux/wayland/compositor_window_list.h"

using tk::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto windows =
        tk::ParseCompositorWindows(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!windows) return 0;
    constexpr tk::WindowHandle kBase = 1000;
    const auto native = tk::ToNativeWindows(*windows, kBase);
    Require(native.size() == windows->size(), "every window is kept");
    std::set<tk::WindowHandle> handles;
    for (const tk::NativeWindow& w : native) {
        Require(handles.insert(w.info.handle).second, "handles are unique");
        Require(w.info.owner != w.info.handle, "no window owns itself");
        Require(w.info.text.size() <= 128 && tk::IsValidUtf8(w.info.text), "titles fit");
        Require(w.info.pid >= 0, "no negative pids");
    }
    return 0;
}
