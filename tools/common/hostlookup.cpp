#include "hostlookup.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

std::string lookUpIPv4(const std::string& host, int socketType, bool passive,
                       sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = socketType;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (lookup != 0 || found == nullptr)
        return lookup == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(lookup);
    address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    return "";
}
