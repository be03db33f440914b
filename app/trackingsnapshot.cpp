#include "trackingsnapshot.h"

#include "checkfeed.h"

#include <algorithm>

void TrackingSnapshot::publish(const Ombrix& client, bool received) {
    std::lock_guard<std::mutex> publishing(publishMutex);

    DataError newError = DataError::none;
    if (client.data_timeout())
        newError = DataError::timeout;
    else if (client.data_neterror())
        newError = DataError::neterror;
    else if (client.data_parseerror())
        newError = DataError::parseerror;

    if (received) {
        const int count = std::max(0, client.get_num_skywand());
        staging.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            staging[static_cast<size_t>(i)] = client.get_skywand(i);
        if (observer)
            observer->framePublished(client, staging);
    } else if (observer && client.data_parseerror()) {
        observer->frameUnparsed(client.get_datagram());
    }

    std::lock_guard<std::mutex> reading(readMutex);
    if (received)
        published.swap(staging);
    error = newError;
    lastReceived = received;
}

void TrackingSnapshot::watch(Ombrix& client) {
    client.set_datagram_observer([this](std::string_view datagram) {
        std::lock_guard<std::mutex> publishing(publishMutex);
        if (observer)
            observer->datagramRead(datagram);
    });
}

void TrackingSnapshot::setObserver(CheckFeed* frameObserver) {
    std::lock_guard<std::mutex> publishing(publishMutex);
    observer = frameObserver;
}

int TrackingSnapshot::numSkywand() const {
    std::lock_guard<std::mutex> reading(readMutex);
    return static_cast<int>(published.size());
}

ombrix_skywand_type TrackingSnapshot::skywand(int index) const {
    std::lock_guard<std::mutex> reading(readMutex);
    if (index >= 0 && static_cast<size_t>(index) < published.size())
        return published[static_cast<size_t>(index)];
    return untrackedSkywand(index);
}

TrackingSnapshot::DataError TrackingSnapshot::dataError() const {
    std::lock_guard<std::mutex> reading(readMutex);
    return error;
}

bool TrackingSnapshot::lastReceiveSucceeded() const {
    std::lock_guard<std::mutex> reading(readMutex);
    return lastReceived;
}

ombrix_skywand_type TrackingSnapshot::untrackedSkywand(int index) {
    ombrix_skywand_type record{};
    record.id = index;
    record.quality = -1.0f;
    return record;
}
