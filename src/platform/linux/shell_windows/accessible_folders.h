#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <glib.h>

// What a file manager's window tells assistive technologies about the folder it shows, read
// from the accessibility bus: the replies of its objects and the folder their widgets add up
// to. Pure readers of outside input (any client on that bus may answer anything).
namespace tk {

// The few accessibility roles and states the folder is read from (AT-SPI numbering).
namespace atspi {
constexpr std::uint32_t kRoleCheckBox = 7;
constexpr std::uint32_t kRoleFrame = 23;
constexpr std::uint32_t kRoleText = 61;
constexpr std::uint32_t kRoleToggleButton = 62;
constexpr std::uint32_t kRoleEntry = 79;
constexpr unsigned kStateChecked = 4;
constexpr unsigned kStateFocused = 12;
}  // namespace atspi

// One object on the accessibility bus: the connection that serves it and its object path.
struct AccessibleRef {
    std::string bus;
    std::string path;
    bool operator==(const AccessibleRef&) const = default;
};

// A GetChildren reply "(a(so))": the children, at most `limit`, those with a valid name and
// path only.
std::vector<AccessibleRef> AccessibleChildren(GVariant* reply, std::size_t limit);
// A GetRole reply "(u)".
std::optional<std::uint32_t> AccessibleRole(GVariant* reply);
// A GetState reply "(au)": whether state number `state` is set.
bool AccessibleHasState(GVariant* reply, unsigned state);
// A GetExtents reply "((iiii))": its left edge; nothing for an object placed nowhere (GTK
// answers INT32_MIN for a widget out of sight, such as a path button scrolled away).
std::optional<std::int32_t> AccessibleLeft(GVariant* reply);
// A text reply, "(s)" from GetText or "(v)" holding a string from a property: UTF-8, at most
// `maxBytes` (longer text is no name or path this reads; nothing then).
std::optional<std::string> AccessibleString(GVariant* reply, std::size_t maxBytes);

// A checkable button of a path bar: one per folder from the root down, the checked one the
// folder shown (deeper ones stay after going up). The root's button is named "/" or, showing
// only an icon, nothing. Buttons scrolled out of sight stay in the bar, placed nowhere.
struct PathButton {
    std::string name;
    std::optional<std::int32_t> left;
    bool checked = false;
};

// A location entry's text that looks like a path, and whether it has the keyboard focus (the
// user may be typing into it).
struct LocationEntry {
    std::string text;
    bool focused = false;
};

// What one window's widgets say about its folder.
struct FolderWidgets {
    std::string title;                              // the window's accessible name
    std::vector<LocationEntry> entries;
    std::vector<std::vector<PathButton>> pathBars;  // sibling checkable buttons, in tree order
};

// The absolute folder the widgets show, for the disk to confirm; nothing when they do not say.
// Half-typed text must not count, and a window may hold more than one bar (a second pane).
// In this order, the first that says:
// - a location entry whose last name agrees with the checked path button or the title (which
//   is the folder's name, alone or before " - " and the program's);
// - a path bar whose checked button agrees with the title;
// - any path bar: its buttons, from the root (left to right, right to left, or where some are
//   out of sight in tree order) to the checked one, each but the root naming a folder; a bar
//   of one nameless button, which any icon toggle could be, only after the entry below;
// - a location entry without the focus.
std::optional<std::string> FolderShown(const FolderWidgets& widgets);

}  // namespace tk
