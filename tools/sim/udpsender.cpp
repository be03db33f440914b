#include "udpsender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

UdpSender::~UdpSender() {
    if (socket_fd >= 0) {
        ::close(socket_fd);
    }
}

bool UdpSender::open(const std::string& host, unsigned short port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (lookup != 0 || found == nullptr) {
        error = "cannot resolve host \"" + host +
                "\": " + (lookup == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(lookup));
        return false;
    }
    address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    address.sin_port = htons(port);
    freeaddrinfo(found);

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

int UdpSender::send(const std::string& datagram) {
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
