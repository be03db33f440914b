#include "forwarder.h"

#include "commandline.h"
#include "hostlookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Room for a burst of large frames while a slow link drains, so that a send seldom finds the
// socket full; the system caps it at its own maximum.
constexpr int send_buffer_bytes = 4 * 1024 * 1024;

// Splits HOST:PORT at its last colon; false when either part is missing.
bool split(const std::string& text, std::string& host, std::string& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    return true;
}

// Whether a datagram sent to address (network byte order) reaches this host, whose sockets
// the monitor's own port is bound on: loopback, the any-address, an interface's address, or a
// broadcast, which comes back to this host's listeners too.
bool isThisHost(std::uint32_t address) {
    if ((ntohl(address) >> 24) == 127 || address == htonl(INADDR_ANY) ||
        address == htonl(INADDR_BROADCAST)) {
        return true;
    }
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return false;
    }
    const auto is = [address](const sockaddr* interface_address) {
        return interface_address != nullptr && interface_address->sa_family == AF_INET &&
               reinterpret_cast<const sockaddr_in*>(interface_address)->sin_addr.s_addr == address;
    };
    bool found = false;
    for (const ifaddrs* entry = interfaces; entry != nullptr && !found; entry = entry->ifa_next) {
        found = is(entry->ifa_addr) ||
                ((entry->ifa_flags & IFF_BROADCAST) != 0 && is(entry->ifa_broadaddr));
    }
    ::freeifaddrs(interfaces);
    return found;
}

} // namespace

Forwarder::~Forwarder() {
    for (const Destination& destination : destinations) {
        if (destination.fd >= 0) {
            ::close(destination.fd);
        }
    }
}

std::string Forwarder::checkForm(const std::string& text) {
    std::string host;
    std::string port;
    if (!split(text, host, port) || !CommandLine::wholeNumber(1, 65535)(port).empty()) {
        return "needs HOST:PORT with a port from 1 to 65535";
    }
    return "";
}

bool Forwarder::open(const std::vector<std::string>& names, std::string& error) {
    for (const std::string& name : names) {
        std::string host;
        std::string port;
        if (const std::string form = checkForm(name); !form.empty()) {
            error = "--forward " + name + ": " + form;
            return false;
        }
        split(name, host, port);
        Destination destination;
        destination.name = name;
        const std::string failure = lookUpIPv4(host, SOCK_DGRAM, false, destination.address);
        if (!failure.empty()) {
            error = "--forward " + name + ": cannot resolve " + host + ": " + failure;
            return false;
        }
        destination.address.sin_port =
            htons(static_cast<std::uint16_t>(CommandLine::wholeNumberOf(port)));
        // Not blocking: a destination whose link is full loses its datagram rather than hold
        // up the others and the monitor.
        destination.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (destination.fd < 0) {
            error = "--forward " + name + ": cannot open a UDP socket: " + std::strerror(errno);
            return false;
        }
        ::setsockopt(destination.fd, SOL_SOCKET, SO_SNDBUF, &send_buffer_bytes,
                     sizeof send_buffer_bytes);
        // A lab may pass the stream to a whole subnet; the system refuses that without leave.
        const int broadcast = 1;
        ::setsockopt(destination.fd, SOL_SOCKET, SO_BROADCAST, &broadcast, sizeof broadcast);
        destinations.push_back(destination);
        // A destination without a route now may have one later; forward() tries again.
        connect(destinations.back());
    }
    return true;
}

bool Forwarder::loopsTo(unsigned short listen_port) const {
    for (const Destination& destination : destinations) {
        if (ntohs(destination.address.sin_port) == listen_port &&
            isThisHost(destination.address.sin_addr.s_addr)) {
            return true;
        }
    }
    return false;
}

// Connected, so that the system reports a refusal (an ICMP answer) on a later send.
bool Forwarder::connect(Destination& destination) {
    const sockaddr_in& address = destination.address;
    destination.connected =
        ::connect(destination.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!destination.connected) {
        destination.last_errno = errno;
    }
    return destination.connected;
}

void Forwarder::forward(std::string_view datagram) {
    ++forwarded_count;
    for (Destination& destination : destinations) {
        send(destination, datagram);
    }
}

void Forwarder::send(Destination& destination, std::string_view datagram) {
    if (!destination.connected && !connect(destination)) {
        ++destination.errors;
        return;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::send(destination.fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >=
            0) {
            ++destination.sent;
            return;
        }
        ++destination.errors;
        destination.last_errno = errno;
        // A refusal is the answer to an earlier datagram, reported here and cleared by the
        // report; this one was not sent yet, so it is tried once more.
        if (errno != ECONNREFUSED) {
            return;
        }
    }
}

std::string Forwarder::errorText(const Destination& destination) {
    std::string text = destination.name + ": " + std::to_string(destination.sent) + " sent";
    if (destination.errors > 0) {
        text += ", " + std::to_string(destination.errors) +
                " errors, last: " + std::strerror(destination.last_errno);
    }
    return text;
}

std::string Forwarder::summary() const {
    std::string text = std::to_string(forwarded_count) + " forwarded (";
    for (std::size_t i = 0; i < destinations.size(); ++i) {
        text += (i > 0 ? "; " : "") + errorText(destinations[i]);
    }
    return text + ")";
}

std::vector<std::string> Forwarder::destinationLines() const {
    std::vector<std::string> lines;
    for (const Destination& destination : destinations) {
        lines.push_back("forward " + errorText(destination));
    }
    return lines;
}

bool Forwarder::errorsGrew() {
    std::uint64_t errors = 0;
    for (const Destination& destination : destinations) {
        errors += destination.errors;
    }
    const bool grew = errors > errors_reported;
    errors_reported = errors;
    return grew;
}
