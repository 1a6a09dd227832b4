#include "platform/linux/wayland/sway_ipc.h"

#include <cstring>

namespace tk {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
// A tree of a thousand windows is a few megabytes; more is no tree.
constexpr std::uint32_t kMaxReply = 64u << 20;

}  // namespace

std::string SwayRequest(std::uint32_t type) {
    std::string request(kSwayHeaderSize, '\0');
    const std::uint32_t length = 0;
    std::memcpy(request.data(), kMagic, sizeof kMagic);
    std::memcpy(request.data() + sizeof kMagic, &length, 4);
    std::memcpy(request.data() + sizeof kMagic + 4, &type, 4);
    return request;
}

std::optional<std::uint32_t> SwayReplyLength(std::string_view header, std::uint32_t type) {
    if (header.size() != kSwayHeaderSize ||
        header.substr(0, sizeof kMagic) != std::string_view(kMagic, sizeof kMagic)) {
        return std::nullopt;
    }
    std::uint32_t length = 0, replyType = 0;
    std::memcpy(&length, header.data() + sizeof kMagic, 4);
    std::memcpy(&replyType, header.data() + sizeof kMagic + 4, 4);
    if (replyType != type || length > kMaxReply) return std::nullopt;
    return length;
}

}  // namespace tk
