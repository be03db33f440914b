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

QByteArray FrameSender::frame(const QList<Device>& devices, unsigned number) {
    const QByteArray count = QByteArray::number(devices.size());
    // The controller's clock at 100 frames a second, so that the check can time by it.
    QByteArray text = "fr " + QByteArray::number(number) + "\nts " +
                      QByteArray::number(number * 0.01, 'f', 2) + "\n6df2 " + count + ' ' + count;
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const Device& d = devices.at(i);
        text += " [" + QByteArray::number(i) + " 1.000 " + QByteArray::number(d.buttonCount) +
                " 2][0.1 0.2 0.3][1 0 0 0 1 0 0 0 1][" +
                (d.buttonCount > 0 ? QByteArray::number(d.buttons) + ' ' : QByteArray()) +
                QByteArray::number(d.h, 'g', 9) + ' ' + QByteArray::number(d.v, 'g', 9) + ']';
    }
    return text + '\n';
}
