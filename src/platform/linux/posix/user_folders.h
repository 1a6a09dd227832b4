#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tk::xdg {

// The user's folders as the XDG base-directory rules name them. Each call reads the
// environment afresh (GLib keeps its first answer for the life of the process).

// $HOME when it is absolute, else the password database's home, else "/". Every part of the
// backend that needs the home folder asks here.
std::string HomeDir();
std::string DataHome();
std::string ConfigHome();
std::string CacheHome();
// $XDG_CONFIG_DIRS, most important first; /etc/xdg when unset.
std::vector<std::string> ConfigDirs();

// One of the user's named folders ("DESKTOP", "DOCUMENTS", "PUBLICSHARE"...) from
// $XDG_CONFIG_HOME/user-dirs.dirs; nothing when the file does not set it.
std::optional<std::string> UserDir(std::string_view name);

// The value of XDG_<name>_DIR in the text of a user-dirs.dirs file: "$HOME/..." or an absolute
// path in double quotes, later lines overriding earlier ones, as xdg-user-dirs writes it.
std::optional<std::string> FindUserDir(std::string_view fileText, std::string_view name,
                                       const std::string& home);

}  // namespace tk::xdg
