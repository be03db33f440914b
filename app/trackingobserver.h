// Something that must see every received frame, not only the newest one the display shows:
// the device check and the search for the device in hand count edges and gaps frame by frame.

#ifndef TRACKINGOBSERVER_H
#define TRACKINGOBSERVER_H

#include "Ombrix.h"

#include <string_view>
#include <vector>

class TrackingObserver {
public:
    virtual ~TrackingObserver() = default;
    // Each is called by the thread that received, must be quick and must not wait.
    // Every datagram the client reads, the ones it drains to reach the newest included, in
    // arrival order, before the newest is parsed.
    virtual void datagramRead(std::string_view datagram) = 0;
    // A parsed frame, right after it was published: the client that parsed it (for its
    // counter, timestamp and carried records) and its Skywand records.
    virtual void framePublished(const Ombrix& client,
                                const std::vector<ombrix_skywand_type>& skywands) = 0;
    // The newest datagram of a receive was not a frame.
    virtual void frameUnparsed(std::string_view datagram) = 0;
};

#endif // TRACKINGOBSERVER_H
