// Serves the command protocol on a TCP port, in a thread of its own.

#ifndef COMMANDSERVER_H
#define COMMANDSERVER_H

#include "commandprotocol.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// Accepts several clients at once. Each request ends with a NUL byte and gets one reply, sent
// as the reply text followed by one NUL byte. A request that grows past 200 characters without
// its NUL is answered with an error and its bytes are dropped up to the NUL.
//
// The protocol object belongs to the server thread once start() has run; the frame counter is
// the only thing the sending thread passes it afterwards.
class CommandServer {
public:
    static constexpr int max_clients = 16;

    explicit CommandServer(CommandProtocol protocol);
    ~CommandServer(); // stops the thread and closes every socket
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    // Listens on the address (dotted IPv4 or a name) and port (0: any free port) and starts
    // the thread. False with a one-line reason in error, e.g. when the port is in use.
    bool start(const std::string& bind_address, unsigned short port, std::string& error);
    void stop();

    unsigned short port() const { return bound_port; }
    void setFrameCounter(std::uint32_t counter) { frame_counter.store(counter); }

private:
    struct Client {
        int fd = -1;
        std::string pending;     // request bytes received so far
        bool discarding = false; // dropping an over-long request up to its NUL
    };

    void run();
    void acceptClient();
    bool serveClient(Client& client); // false when the client is gone
    bool reply(Client& client, const std::string& text);
    void closeSockets();

    CommandProtocol protocol;
    int listen_fd = -1;
    int wake_pipe[2] = {-1, -1};
    unsigned short bound_port = 0;
    std::vector<Client> clients;
    std::atomic<std::uint32_t> frame_counter{0};
    std::thread worker;
};

#endif // COMMANDSERVER_H
