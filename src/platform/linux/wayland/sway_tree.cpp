#include "platform/linux/wayland/sway_tree.h"

#include <nlohmann/json.hpp>
#include <unordered_map>
#include <unordered_set>

namespace tk {

namespace {

using Json = nlohmann::json;

// Real trees are a handful of levels deep (root, output, workspace, a few splits); anything
// deeper is dropped while parsing, so a hostile reply can neither recurse nor balloon.
constexpr int kMaxDepth = 64;

std::string StringField(const Json& node, const char* key) {
    auto it = node.find(key);
    return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool IsView(const Json& node) {
    auto type = node.find("type");
    if (type == node.end() || !type->is_string()) return false;
    const std::string& t = type->get_ref<const std::string&>();
    if (t != "con" && t != "floating_con") return false;
    // Split containers are cons too; only views carry a process.
    auto pid = node.find("pid");
    return pid != node.end() && pid->is_number_integer();
}

void Collect(const Json& node, int depth, std::vector<SwayView>& views) {
    if (!node.is_object() || depth > kMaxDepth) return;
    if (IsView(node)) {
        SwayView view;
        view.pid = node["pid"].get<std::int64_t>();
        if (view.pid < 0) view.pid = 0;
        view.title = StringField(node, "name");
        view.xwayland = StringField(node, "shell") == "xwayland";
        view.appId = StringField(node, "app_id");
        if (view.xwayland) {
            auto props = node.find("window_properties");
            if (view.appId.empty() && props != node.end() && props->is_object()) {
                view.appId = StringField(*props, "class");
            }
            auto window = node.find("window");
            if (window != node.end() && window->is_number_unsigned() &&
                window->get<std::uint64_t>() <= UINT32_MAX) {
                view.xWindow = static_cast<std::uint32_t>(window->get<std::uint64_t>());
            }
        }
        views.push_back(std::move(view));
    }

    std::vector<const Json*> children;
    for (const char* key : {"nodes", "floating_nodes"}) {
        auto list = node.find(key);
        if (list == node.end() || !list->is_array()) continue;
        for (const Json& child : *list) children.push_back(&child);
    }
    // Children named in "focus" first, in that order (most recent first), then the rest.
    std::unordered_map<std::int64_t, const Json*> byId;
    for (const Json* child : children) {
        if (!child->is_object()) continue;
        auto id = child->find("id");
        if (id != child->end() && id->is_number_integer())
            byId.try_emplace(id->get<std::int64_t>(), child);
    }
    std::vector<const Json*> ordered;
    std::unordered_set<const Json*> placed;
    auto focus = node.find("focus");
    if (focus != node.end() && focus->is_array()) {
        for (const Json& id : *focus) {
            if (!id.is_number_integer()) continue;
            auto found = byId.find(id.get<std::int64_t>());
            if (found != byId.end() && placed.insert(found->second).second) {
                ordered.push_back(found->second);
            }
        }
    }
    for (const Json* child : children) {
        if (placed.insert(child).second) ordered.push_back(child);
    }
    for (const Json* child : ordered) Collect(*child, depth + 1, views);
}

}  // namespace

std::optional<std::vector<SwayView>> ParseSwayTree(std::string_view json) {
    Json tree = Json::parse(
        json.begin(), json.end(),
        [](int depth, Json::parse_event_t, Json&) { return depth <= kMaxDepth; },
        /*allow_exceptions=*/false);
    if (tree.is_discarded() || !tree.is_object()) return std::nullopt;
    std::vector<SwayView> views;
    Collect(tree, 0, views);
    return views;
}

}  // namespace tk
