#pragma once

#include <string>

namespace tk {

// True when the desktop would start the entry at `path` without asking first: it lies in an
// applications folder of the system or of the user, or it is the user's own and executable.
// A history names files from anywhere; it must not start what the file manager would not.
bool IsTrustedDesktopEntry(const std::string& path);

}  // namespace tk
