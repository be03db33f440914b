#include "forwarder.h"

#include "decimaltext.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fmt/ranges.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <optional>

namespace {

const char* const form_needed = "needs HOST:PORT with a port from 1 to 65535";

// HOST and PORT, split at the last colon; none when either is missing or the port is out of
// range.
std::optional<std::pair<std::string, unsigned short>> hostAndPort(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    std::uint64_t port = 0;
    if (colon == std::string::npos || colon == 0 || !parseUnsigned(text.substr(colon + 1), port) ||
        port < 1 || port > 65535) {
        return std::nullopt;
    }
    return std::pair(text.substr(0, colon), static_cast<unsigned short>(port));
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

std::string Forwarder::checkForm(const std::string& text) {
    return hostAndPort(text) ? "" : form_needed;
}

bool Forwarder::open(const std::vector<std::string>& names, std::string& error) {
    for (const std::string& name : names) {
        const auto host_port = hostAndPort(name);
        Destination& destination = destinations.emplace_back();
        destination.name = name;
        std::string failure = form_needed;
        if (!host_port || !destination.sender.open(host_port->first, host_port->second, failure,
                                                   UdpSender::Mode::forwarding)) {
            error = "--forward " + name + ": " + failure;
            return false;
        }
    }
    return true;
}

bool Forwarder::loopsTo(unsigned short listen_port) const {
    for (const Destination& destination : destinations) {
        const sockaddr_in& address = destination.sender.address();
        if (ntohs(address.sin_port) == listen_port && isThisHost(address.sin_addr.s_addr)) {
            return true;
        }
    }
    return false;
}

void Forwarder::forward(std::string_view datagram) {
    ++forwarded_count;
    for (Destination& destination : destinations) {
        // A refusal is the answer to an earlier datagram, reported here and cleared by the
        // report; this one was not sent yet, so it is tried once more.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const int failure = destination.sender.send(datagram);
            if (failure == 0) {
                ++destination.sent;
                break;
            }
            ++destination.errors;
            destination.last_errno = failure;
            if (failure != ECONNREFUSED) {
                break;
            }
        }
    }
}

std::string Forwarder::summary() const {
    return fmt::format("{} forwarded ({})", forwarded_count, fmt::join(destinationLines(""), "; "));
}

std::vector<std::string> Forwarder::destinationLines(const char* before) const {
    std::vector<std::string> lines;
    for (const Destination& destination : destinations) {
        lines.push_back(fmt::format("{}{}: {} sent", before, destination.name, destination.sent));
        if (destination.errors > 0) {
            lines.back() += fmt::format(", {} errors, last: {}", destination.errors,
                                        std::strerror(destination.last_errno));
        }
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
