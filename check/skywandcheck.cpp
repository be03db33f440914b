#include "skywandcheck.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

double seconds(SkywandCheck::Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace

SkywandCheck::SkywandCheck(Settings settings, Clock::time_point now,
                           std::chrono::system_clock::time_point wallClockNow)
    : settings(std::move(settings)), start(now) {
    result.device = this->settings.device;
    result.port = this->settings.port;
    result.started = isoLocalTime(wallClockNow);
    result.timeBase = "arrival";
}

int SkywandCheck::direction(double x, double y) {
    if (x == 0.0 && y == 0.0)
        return -1;
    const double sector = std::floor((std::atan2(y, x) + pi / 8) / (pi / 4));
    return (static_cast<int>(sector) % 8 + 8) % 8;
}

void SkywandCheck::datagramRead(std::string_view datagram, Clock::time_point now) {
    const std::optional<std::uint32_t> counter = FrameCounter::counterOf(datagram);
    if (counter && !finished())
        counters.add(*counter);
    datagramCounted(counter.has_value(), counters, now);
}

void SkywandCheck::datagramCounted(bool hasCounter, const FrameCounter& counted,
                                   Clock::time_point now) {
    if (finished())
        return;
    if (!hasCounter) {
        ++result.tracking.unparsable;
        return;
    }
    if (!firstDatagram)
        firstDatagram = now;
    lastDatagram = now;
    TrackingResult& t = result.tracking;
    t.lostFrames = counted.lost();
    t.reorderedFrames = counted.reordered();
    t.repeatedFrames = counted.repeated();
    t.counterRestarts = counted.restarts();
    const double span = seconds(*lastDatagram - *firstDatagram);
    t.rateHz = span > 0.0 ? double(counted.frames() + counted.repeated() - 1) / span : 0.0;
    sentFrames = counted.frames() + counted.lost();
    refreshTracking();
}

void SkywandCheck::frameUnparsed(std::string_view datagram) {
    // One without a counter was counted when it was read.
    if (!finished() && FrameCounter::counterOf(datagram))
        ++result.tracking.unparsable;
}

double SkywandCheck::limitS() const {
    return seconds(settings.timeLimit);
}

double SkywandCheck::timeAt(Clock::time_point now) const {
    if (!tsOffset)
        return std::max(lastFrameS, seconds(now - start));
    return lastFrameS + std::max(0.0, seconds(now - lastArrival));
}

double SkywandCheck::frameTime(const Frame& frame, Clock::time_point now) {
    double t = timeAt(now);
    if (!haveFrame && frame.timestamp >= 0.0) {
        result.timeBase = "frame";
        tsOffset = t - frame.timestamp;
    } else if (tsOffset && frame.timestamp >= 0.0) {
        // A "ts" going back (a controller that restarted) is ignored until it runs on again.
        if (frame.timestamp + *tsOffset >= lastFrameS)
            t = frame.timestamp + *tsOffset;
        else
            tsOffset = t - frame.timestamp;
    }
    t = std::max(t, lastFrameS);
    haveFrame = true;
    lastFrameS = t;
    lastArrival = now;
    return t;
}

bool SkywandCheck::limitReached(double t) {
    if (t < limitS() - timeGrainS)
        return false;
    // Decided at the limit: what comes later cannot change it.
    result.verdict = allPassed() ? CheckVerdict::pass : CheckVerdict::fail;
    endS = limitS();
    return true;
}

void SkywandCheck::addFrame(const Frame& frame, Clock::time_point now) {
    if (finished())
        return;
    const double t = frameTime(frame, now);
    if (limitReached(t))
        return;
    const ombrix_skywand_type& record = frame.record;
    const bool evidence = frame.carried && record.quality >= 0.0f;
    if (evidence) {
        growLayout(record);
        updateButtons(record, t);
        updateJoystick(record, t);
    } else {
        resting = false; // the stick cannot be seen to rest
    }
    updateTracking(evidence);
    if (allPassed()) {
        result.verdict = CheckVerdict::pass;
        endS = t;
    }
}

void SkywandCheck::tick(Clock::time_point now) {
    if (!finished())
        limitReached(timeAt(now));
}

void SkywandCheck::finish(Clock::time_point now) {
    if (finished() || limitReached(timeAt(now)))
        return;
    result.verdict = allPassed() ? CheckVerdict::pass : CheckVerdict::fail;
    endS = timeAt(now);
}

void SkywandCheck::stop(const std::string& reason, Clock::time_point now) {
    if (finished())
        return;
    result.verdict = CheckVerdict::stopped;
    result.stopReason = reason;
    endS = std::min(timeAt(now), limitS());
}

// The layout comes from the first tracked record with buttons or joystick values, and grows
// when a later one shows more; it never shrinks, so an item once listed must pass.
void SkywandCheck::growLayout(const ombrix_skywand_type& record) {
    for (const PanelButton& b : panelButtons(record.num_button)) {
        const bool listed = std::any_of(result.buttons.begin(), result.buttons.end(),
                                        [&](const ButtonResult& r) { return r.name == b.name; });
        if (listed)
            continue;
        ButtonResult shown;
        shown.name = b.name;
        result.buttons.push_back(shown);
        ButtonTrack track;
        track.entry = b.entry;
        buttonTracks.push_back(track);
    }
    if (record.num_joystick > 0 && !result.joystick.present) {
        result.joystick.present = true;
        result.joystick.ok = false;
    }
    if (!result.deviceSeen && (!result.buttons.empty() || result.joystick.present)) {
        result.deviceSeen = true;
        result.joystick.ok = !result.joystick.present; // nothing to check: skipped
    }
}

void SkywandCheck::updateButtons(const ombrix_skywand_type& record, double t) {
    for (size_t i = 0; i < buttonTracks.size(); ++i) {
        ButtonTrack& track = buttonTracks[i];
        ButtonResult& shown = result.buttons[i];
        if (track.entry >= record.num_button)
            continue; // no value for this button in this record
        const bool down = record.button[track.entry] == 1;
        if (!track.seen) {
            track.seen = true;
            shown.down = down;
            continue;
        }
        if (down && !shown.down) {
            if (track.sawDown && track.sawUp && t - track.lastRelease < bounceWindowS - timeGrainS)
                ++shown.bounces;
            else
                ++shown.presses;
            track.sawDown = true;
        } else if (!down && shown.down) {
            track.sawUp = true;
            track.lastRelease = t;
            if (track.sawDown)
                shown.ok = true;
        }
        shown.down = down;
    }
}

void SkywandCheck::updateJoystick(const ombrix_skywand_type& record, double t) {
    JoystickResult& stick = result.joystick;
    if (!stick.present)
        return;
    if (record.num_joystick <= 0) {
        resting = false; // no values: the stick cannot be seen to rest
        return;
    }
    // Compared as the floats they are: 0.9 sent is 0.9f received, a hair below 0.9 in double.
    const float x = record.joystick[0];
    const float y = record.num_joystick >= 2 ? record.joystick[1] : 0.0f;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        resting = false;
        return;
    }

    const float deflection = std::hypot(x, y);
    stick.maxDeflection = std::max(stick.maxDeflection, double(deflection));
    if (deflection >= edgeDeflection) {
        bool& reached = stick.reached[static_cast<size_t>(direction(x, y))];
        if (!reached) {
            reached = true;
            ++stick.directionsReached;
        }
    }

    if (std::fabs(x) > restBand || std::fabs(y) > restBand) {
        resting = false;
        return;
    }
    // A gap without frames may hide a push of the stick: the rest starts again after it.
    if (!resting || t - restLast > restGapS + timeGrainS) {
        resting = true;
        restSince = t;
        restSumX = restSumY = 0.0;
        restSamples = 0;
    }
    restLast = t;
    restSumX += x;
    restSumY += y;
    ++restSamples;
    // Once passed, the rest that passed it stays in the report.
    if (t - restSince >= restTimeS - timeGrainS && !stick.ok) {
        stick.restX = restSumX / double(restSamples);
        stick.restY = restSumY / double(restSamples);
        stick.ok = stick.directionsReached == 8;
    }
}

void SkywandCheck::updateTracking(bool tracked) {
    ++result.tracking.frames;
    if (tracked)
        ++result.tracking.trackedFrames;
    refreshTracking();
}

void SkywandCheck::refreshTracking() {
    TrackingResult& t = result.tracking;
    // In whole numbers, so that the threshold holds exactly as documented.
    t.ok = t.frames > 0 && 100 * t.trackedFrames >= minTrackedPercent * t.frames &&
           100 * t.lostFrames <= maxLostPercent * sentFrames;
}

bool SkywandCheck::allPassed() const {
    // Not before the checklist is known: an empty one, with nothing to pass on, never is.
    if (!result.deviceSeen || !result.joystick.ok || !result.tracking.ok)
        return false;
    for (const ButtonResult& b : result.buttons)
        if (!b.ok)
            return false;
    return true;
}

std::vector<std::string> SkywandCheck::openItems() const {
    std::vector<std::string> open;
    if (!result.deviceSeen)
        open.push_back(deviceDataItem);
    for (const ButtonResult& b : result.buttons)
        if (!b.ok)
            open.push_back(b.name);
    if (!result.joystick.ok && result.joystick.present)
        open.push_back("Joystick");
    if (!result.tracking.ok)
        open.push_back("Tracking");
    return open;
}

CheckReport SkywandCheck::report(Clock::time_point now) const {
    CheckReport out = result;
    out.durationS = finished() ? endS : std::min(timeAt(now), limitS());
    out.openItems = openItems();
    return out;
}
