#include "sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace {

int close_handle(void* handle) {
    if (handle == nullptr)
        return 0;
    const int result = ::close(handle_fd(handle));
    std::free(handle);
    return result < 0 ? -1 : 0;
}

// A new handle block holding a socket of the given type: 0, or -11 when the block cannot be
// allocated, -2 when the socket cannot be opened.
int open_handle(int type, int** block) {
    *block = static_cast<int*>(std::malloc(sizeof(int)));
    if (*block == nullptr)
        return -11;
    **block = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (**block < 0) {
        std::free(*block);
        return -2;
    }
    return 0;
}

sockaddr_in ipv4_address(unsigned int ip, unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ip);
    address.sin_port = htons(port);
    return address;
}

} // namespace

int handle_fd(void* handle) {
    return *static_cast<int*>(handle);
}

int udp_init(void** handle, unsigned short* port) {
    int* block = nullptr;
    if (const int failed = open_handle(SOCK_DGRAM, &block))
        return failed;
    sockaddr_in address = ipv4_address(INADDR_ANY, *port);
    if (::bind(*block, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
        // The caller may want to say why (a port in use, a port it may not bind).
        const int reason = errno;
        close_handle(block);
        errno = reason;
        return -3;
    }
    if (*port == 0) {
        socklen_t length = sizeof(address);
        if (::getsockname(*block, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
            close_handle(block);
            return -3;
        }
        *port = ntohs(address.sin_port);
    }
    *handle = block;
    return 0;
}

int udp_exit(void* handle) {
    return close_handle(handle);
}

int tcp_client_init(void** handle, unsigned int ip, unsigned short port) {
    int* block = nullptr;
    if (const int failed = open_handle(SOCK_STREAM, &block))
        return failed;
    sockaddr_in address = ipv4_address(ip, port);
    if (::connect(*block, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
        close_handle(block);
        return -3;
    }
    *handle = block;
    return 0;
}

int tcp_exit(void* handle) {
    return close_handle(handle);
}

unsigned int ip_name2ip(const char* name) {
    const in_addr_t dotted = ::inet_addr(name);
    if (dotted != INADDR_NONE)
        return ntohl(dotted);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &result) != 0 || result == nullptr)
        return 0;
    const unsigned int ip =
        ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(result);
    return ip;
}

int wait_ready(int fd, short events, int timeout_us) {
    pollfd entry{fd, events, 0};
    timespec limit{};
    limit.tv_sec = timeout_us / 1000000;
    limit.tv_nsec = static_cast<long>(timeout_us % 1000000) * 1000;
    if (limit.tv_sec < 0 || limit.tv_nsec < 0)
        return -1;
    return ::ppoll(&entry, 1, &limit, nullptr);
}
