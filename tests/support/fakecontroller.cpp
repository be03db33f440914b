#include "fakecontroller.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

FakeController::FakeController(std::vector<ControllerAction> actions, unsigned short port)
    : script(std::move(actions)) {
    listen_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1; // a port given again must be free at once, whatever the last one left
    ::setsockopt(listen_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (listen_fd < 0 ||
        ::bind(listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0 ||
        ::listen(listen_fd, 4) < 0)
        throw std::runtime_error("fake controller cannot listen");
    socklen_t length = sizeof(address);
    ::getsockname(listen_fd, reinterpret_cast<sockaddr*>(&address), &length);
    listen_port = ntohs(address.sin_port);
    worker = std::thread(&FakeController::serve, this);
}

FakeController::~FakeController() {
    // Unblock the worker wherever it waits, then collect it.
    ::shutdown(listen_fd, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (connection_fd >= 0)
            ::shutdown(connection_fd, SHUT_RDWR);
    }
    worker.join();
    ::close(listen_fd);
}

std::vector<std::string> FakeController::requests() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

int FakeController::connections() const {
    std::lock_guard<std::mutex> lock(mutex);
    return accepted;
}

void FakeController::serve() {
    std::size_t next = 0;
    for (int fd; (fd = ::accept(listen_fd, nullptr, nullptr)) >= 0;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            connection_fd = fd;
            ++accepted;
        }
        const bool more = serve_connection(fd, next);
        std::lock_guard<std::mutex> lock(mutex);
        ::close(fd);
        connection_fd = -1;
        if (!more)
            return;
    }
}

// Runs actions on one connection. True when the client closed it with actions left,
// so that the next connection takes them up.
bool FakeController::serve_connection(int fd, std::size_t& next) {
    std::string pending;
    for (; next < script.size(); ++next) {
        const ControllerAction& action = script[next];
        std::size_t end;
        while ((end = pending.find('\0')) == std::string::npos) {
            char chunk[512];
            const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
            if (n <= 0)
                return true;
            pending.append(chunk, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            received.push_back(pending.substr(0, end + 1));
        }
        pending.erase(0, end + 1);
        if (action.delay_ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(action.delay_ms));
        if (action.kind == ControllerAction::Reply)
            ::send(fd, action.bytes.data(), action.bytes.size(), MSG_NOSIGNAL);
        if (action.kind == ControllerAction::Close)
            ::shutdown(fd, SHUT_RDWR);
        if (action.kind == ControllerAction::Reset) {
            linger hard{1, 0}; // closing (in serve) with a zero linger sends a reset
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
        }
        if (action.kind == ControllerAction::Close || action.kind == ControllerAction::Reset) {
            ++next;
            return false;
        }
    }
    // Stay connected until the client goes away, so that it sees no close it did not script.
    char sink[512];
    while (::recv(fd, sink, sizeof(sink), 0) > 0) {
    }
    return false;
}
