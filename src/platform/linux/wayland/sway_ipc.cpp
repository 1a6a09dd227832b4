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

constexpr std::uint32_t kGetTree = 4;

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

    const std::string request = SwayRequest(kGetTree);
    if (!WriteAll(fd.Get(), request.data(), request.size(), deadline)) {
        error = "cannot send to sway";
        return std::nullopt;
    }
    char header[kSwayHeaderSize];
    if (!ReadAll(fd.Get(), header, sizeof header, deadline)) {
        error = "sway did not answer";
        return std::nullopt;
    }
    const std::optional<std::uint32_t> replyLength =
        SwayReplyLength(std::string_view(header, sizeof header), kGetTree);
    if (!replyLength) {
        error = "sway's answer is not a tree";
        return std::nullopt;
    }
    std::string payload(*replyLength, '\0');
    if (!ReadAll(fd.Get(), payload.data(), payload.size(), deadline)) {
        error = "sway's answer was cut short";
        return std::nullopt;
    }
    return payload;
}

}  // namespace tk
