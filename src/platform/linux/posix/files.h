#pragma once

#include <optional>
#include <string>

namespace tk {

// The target of a symbolic link (/proc/PID/exe and the like), whatever its length; nothing when
// `path` is no link or cannot be read.
std::optional<std::string> ReadLink(const std::string& path);

// The full path of the running executable as the kernel reports it; empty when unknown.
std::string RunningExecutablePath();

}  // namespace tk
