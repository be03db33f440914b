// Sends datagrams to one IPv4 host and port.

#ifndef UDPSENDER_H
#define UDPSENDER_H

#include <netinet/in.h>
#include <string>
#include <string_view>

class UdpSender {
public:
    UdpSender() = default;
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    // Resolves the host (name or dotted address, IPv4) and opens the socket. False with a
    // one-line reason in error when the host cannot be resolved or no socket can be had.
    bool open(const std::string& host, unsigned short port, std::string& error);

    // Sends one datagram. Returns 0, or the errno of the failure; a failure is no reason to
    // stop, since the receiver may come and go.
    int send(std::string_view datagram);

    // "address:port" of the destination, as resolved.
    std::string destination() const;

private:
    int socket_fd = -1;
    sockaddr_in address{};
};

#endif // UDPSENDER_H
