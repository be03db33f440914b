#include "udpreceiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

UdpReceiver::UdpReceiver() {
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    // Room for a whole fast replay while the test is busy elsewhere.
    const int buffer_size = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer_size, sizeof buffer_size);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        bound_port = ntohs(address.sin_port);
    }
}

UdpReceiver::~UdpReceiver() {
    if (fd >= 0) {
        ::close(fd);
    }
}

std::optional<std::string> UdpReceiver::receive(int timeout_ms) {
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, timeout_ms) <= 0) {
        return std::nullopt;
    }
    std::vector<char> buffer(65536);
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0) {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}
