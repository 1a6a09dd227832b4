#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace tk {

// sway's IPC socket: $SWAYSOCK, else nothing (another compositor, or sway without IPC).
std::optional<std::string> SwaySocketPath();

// Sends one get_tree request and returns the reply's JSON text; nothing when the socket
// cannot be reached, the reply is malformed or larger than any real tree, or sway takes longer
// than `timeout`.
std::optional<std::string> SwayGetTree(const std::string& socketPath,
                                       std::chrono::milliseconds timeout, std::string& error);

}  // namespace tk
