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
    : settings(std::move(settings)), start(now), end(now) {
    result.device = this->settings.device;
    result.port = this->settings.port;
    result.started = isoLocalTime(wallClockNow);
}

int SkywandCheck::direction(double x, double y) {
    if (x == 0.0 && y == 0.0)
        return -1;
    const double sector = std::floor((std::atan2(y, x) + pi / 8) / (pi / 4));
    return (static_cast<int>(sector) % 8 + 8) % 8;
}

void SkywandCheck::addFrame(std::uint32_t frameCounter, const ombrix_skywand_type& record,
                            Clock::time_point now) {
    if (finished())
        return;
    // The record of a device that is not in the frame carries no values; the layout comes
    // from the first record that does.
    if (!layoutKnown && (record.num_button > 0 || record.num_joystick > 0 || record.quality >= 0))
        takeLayout(record);
    updateButtons(record, now);
    updateJoystick(record, now);
    updateTracking(frameCounter, record.quality >= 0.0f, now);
    if (allPassed()) {
        result.verdict = CheckVerdict::pass;
        end = now;
    } else {
        tick(now);
    }
}

void SkywandCheck::tick(Clock::time_point now) {
    if (!finished() && now - start >= settings.timeLimit)
        finish(now);
}

void SkywandCheck::finish(Clock::time_point now) {
    if (finished())
        return;
    result.verdict = allPassed() ? CheckVerdict::pass : CheckVerdict::fail;
    end = now;
}

void SkywandCheck::takeLayout(const ombrix_skywand_type& record) {
    layoutKnown = true;
    for (const PanelButton& b : panelButtons(record.num_button)) {
        ButtonResult shown;
        shown.name = b.name;
        result.buttons.push_back(shown);
        ButtonTrack track;
        track.entry = b.entry;
        buttonTracks.push_back(track);
    }
    result.joystick.present = record.num_joystick > 0;
    result.joystick.ok = !result.joystick.present; // nothing to check: skipped
}

void SkywandCheck::updateButtons(const ombrix_skywand_type& record, Clock::time_point now) {
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
            if (track.sawDown && now - track.lastPressEdge <= bounceWindow)
                ++shown.bounces;
            else
                ++shown.presses;
            track.sawDown = true;
            track.lastPressEdge = now;
        } else if (!down && shown.down && track.sawDown) {
            shown.ok = true;
        }
        shown.down = down;
    }
}

void SkywandCheck::updateJoystick(const ombrix_skywand_type& record, Clock::time_point now) {
    JoystickResult& stick = result.joystick;
    if (!stick.present)
        return;
    if (record.num_joystick <= 0) {
        resting = false; // no values: the stick cannot be seen to rest
        return;
    }
    const double x = record.joystick[0];
    const double y = record.num_joystick >= 2 ? record.joystick[1] : 0.0;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        resting = false;
        return;
    }

    const double deflection = std::hypot(x, y);
    stick.maxDeflection = std::max(stick.maxDeflection, deflection);
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
    if (!resting) {
        resting = true;
        restSince = now;
        restSumX = restSumY = 0.0;
        restSamples = 0;
    }
    restSumX += x;
    restSumY += y;
    ++restSamples;
    // Once passed, the rest that passed it stays in the report.
    if (now - restSince >= restTime && !stick.ok) {
        stick.restX = restSumX / double(restSamples);
        stick.restY = restSumY / double(restSamples);
        stick.ok = stick.directionsReached == 8;
    }
}

void SkywandCheck::updateTracking(std::uint32_t frameCounter, bool tracked, Clock::time_point now) {
    TrackingResult& t = result.tracking;
    if (haveCounter) {
        // Unsigned arithmetic steps over the counter's wrap from 4294967295 to 0. A step back,
        // or one forward too far to be a gap, is the controller counting anew: nothing lost.
        // An equal counter is the same frame again: neither lost nor new.
        const std::uint32_t step = frameCounter - lastCounter;
        if (step >= 1 && step <= maxCountedGap)
            t.lostFrames += long(step - 1);
        else if (step != 0)
            ++t.counterRestarts;
    } else {
        firstFrame = now;
    }
    haveCounter = true;
    lastCounter = frameCounter;
    lastFrame = now;

    ++t.frames;
    if (tracked)
        ++trackedFrames;
    t.trackedShare = double(trackedFrames) / double(t.frames);
    const double span = seconds(lastFrame - firstFrame);
    t.rateHz = span > 0.0 ? double(t.frames - 1) / span : 0.0;
    const double expected = double(t.frames + t.lostFrames);
    t.ok = t.trackedShare >= minTrackedShare && double(t.lostFrames) <= maxLostShare * expected;
}

bool SkywandCheck::allPassed() const {
    if (!layoutKnown || !result.joystick.ok || !result.tracking.ok)
        return false;
    for (const ButtonResult& b : result.buttons)
        if (!b.ok)
            return false;
    return true;
}

std::vector<std::string> SkywandCheck::openItems() const {
    std::vector<std::string> open;
    if (!layoutKnown)
        open.push_back("Device data");
    for (const ButtonResult& b : result.buttons)
        if (!b.ok)
            open.push_back(b.name);
    if (!result.joystick.ok && layoutKnown)
        open.push_back("Joystick");
    if (!result.tracking.ok)
        open.push_back("Tracking");
    return open;
}

CheckReport SkywandCheck::report(Clock::time_point now) const {
    CheckReport out = result;
    out.durationS = seconds((finished() ? end : now) - start);
    out.openItems = openItems();
    return out;
}
