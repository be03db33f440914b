// The guided check of one Skywand: fed frame by frame with the frame counter and the device's
// record, it ticks off a checklist (every button of the panel, the joystick's eight directions
// and its rest, the tracking) and reaches a verdict.
//
// No Qt and no clock of its own: the caller passes a steady-clock time with every call, so the
// same code serves the tester's receiver thread, the command-line monitor and the tests. Not
// thread-safe; a caller feeding it from one thread and reading from another locks around both.

#ifndef SKYWANDCHECK_H
#define SKYWANDCHECK_H

#include "Ombrix.h"
#include "checkreport.h"
#include "panelbuttons.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class SkywandCheck {
public:
    using Clock = std::chrono::steady_clock;

    // Two press edges of one button this close together are bounce, not two presses.
    static constexpr auto bounceWindow = std::chrono::milliseconds(30);
    // The stick counts as resting while both values stay within this of zero for restTime.
    static constexpr double restBand = 0.05;
    static constexpr auto restTime = std::chrono::seconds(1);
    // A direction counts as reached at this deflection (distance from the centre).
    static constexpr double edgeDeflection = 0.9;
    // A forward step of the frame counter larger than this is a restart, not a loss (as the
    // monitor's stream figures count it).
    static constexpr std::uint32_t maxCountedGap = 1000000;
    static constexpr double minTrackedShare = 0.95;
    static constexpr double maxLostShare = 0.01;

    struct Settings {
        std::string device; // "S2", for the report
        int port = 0;       // the data port, for the report
        Clock::duration timeLimit = std::chrono::seconds(120);
    };

    SkywandCheck(Settings settings, Clock::time_point now,
                 std::chrono::system_clock::time_point wallClockNow);

    // One received frame: its counter and the record of the checked device (the untracked
    // record when the device is not in the frame). Ignored once the verdict is in.
    void addFrame(std::uint32_t frameCounter, const ombrix_skywand_type& record,
                  Clock::time_point now);
    // Time passes without a frame: the time limit may run out.
    void tick(Clock::time_point now);
    // Ends the check: a check that has not passed by now fails.
    void finish(Clock::time_point now);

    CheckVerdict verdict() const { return result.verdict; }
    bool finished() const { return result.verdict != CheckVerdict::running; }
    // The state now: every item, the figures and the open items. Duration counts up to `now`
    // while running and stops at the verdict.
    CheckReport report(Clock::time_point now) const;

    // The eight directions, 0 = right, counter-clockwise in 45 degree steps (2 = up, as the
    // vertical value is positive upwards). Each sector spans 22.5 degrees either side of its
    // centre; a value on a boundary goes to the sector counter-clockwise of it. -1 for the
    // centre itself.
    static int direction(double x, double y);

private:
    // What a button's result needs beyond what it shows; parallel to result.buttons.
    struct ButtonTrack {
        int entry = 0;
        bool seen = false;    // its first state is the baseline, not an edge
        bool sawDown = false; // went down during the check; held at the start does not count
        Clock::time_point lastPressEdge{};
    };

    void takeLayout(const ombrix_skywand_type& record);
    void updateButtons(const ombrix_skywand_type& record, Clock::time_point now);
    void updateJoystick(const ombrix_skywand_type& record, Clock::time_point now);
    void updateTracking(std::uint32_t frameCounter, bool tracked, Clock::time_point now);
    bool allPassed() const;
    std::vector<std::string> openItems() const;

    Settings settings;
    Clock::time_point start;
    Clock::time_point end; // when the verdict came
    CheckReport result;

    bool layoutKnown = false;
    std::vector<ButtonTrack> buttonTracks;

    // The current spell of the stick within the rest band.
    bool resting = false;
    Clock::time_point restSince{};
    double restSumX = 0.0, restSumY = 0.0;
    long restSamples = 0;

    bool haveCounter = false;
    std::uint32_t lastCounter = 0;
    long trackedFrames = 0;
    Clock::time_point firstFrame{}, lastFrame{};
};

#endif // SKYWANDCHECK_H
