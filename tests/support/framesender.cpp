#include "framesender.h"

#include <chrono>

void FrameSender::cycle(const QList<QByteArray>& frames, int intervalMs) {
    stop();
    worker = std::thread([this, frames, intervalMs] {
        std::unique_lock<std::mutex> lock(mutex);
        for (qsizetype next = 0; !stopping; ++next) {
            lock.unlock();
            send(frames.at(next % frames.size()));
            lock.lock();
            if (intervalMs > 0)
                wake.wait_for(lock, std::chrono::milliseconds(intervalMs),
                              [this] { return stopping; });
        }
    });
}

void FrameSender::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable())
        worker.join();
    stopping = false;
}
