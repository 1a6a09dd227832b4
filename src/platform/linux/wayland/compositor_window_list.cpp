#include "platform/linux/wayland/compositor_window_list.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "base/text.h"

namespace tk {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxTextBytes = 128;
// The list is flat: an array of flat objects. Anything nested deeper is dropped while parsing.
constexpr int kMaxDepth = 3;
// More windows than any desktop shows; the rest are ignored.
constexpr std::size_t kMaxWindows = 10000;

std::string Text(const Json& o, const char* key) {
    auto it = o.find(key);
    return it != o.end() && it->is_string() ? SanitizeUtf8(it->get_ref<const std::string&>())
                                            : std::string();
}

bool Flag(const Json& o, const char* key, bool fallback) {
    auto it = o.find(key);
    return it != o.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

std::int64_t Integer(const Json& o, const char* key) {
    auto it = o.find(key);
    if (it == o.end()) return 0;
    if (it->is_number_integer()) return it->get<std::int64_t>();
    // Script engines send every number as a double.
    if (it->is_number_float()) {
        const double d = it->get<double>();
        if (d >= -9e15 && d <= 9e15) return static_cast<std::int64_t>(d);
    }
    return 0;
}

}  // namespace

std::optional<std::vector<CompositorWindow>> ParseCompositorWindows(std::string_view json) {
    Json list = Json::parse(
        json.begin(), json.end(),
        [](int depth, Json::parse_event_t, Json&) { return depth <= kMaxDepth; }, false);
    if (list.is_discarded() || !list.is_array()) return std::nullopt;
    std::vector<CompositorWindow> windows;
    for (const Json& o : list) {
        if (windows.size() >= kMaxWindows) break;
        if (!o.is_object()) continue;
        CompositorWindow w;
        w.id = Text(o, "id");
        w.title = Text(o, "title");
        w.pid = std::max<std::int64_t>(Integer(o, "pid"), 0);
        w.wmClass = Text(o, "class");
        w.minimized = Flag(o, "minimized", false);
        w.skipTaskbar = Flag(o, "skipTaskbar", false);
        w.transientFor = Text(o, "transientFor");
        w.stacking = Integer(o, "stacking");
        w.normal = Flag(o, "normal", true);
        w.dialog = Flag(o, "dialog", false);
        w.x11 = Flag(o, "x11", false);
        windows.push_back(std::move(w));
    }
    return windows;
}

std::vector<NativeWindow> ToNativeWindows(const std::vector<CompositorWindow>& windows,
                                          WindowHandle handleBase) {
    std::unordered_map<std::string, WindowHandle> handles;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (!windows[i].id.empty()) handles.try_emplace(windows[i].id, handleBase + i);
    }
    std::vector<std::size_t> order(windows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return windows[a].stacking > windows[b].stacking;
    });
    std::vector<NativeWindow> result;
    result.reserve(windows.size());
    for (std::size_t i : order) {
        const CompositorWindow& w = windows[i];
        NativeWindow n;
        n.info.handle = handleBase + i;
        n.info.visible = true;  // minimised windows count, as on X11
        if (!w.transientFor.empty() && w.transientFor != w.id) {
            auto owner = handles.find(w.transientFor);
            // An owner that is not listed is still an owner.
            n.info.owner = owner != handles.end() ? owner->second : handleBase - 1;
        }
        n.info.toolWindow = w.skipTaskbar || !(w.normal || w.dialog);
        n.title = w.title;
        n.info.text = std::string(TruncateUtf8(n.title, kMaxTextBytes));
        n.info.pid = w.pid;
        // A native window's class is its Wayland app id.
        n.info.appId = w.wmClass;
        n.xwayland = w.x11;
        result.push_back(std::move(n));
    }
    return result;
}

}  // namespace tk
