#include "tcppeer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TcpPeer::TcpPeer(unsigned short port) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        fd = -1;
    }
}

TcpPeer::~TcpPeer() {
    if (fd >= 0) {
        ::close(fd);
    }
}

bool TcpPeer::send(const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

std::string TcpPeer::receiveReplies(int count, int timeout_ms) {
    std::string received;
    while (std::count(received.begin(), received.end(), '\0') < count) {
        pollfd watched{fd, POLLIN, 0};
        if (::poll(&watched, 1, timeout_ms) <= 0) {
            break;
        }
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

bool TcpPeer::closedByPeer(int timeout_ms) {
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, timeout_ms) <= 0) {
        return false;
    }
    char byte;
    return ::recv(fd, &byte, 1, 0) == 0;
}
