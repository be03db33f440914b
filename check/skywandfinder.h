// Finds the Skywand in the user's hand: the first device on which one of the panel's buttons
// goes down. A button already held when it is first seen does not count until it has been
// released and pressed again, so a device lying on a button is not mistaken for the one in
// hand. Only records the frame's line carried with quality 0 or more count: a device that left
// the frame must be seen released again before its press counts. Fed with the Skywand records
// of every parsed frame; no Qt, no clock.

#ifndef SKYWANDFINDER_H
#define SKYWANDFINDER_H

#include "Ombrix.h"

#include <optional>
#include <vector>

class SkywandFinder {
public:
    // All Skywand records of one frame, device k at index k, of which the frame's line carried
    // the first `carried`. Returns the index of the device found, now or by an earlier frame;
    // afterwards the answer stays the same.
    std::optional<int> addFrame(const std::vector<ombrix_skywand_type>& records, int carried);

    std::optional<int> found() const { return foundIndex; }

private:
    // Per device, per button entry: released once since it was first seen (so a press counts).
    std::vector<std::vector<bool>> armed;
    std::optional<int> foundIndex;
};

#endif // SKYWANDFINDER_H
