#include "fakecontroller.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

ControllerAction reply(const std::string& bytes, int delay_ms) {
    return {ControllerAction::Reply, bytes, delay_ms};
}
ControllerAction silent() {
    return {ControllerAction::Silent, "", 0};
}
ControllerAction close_connection() {
    return {ControllerAction::Close, "", 0};
}
ControllerAction reset_connection() {
    return {ControllerAction::Reset, "", 0};
}

FakeController::FakeController(std::vector<ControllerAction> actions) : script(std::move(actions)) {
    listen_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listen_fd < 0 ||
        ::bind(listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0 ||
        ::listen(listen_fd, 1) < 0)
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

void FakeController::serve() {
    const int fd = ::accept(listen_fd, nullptr, nullptr);
    if (fd < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        connection_fd = fd;
    }
    std::string pending;
    bool open = true;
    for (const ControllerAction& action : script) {
        // Read one request, up to and including its NUL.
        std::size_t end;
        while ((end = pending.find('\0')) == std::string::npos) {
            char chunk[512];
            const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
            if (n <= 0) {
                open = false;
                break;
            }
            pending.append(chunk, static_cast<std::size_t>(n));
        }
        if (!open)
            break;
        {
            std::lock_guard<std::mutex> lock(mutex);
            received.push_back(pending.substr(0, end + 1));
        }
        pending.erase(0, end + 1);

        if (action.delay_ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(action.delay_ms));
        if (action.kind == ControllerAction::Reply) {
            ::send(fd, action.bytes.data(), action.bytes.size(), MSG_NOSIGNAL);
        } else if (action.kind == ControllerAction::Close) {
            ::shutdown(fd, SHUT_RDWR);
            open = false;
            break;
        } else if (action.kind == ControllerAction::Reset) {
            linger hard{1, 0}; // closing with a zero linger sends a reset
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
            std::lock_guard<std::mutex> lock(mutex);
            ::close(fd);
            connection_fd = -1;
            return;
        }
    }
    // Stay connected until the client goes away, so that it sees no close it did not script.
    char sink[512];
    while (open && ::recv(fd, sink, sizeof(sink), 0) > 0) {
    }
    std::lock_guard<std::mutex> lock(mutex);
    ::close(fd);
    connection_fd = -1;
}
