// Passes every datagram the monitor reads on to other programs' ports, so that the tester or
// an application keeps receiving the stream while the monitor watches it.

#ifndef FORWARDER_H
#define FORWARDER_H

#include "udpsender.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class Forwarder {
public:
    static constexpr std::size_t max_destinations = 8;

    // Empty when text has the form HOST:PORT with a port from 1 to 65535, else what it needs.
    static std::string checkForm(const std::string& text);

    // Resolves each HOST:PORT and opens a socket to it. False with a one-line reason naming
    // the destination; the forwarder must then not be used.
    bool open(const std::vector<std::string>& destinations, std::string& error);
    // Whether a destination is this host's listen_port, so that every datagram would come
    // back round.
    bool loopsTo(unsigned short listen_port) const;

    // Sends the datagram to every destination, never waiting: a destination that refuses or
    // cannot be reached is counted and the others still get it.
    void forward(std::string_view datagram);

    // "N forwarded (HOST:PORT: N sent; HOST:PORT: N sent, M errors, last: REASON)"
    std::string summary() const;
    // "forward HOST:PORT: N sent[, M errors, last: REASON]" for each destination, with before
    // in place of "forward ".
    std::vector<std::string> destinationLines(const char* before = "forward ") const;
    // True once for each time a destination's error count grew since the last call.
    bool errorsGrew();

private:
    struct Destination {
        std::string name; // HOST:PORT as given
        UdpSender sender;
        std::uint64_t sent = 0;
        std::uint64_t errors = 0;
        int last_errno = 0;
    };

    std::deque<Destination> destinations; // not a vector: a sender cannot move
    std::uint64_t forwarded_count = 0;
    std::uint64_t errors_reported = 0;
};

#endif // FORWARDER_H
