// The guided check of one Skywand: fed with every datagram the tracking client reads and with
// every frame it parses, it ticks off a checklist (every button of the panel, the joystick's
// eight directions and its rest, the tracking) and reaches a verdict.
//
// Evidence: a frame tells about the device only when the frame's Skywand line carried the
// device's record and that record has quality 0 or more. A record the line did not carry keeps
// an earlier frame's values, and the untracked record of a device missing from the frame has
// none; neither counts as tracked, and neither moves a button or the stick.
//
// The clock: presses, bounces, the rest and the time limit are timed by the frames' "ts" when
// the first frame has one ("frame" time base) and by arrival otherwise ("arrival"). Between
// frames, and for a frame without a usable "ts" (none, or one going back), time runs on by
// arrival from the previous frame. The check's clock never runs backwards.
//
// No Qt and no clock of its own: the caller passes a steady-clock time with every call, so the
// same code serves the tester's receiver thread, the command-line monitor and the tests. Not
// thread-safe; a caller feeding it from one thread and reading from another locks around both.

#ifndef SKYWANDCHECK_H
#define SKYWANDCHECK_H

#include "Ombrix.h"
#include "checkreport.h"
#include "framecounter.h"
#include "panelbuttons.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SkywandCheck {
public:
    using Clock = std::chrono::steady_clock;

    // Times are compared to the microsecond, so that the limits below hold as written whatever
    // the rounding of seconds in floating point.
    static constexpr double timeGrainS = 1e-6;
    // A press that comes this soon after the button came up is bounce (the contacts opened for
    // a moment), not a new press. Strictly less than this.
    static constexpr double bounceWindowS = 0.030;
    // The stick rests while both values stay within this of zero (inclusive) for restTimeS, with
    // no more than restGapS between two frames that show it.
    static constexpr float restBand = 0.05f;
    static constexpr double restTimeS = 1.0;
    static constexpr double restGapS = 0.25;
    // A direction counts as reached at this deflection (distance from the centre), inclusive.
    static constexpr float edgeDeflection = 0.9f;
    // Tracking passes with the device tracked in at least this many percent of the frames
    // checked, and at most this many percent of the controller's frames lost.
    static constexpr long minTrackedPercent = 95;
    static constexpr long maxLostPercent = 1;

    struct Settings {
        std::string device; // "S2", for the report
        int port = 0;       // the data port the receiver listens on, for the report
        Clock::duration timeLimit = std::chrono::seconds(120);
    };

    // What the check needs of one parsed frame.
    struct Frame {
        ombrix_skywand_type record{}; // the checked device's record as the client holds it
        bool carried = false;         // the frame's Skywand line carried this record
        double timestamp = -1.0;      // the frame's "ts"; negative when it had none
    };

    SkywandCheck(Settings settings, Clock::time_point now,
                 std::chrono::system_clock::time_point wallClockNow);

    // Every datagram the client reads, the ones it drains to reach the newest included, in
    // arrival order: its frame counter feeds the lost-frame count. A datagram without a
    // readable "fr " line counts as unparsable.
    void datagramRead(std::string_view datagram, Clock::time_point now);
    // The same for a caller that reads the counters itself: hasCounter tells whether the
    // datagram had a readable one, which `counters` has counted. The check reports counters'
    // figures as its own, so counters must have counted nothing before the check began.
    void datagramCounted(bool hasCounter, const FrameCounter& counters, Clock::time_point now);
    // The newest datagram of a receive could not be parsed.
    void frameUnparsed(std::string_view datagram);
    // One parsed frame, after its datagram went through datagramRead.
    void addFrame(const Frame& frame, Clock::time_point now);
    // Time passes without a frame: the time limit may run out.
    void tick(Clock::time_point now);
    // Ends the check: a check that has not passed by now fails.
    void finish(Clock::time_point now);
    // Ends a running check without a verdict on the device, e.g. "the data port changed".
    void stop(const std::string& reason, Clock::time_point now);

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
        bool sawUp = false;   // came up during the check, at lastRelease
        double lastRelease = 0.0;
    };

    // Seconds since the start on the check's clock: for a frame, and for a moment between.
    double frameTime(const Frame& frame, Clock::time_point now);
    double timeAt(Clock::time_point now) const;
    double limitS() const;
    // Ends the check at the limit when `t` lies at or beyond it; true when it did.
    bool limitReached(double t);

    void growLayout(const ombrix_skywand_type& record);
    void updateButtons(const ombrix_skywand_type& record, double t);
    void updateJoystick(const ombrix_skywand_type& record, double t);
    void updateTracking(bool tracked);
    void refreshTracking();
    bool allPassed() const;
    std::vector<std::string> openItems() const;

    Settings settings;
    Clock::time_point start;
    double endS = 0.0; // when the verdict came, on the check's clock
    CheckReport result;

    std::vector<ButtonTrack> buttonTracks;

    // The current spell of the stick within the rest band.
    bool resting = false;
    double restSince = 0.0, restLast = 0.0;
    double restSumX = 0.0, restSumY = 0.0;
    long restSamples = 0;

    // The check's clock.
    bool haveFrame = false;
    double lastFrameS = 0.0;         // the newest frame's time
    Clock::time_point lastArrival{}; // when it arrived
    std::optional<double> tsOffset;  // check time - "ts", while the frames' "ts" is used

    FrameCounter counters; // unless the caller counts them
    long sentFrames = 0;   // counters from each run's first to its highest
    std::optional<Clock::time_point> firstDatagram, lastDatagram;
};

#endif // SKYWANDCHECK_H
