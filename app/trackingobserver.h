// Something that must see every received frame, not only the newest one the display shows:
// the device check and the search for the device in hand count edges and gaps frame by frame.

#ifndef TRACKINGOBSERVER_H
#define TRACKINGOBSERVER_H

#include "Ombrix.h"

#include <vector>

class TrackingObserver {
public:
    virtual ~TrackingObserver() = default;
    // Called by the thread that received the frame, right after it was published, with the
    // frame's counter and its Skywand records. Must be quick and must not wait.
    virtual void framePublished(unsigned int frameCounter,
                                const std::vector<ombrix_skywand_type>& skywands) = 0;
};

#endif // TRACKINGOBSERVER_H
