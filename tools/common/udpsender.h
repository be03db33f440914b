// Sends datagrams to one IPv4 host and port.

#ifndef UDPSENDER_H
#define UDPSENDER_H

#include <netinet/in.h>
#include <string>
#include <string_view>

class UdpSender {
public:
    enum class Mode {
        // Waits for room in the socket: the sender sets its own pace.
        waiting,
        // Passes on a stream: never waits, so that a destination whose link is full loses its
        // datagram rather than hold up the others, and is connected, so that the system reports
        // a refusal (an ICMP answer to an earlier datagram) on a later send.
        forwarding,
    };

    UdpSender() = default;
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    // Resolves the host (name or dotted address, IPv4) and opens the socket. False with a
    // one-line reason in error when the host cannot be resolved or no socket can be had.
    bool open(const std::string& host, unsigned short port, std::string& error,
              Mode mode = Mode::waiting);

    // Sends one datagram. Returns 0, or the errno of the failure; a failure is no reason to
    // stop, since the receiver may come and go.
    int send(std::string_view datagram);

    // "address:port" of the destination, as resolved.
    std::string destination() const;
    const sockaddr_in& address() const { return peer; }

private:
    int socket_fd = -1;
    Mode mode = Mode::waiting;
    bool connected = false;
    sockaddr_in peer{};
};

#endif // UDPSENDER_H
