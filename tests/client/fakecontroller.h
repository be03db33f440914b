// A scripted stand-in for the controller's command port: a TCP listener on
// loopback that serves one connection in its own thread. For each request it
// reads up to the request's NUL, records the exact bytes, and performs the next
// scripted action.
#ifndef TESTS_CLIENT_FAKECONTROLLER_H
#define TESTS_CLIENT_FAKECONTROLLER_H

#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ControllerAction {
    enum Kind { Reply, Silent, Close, Reset };
    Kind kind = Reply;
    std::string bytes; // sent as they are, for Reply
    int delay_ms = 0;  // waited before acting
};

ControllerAction reply(const std::string& bytes, int delay_ms = 0);
ControllerAction silent();
ControllerAction close_connection();
ControllerAction reset_connection();

class FakeController {
public:
    explicit FakeController(std::vector<ControllerAction> script);
    ~FakeController();
    FakeController(const FakeController&) = delete;
    FakeController& operator=(const FakeController&) = delete;

    unsigned short port() const { return listen_port; }
    // Every request received so far, with its terminating NUL.
    std::vector<std::string> requests() const;

private:
    void serve();

    std::vector<ControllerAction> script;
    int listen_fd = -1;
    int connection_fd = -1;
    unsigned short listen_port = 0;
    mutable std::mutex mutex;
    std::vector<std::string> received;
    std::thread worker;
};

#endif
