// Real sockets on loopback for tests: a UDP socket that sends and receives, and port helpers.

#ifndef TESTS_SUPPORT_NET_H
#define TESTS_SUPPORT_NET_H

#include <optional>
#include <string>

// A UDP socket bound to 127.0.0.1 on a port the system chooses. It sends to any loopback
// port and receives what is sent to its own, with room for a fast stream while the test is
// busy elsewhere.
class UdpSocket {
public:
    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    unsigned short port() const { return bound_port; }
    // Sends one datagram to 127.0.0.1:port; false when it did not go out whole.
    bool send(unsigned short port, const std::string& datagram);
    // The next datagram, or none when nothing arrives within the time-out.
    std::optional<std::string> receive(int timeout_ms = 2000);

private:
    int fd = -1;
    unsigned short bound_port = 0;
};

// A UDP port that no socket used a moment ago (a program started next may take it).
unsigned short freeUdpPort();
// True when a UDP socket could be bound to the port right now.
bool udpPortIsFree(unsigned short port);
// Waits until some UDP socket is bound to the port, at most timeout_ms. Reads the kernel's
// socket table, so that looking does not take the port from the program being waited for.
bool waitUntilUdpBound(unsigned short port, int timeout_ms = 5000);

#endif
