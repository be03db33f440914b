#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

UdpSender::UdpSender() : fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
    if (fd < 0)
        throw std::runtime_error("cannot open a UDP socket");
}

UdpSender::~UdpSender() {
    ::close(fd);
}

void UdpSender::send(unsigned short port, const std::string& datagram) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const ssize_t sent = ::sendto(fd, datagram.data(), datagram.size(), 0,
                                  reinterpret_cast<sockaddr*>(&address), sizeof(address));
    if (sent != static_cast<ssize_t>(datagram.size()))
        throw std::runtime_error("sendto failed");
}

std::unique_ptr<Ombrix> make_client(int data_timeout_us, int buffer_size) {
    return std::make_unique<Ombrix>("", 0, 0, buffer_size, data_timeout_us, 1000000);
}

bool send_and_receive(Ombrix& client, const std::string& frame) {
    UdpSender sender;
    sender.send(client.get_data_port(), frame);
    return client.receive();
}
