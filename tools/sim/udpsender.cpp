#include "udpsender.h"

#include "hostlookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

UdpSender::~UdpSender() {
    if (socket_fd >= 0) {
        ::close(socket_fd);
    }
}

bool UdpSender::open(const std::string& host, unsigned short port, std::string& error) {
    const std::string failure = lookUpIPv4(host, SOCK_DGRAM, false, address);
    if (!failure.empty()) {
        error = "cannot resolve host \"" + host + "\": " + failure;
        return false;
    }
    address.sin_port = htons(port);

    socket_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_fd < 0) {
        error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
        return false;
    }
    // Lets a broadcast address be a destination, as for a controller serving several hosts.
    const int enable = 1;
    setsockopt(socket_fd, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable);
    return true;
}

int UdpSender::send(std::string_view datagram) {
    if (socket_fd < 0) {
        return EBADF;
    }
    const ssize_t sent = ::sendto(socket_fd, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent < 0) {
        return errno;
    }
    return sent == static_cast<ssize_t>(datagram.size()) ? 0 : EMSGSIZE;
}

std::string UdpSender::destination() const {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}
