// Test helpers that drive a client through real UDP sockets on loopback.
#ifndef TESTS_CLIENT_LOOPBACK_H
#define TESTS_CLIENT_LOOPBACK_H

#include "Ombrix.h"

#include <memory>
#include <string>

// Sends datagrams from its own socket to 127.0.0.1.
class UdpSender {
public:
    UdpSender();
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    void send(unsigned short port, const std::string& datagram);

private:
    int fd;
};

// A client on a port the system chooses, without command channel.
std::unique_ptr<Ombrix> make_client(int data_timeout_us = 300000, int buffer_size = 20000);

// Sends one frame to the client's port and receives it.
bool send_and_receive(Ombrix& client, const std::string& frame);

#endif
