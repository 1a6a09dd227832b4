#include "platform/linux/wayland/sway_ipc.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "base/unique_fd.h"

namespace tk {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::uint32_t kGetTree = 4;
constexpr std::size_t kHeaderSize = sizeof(kMagic) + 8;
// A tree of a thousand windows is a few megabytes; more is no tree.
constexpr std::uint32_t kMaxReply = 64u << 20;

using Clock = std::chrono::steady_clock;

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

bool WriteAll(int fd, const char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (!WaitFor(fd, POLLOUT, deadline)) return false;
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (!WaitFor(fd, POLLIN, deadline)) return false;
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::string> SwaySocketPath() {
    const char* path = std::getenv("SWAYSOCK");
    if (path == nullptr || path[0] == '\0') return std::nullopt;
    return std::string(path);
}

std::optional<std::string> SwayGetTree(const std::string& socketPath,
                                       std::chrono::milliseconds timeout, std::string& error) {
    const auto deadline = Clock::now() + timeout;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof(address.sun_path)) {
        error = "no usable sway socket path";
        return std::nullopt;
    }
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        error = "cannot make a socket";
        return std::nullopt;
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        !(errno == EINPROGRESS && WaitFor(fd.Get(), POLLOUT, deadline))) {
        error = "cannot reach sway at " + socketPath;
        return std::nullopt;
    }

    // Header: magic, payload length, message type, both in the machine's byte order.
    char request[kHeaderSize];
    const std::uint32_t length = 0;
    std::memcpy(request, kMagic, sizeof kMagic);
    std::memcpy(request + sizeof kMagic, &length, 4);
    std::memcpy(request + sizeof kMagic + 4, &kGetTree, 4);
    if (!WriteAll(fd.Get(), request, sizeof request, deadline)) {
        error = "cannot send to sway";
        return std::nullopt;
    }
    char header[kHeaderSize];
    if (!ReadAll(fd.Get(), header, sizeof header, deadline)) {
        error = "sway did not answer";
        return std::nullopt;
    }
    std::uint32_t replyLength = 0, replyType = 0;
    std::memcpy(&replyLength, header + sizeof kMagic, 4);
    std::memcpy(&replyType, header + sizeof kMagic + 4, 4);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || replyType != kGetTree ||
        replyLength > kMaxReply) {
        error = "sway's answer is not a tree";
        return std::nullopt;
    }
    std::string payload(replyLength, '\0');
    if (!ReadAll(fd.Get(), payload.data(), payload.size(), deadline)) {
        error = "sway's answer was cut short";
        return std::nullopt;
    }
    return payload;
}

}  // namespace tk
