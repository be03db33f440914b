#include "trackreceiver.h"

#include "Ombrix.h"
#include "trackingsnapshot.h"

#include <chrono>

TrackReceiver::TrackReceiver(Ombrix* ombrix, TrackingSnapshot* snapshot, QObject* parent)
    : QThread(parent), ombrix(ombrix), snapshot(snapshot) {}

TrackReceiver::~TrackReceiver() = default;

void TrackReceiver::setOmbrixObject(Ombrix* client) {
    ombrix = client;
}

void TrackReceiver::onStop() {
    running = false;
    // Taking the lock orders this against the loop's check of `running` before it rests, so
    // the wake-up cannot be lost.
    std::lock_guard<std::mutex> lock(pauseMutex);
    pauseEnded.notify_all();
}

// The loop has no event loop of its own, so QThread::quit would not end it: only the flag does.
void TrackReceiver::stop() {
    onStop();
    wait();
    running = true; // the loop has finished: a start now runs it again
}

void TrackReceiver::run() {
    // Every datagram this thread reads reaches the snapshot's observer, drained ones too.
    if (ombrix && snapshot)
        snapshot->watch(*ombrix);
    while (running) {
        if (!ombrix)
            return; // no client to receive from; the owner does not start us without one
        const bool received = ombrix->receive();
        if (snapshot)
            snapshot->publish(*ombrix, received);
        // Published before the flag is set, so that whoever takes the flag reads this frame.
        if (!notificationPending.exchange(true)) {
            if (received)
                emit sendMessageDataArrived();
            else
                emit sendMessageDataError();
        }
        if (!received && !ombrix->valid())
            pauseAfterFailure();
    }
}

void TrackReceiver::pauseAfterFailure() {
    std::unique_lock<std::mutex> lock(pauseMutex);
    pauseEnded.wait_for(lock, std::chrono::milliseconds(failurePauseMs),
                        [this] { return !running; });
}
