#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What file managers that publish no list of their windows say about them elsewhere: the
// folder a window title names, and whether the user's settings put it there. Pure readers of
// outside text (titles any client may set, configuration files any program may write).
namespace tk {

// The absolute folders `title` may name, longest first. A file manager that shows the full
// path writes it whole or beside the folder's name and its own, joined by " - " or " — "
// ("/home/u/a b — Dolphin", "a b - /home/u/a b"); a path may hold those joins itself, so the
// caller keeps the first candidate that really is a folder. "~" stands for `home`.
std::vector<std::string> FolderCandidatesInTitle(std::string_view title, std::string_view home);

// A true/false entry of a KDE-style configuration file ("[Group]", then "Key=value");
// nothing when absent or not a boolean.
std::optional<bool> KdeConfigFlag(std::string_view text, std::string_view group, std::string_view key);

// A top-level boolean property of an xfconf channel file
// (<property name="NAME" type="bool" value="true"/>); nothing when absent.
std::optional<bool> XfconfChannelFlag(std::string_view text, std::string_view property);

}  // namespace tk
