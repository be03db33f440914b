// Serves the command protocol on a TCP port, whenever the simulator lets it look.

#ifndef COMMANDSERVER_H
#define COMMANDSERVER_H

#include "commandprotocol.h"

#include <cstdint>
#include <poll.h>
#include <string>
#include <vector>

// Accepts several clients at once. Each request ends with a NUL byte and gets one reply, sent
// as the reply text followed by one NUL byte. A request that grows past 200 characters without
// its NUL is answered with an error and its bytes are dropped up to the NUL.
//
// The server has no thread: the simulator calls serve() while it waits for a frame's send time,
// and between frames when it does not wait. Until start() it watches no socket, and serve() is
// a plain wait.
class CommandServer {
public:
    static constexpr int max_clients = 16;

    explicit CommandServer(CommandProtocol protocol);
    ~CommandServer(); // closes every socket
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    // Listens on the address (dotted IPv4 or a name) and port (0: any free port). False with a
    // one-line reason in error, e.g. when the port is in use.
    bool start(const std::string& bind_address, unsigned short port, std::string& error);

    // Waits up to wait_ns (0: does not wait) for requests and connections, and serves those
    // that came. Returns early when something was served or a signal arrived.
    void serve(std::int64_t wait_ns);

    unsigned short port() const { return bound_port; }
    void setFrameCounter(std::uint32_t counter) { frame_counter = counter; }

private:
    struct Client {
        int fd = -1;
        std::string pending;     // request bytes received so far
        bool discarding = false; // dropping an over-long request up to its NUL
    };

    void acceptClient();
    bool serveClient(Client& client); // false when the client is gone
    bool reply(Client& client, const std::string& text);

    CommandProtocol protocol;
    int listen_fd = -1;
    int timer_fd; // ends a wait
    unsigned short bound_port = 0;
    std::vector<Client> clients;
    std::vector<pollfd> watched; // kept, so that looking at the port does not allocate
    std::uint32_t frame_counter = 0;
};

#endif // COMMANDSERVER_H
