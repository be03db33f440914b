#include "framesender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

sockaddr_in address(quint32 host, quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(host);
    a.sin_port = htons(port);
    return a;
}

} // namespace

FrameSender::FrameSender(quint16 port) : socketFd(::socket(AF_INET, SOCK_DGRAM, 0)), port(port) {
    if (socketFd < 0)
        std::perror("FrameSender socket");
}

FrameSender::~FrameSender() {
    stop();
    if (socketFd >= 0)
        ::close(socketFd);
}

void FrameSender::send(const QByteArray& frame) {
    const sockaddr_in target = address(INADDR_LOOPBACK, port);
    ::sendto(socketFd, frame.constData(), static_cast<size_t>(frame.size()), 0,
             reinterpret_cast<const sockaddr*>(&target), sizeof(target));
}

void FrameSender::repeat(const QByteArray& frame, int intervalMs) {
    cycle({frame}, intervalMs);
}

void FrameSender::cycle(const QList<QByteArray>& newFrames, int intervalMs) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        frames = newFrames;
        interval = intervalMs;
    }
    if (!worker.joinable())
        worker = std::thread([this] { loop(); });
}

void FrameSender::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable())
        worker.join();
    std::lock_guard<std::mutex> lock(mutex);
    stopping = false;
}

void FrameSender::loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (int next = 0; !stopping; ++next) {
        const QByteArray frame = frames.at(next % frames.size());
        lock.unlock();
        send(frame);
        lock.lock();
        wake.wait_for(lock, std::chrono::milliseconds(interval), [this] { return stopping; });
    }
}
