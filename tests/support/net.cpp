#include "net.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

sockaddr_in loopback(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Binds a fresh UDP socket to the address; returns the bound port, or 0.
unsigned short bindUdp(int fd, sockaddr_in address) {
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

} // namespace

UdpSocket::UdpSocket() : fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    const int buffer_size = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer_size, sizeof buffer_size);
    bound_port = bindUdp(fd, loopback(0));
}

UdpSocket::~UdpSocket() {
    if (fd >= 0)
        ::close(fd);
}

bool UdpSocket::send(unsigned short port, const std::string& datagram) {
    const sockaddr_in address = loopback(port);
    return ::sendto(fd, datagram.data(), datagram.size(), 0,
                    reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == static_cast<ssize_t>(datagram.size());
}

std::optional<std::string> UdpSocket::receive(int timeout_ms) {
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, timeout_ms) <= 0)
        return std::nullopt;
    std::vector<char> buffer(65536);
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0)
        return std::nullopt;
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// Binds a throw-away UDP socket to the port on every address; the port it got, or 0.
static unsigned short bindAndRelease(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    const unsigned short bound = fd < 0 ? 0 : bindUdp(fd, any);
    if (fd >= 0)
        ::close(fd);
    return bound;
}

unsigned short freeUdpPort() {
    return bindAndRelease(0);
}

bool udpPortIsFree(unsigned short port) {
    return port != 0 && bindAndRelease(port) == port;
}

bool waitUntilUdpBound(unsigned short port, int timeout_ms) {
    // Lines of /proc/net/udp: "  sl  local_address rem_address ...", addresses as hex "IP:PORT".
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream table("/proc/net/udp");
        std::string line;
        std::getline(table, line); // the heading
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local;
            fields >> slot >> local;
            if (local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
