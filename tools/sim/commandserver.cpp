#include "commandserver.h"

#include "hostlookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

CommandServer::CommandServer(CommandProtocol protocol)
    : protocol(std::move(protocol)), timer_fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)) {}

CommandServer::~CommandServer() {
    for (const Client& client : clients) {
        ::close(client.fd);
    }
    for (const int fd : {listen_fd, timer_fd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool CommandServer::start(const std::string& bind_address, unsigned short port,
                          std::string& error) {
    listen_fd = openBoundSocket(bind_address, port, "command port", error);
    if (listen_fd < 0) {
        return false;
    }
    if (::listen(listen_fd, 8) != 0) {
        error =
            "cannot listen on command port " + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(listen_fd, reinterpret_cast<sockaddr*>(&bound), &length);
    bound_port = ntohs(bound.sin_port);
    return true;
}

void CommandServer::serve(std::int64_t wait_ns) {
    // The wait ends on a timer: the kernel lets a poll's own timeout overrun by a thousandth of
    // its length (17 us at 60 Hz) to batch wake-ups, but not a timer's. The timeout stays, as a
    // bound should the timer be missing.
    const timespec wait{static_cast<time_t>(wait_ns / 1'000'000'000),
                        static_cast<long>(wait_ns % 1'000'000'000)};
    const itimerspec expiry{{0, 0}, wait};
    timerfd_settime(timer_fd, 0, &expiry, nullptr);
    watched.assign({{listen_fd, POLLIN, 0}, {timer_fd, POLLIN, 0}});
    for (const Client& client : clients) {
        watched.push_back({client.fd, POLLIN, 0});
    }
    if (::ppoll(watched.data(), watched.size(), &wait, nullptr) <= 0) {
        return; // nothing came, or a signal: the simulator looks at its stop flag
    }
    // Clients first, by index from the back, so that removing one keeps the others' places.
    for (std::size_t i = clients.size(); i-- > 0;) {
        if (watched[i + 2].revents != 0 && !serveClient(clients[i])) {
            ::close(clients[i].fd);
            clients.erase(clients.begin() + static_cast<long>(i));
        }
    }
    if (watched[0].revents != 0) {
        acceptClient();
    }
}

void CommandServer::acceptClient() {
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (static_cast<int>(clients.size()) >= max_clients) {
        ::close(fd);
        return;
    }
    Client client;
    client.fd = fd;
    clients.push_back(std::move(client));
}

bool CommandServer::serveClient(Client& client) {
    char buffer[512];
    const ssize_t received = ::recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (received == 0) {
        return false;
    }
    if (received < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
    for (ssize_t i = 0; i < received; ++i) {
        const char byte = buffer[i];
        if (client.discarding) {
            client.discarding = byte != '\0';
            continue;
        }
        if (byte != '\0') {
            client.pending += byte;
            if (client.pending.size() <= CommandProtocol::max_request) {
                continue;
            }
        }
        // A whole request, or one already too long to be one, which the protocol refuses; the
        // rest of that is dropped up to its NUL.
        client.discarding = byte != '\0';
        if (!reply(client, protocol.handle(client.pending, frame_counter))) {
            return false;
        }
        client.pending.clear();
    }
    return true;
}

bool CommandServer::reply(Client& client, const std::string& text) {
    // The reply and its NUL in one send; a client that does not read its replies until the
    // socket buffer is full is dropped rather than allowed to block the server.
    const std::string wire = text + '\0';
    const ssize_t sent = ::send(client.fd, wire.data(), wire.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent == static_cast<ssize_t>(wire.size());
}
