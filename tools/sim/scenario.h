// The generated scene of the simulated controller: Skywands pressing their buttons in turn and
// moving their joysticks on a circle, and on request every other kind of tracked object.

#ifndef SCENARIO_H
#define SCENARIO_H

#include "framestate.h"

#include <cstdint>

// A pure function of time: the same frame counter and time always give the same frame, so that
// tests can ask for the frame that was sent.
//
// Each Skywand presses one button at a time, half a second each: in the newer layout buttons 1
// to 5 and then the joystick press (button index 5), in the older layout buttons 1 to 4 (there
// bits 4 to 7 are the joystick's direction), then one half second with nothing pressed. Device i
// runs two slots ahead of device i - 1. The joystick goes round a circle of radius 1 once every
// four seconds, device i starting i / n of a turn ahead. Each device loses tracking for one
// second of every ten, device by device, and reports quality -1 then.
class Scenario {
public:
    static constexpr int max_skywands = 100;
    static constexpr double button_slot_s = 0.5;
    static constexpr double joystick_turn_s = 4.0;
    static constexpr double tracking_cycle_s = 10.0;
    static constexpr double tracking_loss_s = 1.0;

    // The all-kinds scene: three calibrated bodies (body 1 lost during seconds 2 to 4 of
    // every 8, body 2 during second 5), one measurement tool whose button is pressed for the
    // first second of every 3, two calibrated hands (left with 5 fingers, right with 3; the
    // right one lost during second 4 of every 6) and four markers with ids 3, 7, 12 and 20.
    static constexpr int calibrated_bodies = 3;
    static constexpr int calibrated_hands = 2;

    // skywands: 0 to max_skywands.
    Scenario(int skywands, SkywandLayout layout, bool all_kinds);

    // The frame at time t seconds since the start of the run.
    FrameState frame(std::uint32_t frame_counter, double t) const;

private:
    SkywandState skywand(int device, double t) const;
    void addOtherKinds(FrameState& frame, double t) const;

    int skywand_count;
    SkywandLayout layout;
    bool all_kinds;
};

#endif // SCENARIO_H
