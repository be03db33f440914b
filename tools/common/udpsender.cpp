#include "udpsender.h"

#include "hostlookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Room for a burst of large frames while a slow link drains, so that a forwarding send seldom
// finds the socket full; the system caps it at its own maximum.
constexpr int forwarding_send_buffer_bytes = 4 * 1024 * 1024;

} // namespace

UdpSender::~UdpSender() {
    if (socket_fd >= 0) {
        ::close(socket_fd);
    }
}

bool UdpSender::open(const std::string& host, unsigned short port, std::string& error, Mode how) {
    mode = how;
    const bool forwarding = mode == Mode::forwarding;
    const std::string failure = lookUpIPv4(host, peer);
    if (!failure.empty()) {
        // A forwarder's message names the destination before this.
        error = (forwarding ? "cannot resolve " + host : "cannot resolve host \"" + host + "\"") +
                ": " + failure;
        return false;
    }
    peer.sin_port = htons(port);

    socket_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | (forwarding ? SOCK_NONBLOCK : 0), 0);
    if (socket_fd < 0) {
        error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
        return false;
    }
    // Lets a broadcast address be a destination, as for a controller serving several hosts or
    // a lab passing the stream to a whole subnet; the system refuses that without leave.
    const int enable = 1;
    ::setsockopt(socket_fd, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable);
    if (forwarding) {
        ::setsockopt(socket_fd, SOL_SOCKET, SO_SNDBUF, &forwarding_send_buffer_bytes,
                     sizeof forwarding_send_buffer_bytes);
    }
    return true;
}

int UdpSender::send(std::string_view datagram) {
    if (socket_fd < 0) {
        return EBADF;
    }
    const sockaddr* address = reinterpret_cast<const sockaddr*>(&peer);
    // Connected at the first send, and tried again at each later one until that succeeds: a
    // destination without a route now may have one later.
    if (mode == Mode::forwarding && !connected) {
        if (::connect(socket_fd, address, sizeof peer) != 0) {
            return errno;
        }
        connected = true;
    }
    const ssize_t sent = ::sendto(socket_fd, datagram.data(), datagram.size(), 0,
                                  connected ? nullptr : address, connected ? 0 : sizeof peer);
    if (sent < 0) {
        return errno;
    }
    return sent == static_cast<ssize_t>(datagram.size()) ? 0 : EMSGSIZE;
}

std::string UdpSender::destination() const {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}
