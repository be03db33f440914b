// A raw UDP socket on a loopback port the system chooses, to see the exact datagrams sent.

#ifndef TESTS_TOOLS_UDPRECEIVER_H
#define TESTS_TOOLS_UDPRECEIVER_H

#include <optional>
#include <string>

class UdpReceiver {
public:
    UdpReceiver();
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    unsigned short port() const { return bound_port; }
    // The next datagram, or none when nothing arrives within the time-out.
    std::optional<std::string> receive(int timeout_ms = 2000);

private:
    int fd = -1;
    unsigned short bound_port = 0;
};

#endif
