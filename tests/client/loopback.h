// Test helpers that drive a client through real UDP sockets on loopback.
#ifndef TESTS_CLIENT_LOOPBACK_H
#define TESTS_CLIENT_LOOPBACK_H

#include "Ombrix.h"
#include "net.h"

#include <memory>
#include <string>

// A client on a port the system chooses, without command channel.
std::unique_ptr<Ombrix> make_client(int data_timeout_us = 300000, int buffer_size = 20000);

// Sends one frame to the client's port and receives it.
bool send_and_receive(Ombrix& client, const std::string& frame);

#endif
