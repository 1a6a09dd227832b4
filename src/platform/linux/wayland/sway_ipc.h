#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tk {

// A message's header: the magic, the payload's length and the message's type, both in the
// machine's byte order.
inline constexpr std::size_t kSwayHeaderSize = 14;
std::string SwayRequest(std::uint32_t type);
// The payload length a reply header announces, when it is sway's, answers `type` and is no
// longer than any real reply; nothing otherwise.
std::optional<std::uint32_t> SwayReplyLength(std::string_view header, std::uint32_t type);

// sway's IPC socket: $SWAYSOCK, else nothing (another compositor, or sway without IPC).
std::optional<std::string> SwaySocketPath();

// Sends one get_tree request and returns the reply's JSON text; nothing when the socket
// cannot be reached, the reply is malformed or larger than any real tree, or sway takes longer
// than `timeout`.
std::optional<std::string> SwayGetTree(const std::string& socketPath,
                                       std::chrono::milliseconds timeout, std::string& error);

}  // namespace tk
