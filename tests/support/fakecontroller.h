// A scripted stand-in for the controller's command port: a TCP listener on loopback (port 0:
// one the system chooses) in its own thread. For each request it reads up to the NUL, records
// the exact bytes and performs the next scripted action. The script runs on across
// connections: when the client closes one, the next is accepted.
#ifndef TESTS_SUPPORT_FAKECONTROLLER_H
#define TESTS_SUPPORT_FAKECONTROLLER_H

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

inline ControllerAction reply(const std::string& bytes, int delay_ms = 0) {
    return {ControllerAction::Reply, bytes, delay_ms};
}
inline ControllerAction silent() { return {ControllerAction::Silent, "", 0}; }
inline ControllerAction close_connection() { return {ControllerAction::Close, "", 0}; }
inline ControllerAction reset_connection() { return {ControllerAction::Reset, "", 0}; }

class FakeController {
public:
    explicit FakeController(std::vector<ControllerAction> script, unsigned short port = 0);
    ~FakeController();

    unsigned short port() const { return listen_port; }
    // Every request received so far, with its terminating NUL.
    std::vector<std::string> requests() const;
    int connections() const; // accepted so far

private:
    void serve();
    bool serve_connection(int fd, std::size_t& next);

    std::vector<ControllerAction> script;
    int listen_fd = -1;
    int connection_fd = -1;
    unsigned short listen_port = 0;
    mutable std::mutex mutex;
    std::vector<std::string> received;
    int accepted = 0;
    std::thread worker;
};

#endif
