// Hands every received frame to the device check and to the search for the device in hand.
//
// The receiver thread calls datagramRead for every datagram and framePublished for every good
// frame, so the check counts each one even while the display shows only the newest at the
// screen's pace. The GUI thread starts, reads and ends the check and the search. One mutex
// guards both; it is held only for one frame's update or one copy of the state, never across
// a wait.

#ifndef CHECKFEED_H
#define CHECKFEED_H

#include "Ombrix.h"
#include "skywandcheck.h"
#include "skywandfinder.h"

#include <mutex>
#include <optional>
#include <vector>

class CheckFeed {
public:
    void datagramRead(std::string_view datagram);
    void framePublished(const Ombrix& client,
                        const std::vector<ombrix_skywand_type>& skywands);
    void frameUnparsed(std::string_view datagram);

    // The receiver was set up, at start or anew after a port change: a running check ends as
    // stopped, as its frames from here on would come from another stream. `port` is the data
    // port as the receiver read it, 0 when it has none.
    void receiverStarted(int port);
    // The data port of the newest receiver, the one a check started now runs on.
    int dataPort() const;

    // A new check of device `index` (0 = S1), replacing any earlier one.
    void startCheck(int index, const SkywandCheck::Settings& settings);
    // Ends a running check: it fails unless it has passed.
    void finishCheck();
    void stopCheck();
    // The check's state now, after letting its time limit run; none without a check.
    std::optional<CheckReport> checkReport();
    // Device index of the check, -1 without one.
    int checkedDevice() const;

    void startFind();
    void stopFind();
    // The device found so far, and how many frames arrived since the search began.
    std::optional<int> found() const;
    long framesSinceFindStarted() const;

private:
    mutable std::mutex mutex;
    std::optional<SkywandCheck> check;
    int checkIndex = -1;
    int receiverPort = 0;
    std::optional<SkywandFinder> finder;
    long findFrames = 0;
};

#endif // CHECKFEED_H
