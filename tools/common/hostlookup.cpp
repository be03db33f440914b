#include "hostlookup.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

std::string lookUpIPv4(const std::string& host, sockaddr_in& address) {
    // Any socket type: the address is the same for each, and the first found is taken.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (lookup != 0 || found == nullptr)
        return lookup == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(lookup);
    address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    return "";
}

int openBoundSocket(const std::string& host, unsigned short port, const std::string& port_name,
                    std::string& error) {
    sockaddr_in address{};
    const std::string failure = lookUpIPv4(host, address);
    if (!failure.empty()) {
        error = "cannot resolve address \"" + host + "\" for the " + port_name + ": " + failure;
        return -1;
    }
    address.sin_port = htons(port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot open a socket: ") + std::strerror(errno);
        return -1;
    }
    // A listener started again soon after a run must not fail on the old connections'
    // TIME_WAIT; a port that another program listens on is still refused.
    const int enable = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &enable, sizeof enable);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = bindFailure(port_name, port, errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string bindFailure(const std::string& port_name, unsigned short port, int bind_errno) {
    const std::string name = port_name + " " + std::to_string(port);
    switch (bind_errno) {
    case EADDRINUSE:
        return name + " is already in use by another program";
    case EACCES:
        return name + " is reserved for privileged programs; choose one from 1024 up";
    default:
        return "cannot open " + name + ": " + std::strerror(bind_errno);
    }
}
