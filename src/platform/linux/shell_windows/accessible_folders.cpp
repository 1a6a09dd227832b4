#include "platform/linux/shell_windows/accessible_folders.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include <gio/gio.h>

#include "base/text.h"

namespace tk {

namespace {

bool Is(GVariant* reply, const char* type) {
    return reply != nullptr && g_variant_is_of_type(reply, G_VARIANT_TYPE(type));
}

// One folder's name as a path bar or an entry shows it: something, never a separator.
bool IsNameOfFolder(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::string_view LastName(std::string_view path) {
    if (path == "/") return path;
    return path.substr(path.rfind('/') + 1);
}

// "/a/b/" as "/a/b"; nothing for text that is no absolute path.
std::optional<std::string> AbsolutePath(std::string_view text) {
    if (!text.starts_with('/') || text.find('\0') != std::string_view::npos) return std::nullopt;
    while (text.size() > 1 && text.ends_with('/')) text.remove_suffix(1);
    return std::string(text);
}

// Whether the title names the folder called `name`: alone, or before the program's name
// ("name - Thunar").
bool TitleNames(std::string_view title, std::string_view name) {
    if (name.empty() || !title.starts_with(name)) return false;
    const std::string_view rest = title.substr(name.size());
    return rest.empty() || rest.starts_with(" - ") || rest.starts_with(" \xE2\x80\x94 ");
}

bool IsRootButton(const PathButton& button) { return button.name.empty() || button.name == "/"; }

// The bar's buttons from one end to the other: by their places when all have one; else in tree
// order (GTK keeps the buttons scrolled out of sight there, in line), unless the placed ones
// say otherwise.
bool PutInLine(std::vector<PathButton>& bar) {
    if (std::all_of(bar.begin(), bar.end(), [](const PathButton& b) { return b.left.has_value(); })) {
        std::stable_sort(bar.begin(), bar.end(),
                         [](const PathButton& a, const PathButton& b) { return *a.left < *b.left; });
        return true;
    }
    std::optional<std::int32_t> previous;
    int direction = 0;
    for (const PathButton& button : bar) {
        if (!button.left) continue;
        if (previous && *button.left != *previous) {
            const int step = *button.left > *previous ? 1 : -1;
            if (direction != 0 && step != direction) return false;
            direction = step;
        }
        previous = button.left;
    }
    return true;
}

struct BarReading {
    std::string path;
    std::string checkedName;  // "/" for the root
    bool lone = false;        // one nameless button: the root, or any icon toggle
};

std::optional<BarReading> ReadBar(std::vector<PathButton> bar) {
    if (std::count_if(bar.begin(), bar.end(), [](const PathButton& b) { return b.checked; }) != 1)
        return std::nullopt;
    if (!PutInLine(bar)) return std::nullopt;
    // A right-to-left desktop lays the root out last; tree order may hold it last too.
    if (!IsRootButton(bar.front()) && IsRootButton(bar.back())) std::reverse(bar.begin(), bar.end());
    if (!IsRootButton(bar.front())) return std::nullopt;
    // A row of icon toggles (views, side panes) has nameless buttons past the first.
    for (std::size_t i = 1; i < bar.size(); ++i) {
        if (!IsNameOfFolder(bar[i].name)) return std::nullopt;
    }
    BarReading reading;
    reading.path = "/";
    reading.checkedName = "/";
    reading.lone = bar.size() == 1 && bar.front().name.empty();
    for (std::size_t i = 1; i < bar.size() && !bar[i - 1].checked; ++i) {
        if (reading.path.size() > 1) reading.path += '/';
        reading.path += bar[i].name;
        reading.checkedName = bar[i].name;
    }
    return reading;
}

}  // namespace

std::vector<AccessibleRef> AccessibleChildren(GVariant* reply, std::size_t limit) {
    std::vector<AccessibleRef> children;
    if (!Is(reply, "(a(so))")) return children;
    GVariant* list = g_variant_get_child_value(reply, 0);
    const std::size_t count = g_variant_n_children(list);
    for (std::size_t i = 0; i < count && children.size() < limit; ++i) {
        const gchar* bus = nullptr;
        const gchar* path = nullptr;
        g_variant_get_child(list, i, "(&s&o)", &bus, &path);
        // A child that names no connection is one its parent could not hand out.
        if (bus == nullptr || path == nullptr || !g_dbus_is_name(bus)) continue;
        children.push_back({bus, path});
    }
    g_variant_unref(list);
    return children;
}

std::optional<std::uint32_t> AccessibleRole(GVariant* reply) {
    if (!Is(reply, "(u)")) return std::nullopt;
    guint32 role = 0;
    g_variant_get(reply, "(u)", &role);
    return role;
}

bool AccessibleHasState(GVariant* reply, unsigned state) {
    if (!Is(reply, "(au)")) return false;
    GVariant* words = g_variant_get_child_value(reply, 0);
    gsize count = 0;
    const auto* bits = static_cast<const guint32*>(g_variant_get_fixed_array(words, &count, sizeof(guint32)));
    const bool set = state / 32 < count && ((bits[state / 32] >> (state % 32)) & 1u) != 0;
    g_variant_unref(words);
    return set;
}

std::optional<std::int32_t> AccessibleLeft(GVariant* reply) {
    if (!Is(reply, "((iiii))")) return std::nullopt;
    gint32 x = 0, y = 0, width = 0, height = 0;
    g_variant_get(reply, "((iiii))", &x, &y, &width, &height);
    if (x == std::numeric_limits<gint32>::min()) return std::nullopt;
    return x;
}

std::optional<std::string> AccessibleString(GVariant* reply, std::size_t maxBytes) {
    GVariant* value = nullptr;
    if (Is(reply, "(s)")) {
        value = g_variant_get_child_value(reply, 0);
    } else if (Is(reply, "(v)")) {
        GVariant* boxed = g_variant_get_child_value(reply, 0);
        value = g_variant_get_variant(boxed);
        g_variant_unref(boxed);
        if (!g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
            g_variant_unref(value);
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    gsize length = 0;
    const gchar* text = g_variant_get_string(value, &length);
    std::optional<std::string> result;
    if (length <= maxBytes) result = SanitizeUtf8(std::string_view(text, length));
    g_variant_unref(value);
    return result;
}

std::optional<std::string> FolderShown(const FolderWidgets& widgets) {
    std::vector<std::string> checkedNames;
    std::vector<BarReading> readings;
    for (const auto& bar : widgets.pathBars) {
        for (const PathButton& b : bar) {
            if (b.checked) checkedNames.push_back(b.name);
        }
        if (auto reading = ReadBar(bar)) readings.push_back(std::move(*reading));
    }
    for (const LocationEntry& entry : widgets.entries) {
        const auto path = AbsolutePath(entry.text);
        if (!path) continue;
        const std::string_view name = LastName(*path);
        if (TitleNames(widgets.title, name) ||
            std::find(checkedNames.begin(), checkedNames.end(), name) != checkedNames.end()) {
            return path;
        }
    }
    for (const BarReading& reading : readings) {
        if (TitleNames(widgets.title, reading.checkedName)) return reading.path;
    }
    for (const BarReading& reading : readings) {
        if (!reading.lone) return reading.path;
    }
    // Nobody types into an entry without the focus. Titles that name no folder (the root's
    // "File System", home's "Home") leave only this.
    for (const LocationEntry& entry : widgets.entries) {
        if (auto path = AbsolutePath(entry.text); path && !entry.focused) return path;
    }
    if (!readings.empty()) return readings.front().path;
    return std::nullopt;
}

}  // namespace tk
