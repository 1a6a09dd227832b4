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
// A GetExtents reply "((iiii))": its left edge.
std::optional<std::int32_t> AccessibleLeft(GVariant* reply);
// A text reply, "(s)" from GetText or "(v)" holding a string from a property: UTF-8, at most
// `maxBytes` (longer text is no name or path this reads; nothing then).
std::optional<std::string> AccessibleString(GVariant* reply, std::size_t maxBytes);

// A checkable button of a path bar: one per folder from the root down, the checked one the
// folder shown (deeper ones stay after going up).
struct PathButton {
    std::string name;
    std::int32_t left = 0;
    bool checked = false;
};

// What one window's widgets say about its folder.
struct FolderWidgets {
    std::string title;                            // the window's accessible name
    std::vector<std::string> entries;             // location entries' texts that look like paths
    std::vector<std::vector<PathButton>> pathBars;  // sibling checkable buttons, in tree order
};

// The absolute folder the widgets show, for the disk to confirm; nothing when they do not say.
// A location entry counts when its last name agrees with the checked path button or the title
// (so half-typed text does not); otherwise a path bar counts when its buttons, left to right
// (or right to left), run from "/" to the checked one.
std::optional<std::string> FolderShown(const FolderWidgets& widgets);

}  // namespace tk
