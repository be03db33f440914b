// A raw TCP connection to a server on loopback, for checking replies byte for byte.

#ifndef TESTS_TOOLS_TCPPEER_H
#define TESTS_TOOLS_TCPPEER_H

#include <string>

class TcpPeer {
public:
    explicit TcpPeer(unsigned short port); // connects to 127.0.0.1; see connected()
    ~TcpPeer();
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    bool connected() const { return fd >= 0; }
    bool send(const std::string& bytes);
    // Reads until `count` NUL bytes have arrived or the time-out passes; returns what came.
    std::string receiveReplies(int count, int timeout_ms = 2000);
    // True when the server closed the connection within the time-out.
    bool closedByPeer(int timeout_ms = 2000);

private:
    int fd = -1;
};

#endif
