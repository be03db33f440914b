#include "loopback.h"

std::unique_ptr<Ombrix> make_client(int data_timeout_us, int buffer_size) {
    return std::make_unique<Ombrix>("", 0, 0, buffer_size, data_timeout_us, 1000000);
}

bool send_and_receive(Ombrix& client, const std::string& frame) {
    UdpSocket sender;
    sender.send(client.get_data_port(), frame);
    return client.receive();
}
