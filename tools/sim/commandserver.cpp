#include "commandserver.h"

#include "hostlookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

CommandServer::CommandServer(CommandProtocol protocol) : protocol(std::move(protocol)) {}

CommandServer::~CommandServer() {
    stop();
}

bool CommandServer::start(const std::string& bind_address, unsigned short port,
                          std::string& error) {
    sockaddr_in address{};
    const std::string failure = lookUpIPv4(bind_address, SOCK_STREAM, true, address);
    if (!failure.empty()) {
        error = "cannot resolve command address \"" + bind_address + "\": " + failure;
        return false;
    }
    address.sin_port = htons(port);

    listen_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd < 0) {
        error = std::string("cannot open a TCP socket: ") + std::strerror(errno);
        return false;
    }
    // A restart soon after a run must not fail on the old connections' TIME_WAIT; a port that
    // another program listens on is still refused.
    const int enable = 1;
    setsockopt(listen_fd, SOL_SOCKET, SO_REUSEADDR, &enable, sizeof enable);
    if (::bind(listen_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_fd, 8) != 0) {
        error =
            "cannot listen on command port " + std::to_string(port) + ": " + std::strerror(errno);
        closeSockets();
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(listen_fd, reinterpret_cast<sockaddr*>(&bound), &length);
    bound_port = ntohs(bound.sin_port);

    if (::pipe2(wake_pipe, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        closeSockets();
        return false;
    }
    // The thread inherits a mask without SIGINT and SIGTERM, so that those reach the sending
    // thread, which stops the run.
    sigset_t stop_signals;
    sigset_t previous;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
    worker = std::thread(&CommandServer::run, this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return true;
}

void CommandServer::stop() {
    if (worker.joinable()) {
        const char wake = 1;
        // The thread leaves its loop on any byte; a full pipe means a byte is there already.
        [[maybe_unused]] const ssize_t written = ::write(wake_pipe[1], &wake, 1);
        worker.join();
    }
    closeSockets();
}

void CommandServer::closeSockets() {
    for (Client& client : clients) {
        ::close(client.fd);
    }
    clients.clear();
    for (int* fd : {&listen_fd, &wake_pipe[0], &wake_pipe[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void CommandServer::run() {
    std::vector<pollfd> watched;
    while (true) {
        watched.clear();
        watched.push_back({wake_pipe[0], POLLIN, 0});
        watched.push_back({listen_fd, POLLIN, 0});
        for (const Client& client : clients) {
            watched.push_back({client.fd, POLLIN, 0});
        }
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watched[0].revents != 0) {
            return;
        }
        // Clients first, by index from the back, so that removing one keeps the others' places.
        for (std::size_t i = clients.size(); i-- > 0;) {
            if (watched[i + 2].revents != 0 && !serveClient(clients[i])) {
                ::close(clients[i].fd);
                clients.erase(clients.begin() + static_cast<long>(i));
            }
        }
        if (watched[1].revents != 0) {
            acceptClient();
        }
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
        if (byte == '\0') {
            const std::string request = std::move(client.pending);
            client.pending.clear();
            if (!reply(client, protocol.handle(request, frame_counter.load()))) {
                return false;
            }
            continue;
        }
        client.pending += byte;
        if (client.pending.size() > CommandProtocol::max_request) {
            client.pending.clear();
            client.discarding = true;
            if (!reply(client, CommandProtocol::errorReply(CommandProtocol::request_too_long,
                                                           "request longer than 200 characters"))) {
                return false;
            }
        }
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
