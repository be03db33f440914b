#include "scenario.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// Where within a repeating cycle time t falls, in [0, cycle).
double phaseIn(double t, double cycle) {
    const double phase = std::fmod(t, cycle);
    return phase < 0 ? phase + cycle : phase;
}

enum Turn { yaw, roll };

// A pose at x, y, z turned by angle about the vertical (y) axis or the viewing (z) axis.
Pose pose(double x, double y, double z, Turn turn, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    return turn == yaw ? Pose{{x, y, z}, {c, 0, s, 0, 1, 0, -s, 0, c}}
                       : Pose{{x, y, z}, {c, -s, 0, s, c, 0, 0, 0, 1}};
}

// The older layout knows only full deflections: a joystick value beyond this threshold sets the
// direction's bit, which divides the circle into eight directions.
constexpr double older_joystick_threshold = 0.38;

} // namespace

Scenario::Scenario(int skywands, SkywandLayout layout, bool all_kinds)
    : skywand_count(std::clamp(skywands, 0, max_skywands)), layout(layout), all_kinds(all_kinds) {}

SkywandState Scenario::skywand(int device, double t) const {
    SkywandState state;
    state.id = device;
    const double angle = (skywand_count > 0 ? 2 * pi * device / skywand_count : 0.0) +
                         2 * pi * phaseIn(t, joystick_turn_s) / joystick_turn_s;
    const double x = std::cos(angle);
    const double y = std::sin(angle);
    // Buttons pressed in turn, then one slot with none pressed.
    const int buttons_in_turn = layout == SkywandLayout::newer ? 6 : 4;
    const int slots = buttons_in_turn + 1;
    const long slot = static_cast<long>(std::floor(t / button_slot_s)) + 2L * device;
    const int pressed = static_cast<int>(((slot % slots) + slots) % slots);
    state.buttons.assign(layout == SkywandLayout::newer ? 6 : 8, 0);
    if (pressed < buttons_in_turn) {
        state.buttons[pressed] = 1;
    }
    if (layout == SkywandLayout::newer) {
        state.joystick[0] = x;
        state.joystick[1] = y;
    } else {
        // Bit 5 left, bit 7 right, bit 4 down, bit 6 up.
        state.buttons[5] = x < -older_joystick_threshold;
        state.buttons[7] = x > older_joystick_threshold;
        state.buttons[4] = y < -older_joystick_threshold;
        state.buttons[6] = y > older_joystick_threshold;
        state.joystick[0] = state.buttons[5] ? -1.0 : state.buttons[7] ? 1.0 : 0.0;
        state.joystick[1] = state.buttons[4] ? -1.0 : state.buttons[6] ? 1.0 : 0.0;
    }
    if (phaseIn(t - (6.0 + 2.0 * device), tracking_cycle_s) >= tracking_loss_s) {
        // Held in front of the cameras side by side, circling a little with the joystick.
        state.quality = 1.0;
        state.pose = pose(200.0 * device - 100.0 * (skywand_count - 1) + 50.0 * x,
                          1000.0 + 20.0 * y, -300.0 + 50.0 * y, yaw, 0.6 * std::sin(angle));
    } else {
        state.quality = -1.0; // an untracked device reports a zero pose
    }
    return state;
}

void Scenario::addOtherKinds(FrameState& frame, double t) const {
    const double swing = std::sin(2 * pi * t / 5.0);

    frame.calibrated_bodies = calibrated_bodies;
    const bool body_tracked[calibrated_bodies] = {true,
                                                  phaseIn(t, 8.0) < 2.0 || phaseIn(t, 8.0) >= 4.0,
                                                  phaseIn(t, 8.0) < 5.0 || phaseIn(t, 8.0) >= 6.0};
    for (int id = 0; id < calibrated_bodies; ++id) {
        if (body_tracked[id]) { // the controller leaves untracked bodies out of the line
            frame.bodies.push_back({id, 1.0 - 0.1 * id,
                                    pose(-400.0 + 400.0 * id, 800.0 + 100.0 * swing, 0.0, roll,
                                         0.3 * swing + 0.2 * id)});
        }
    }
    frame.tools.push_back({0, 0.95, phaseIn(t, 3.0) < 1.0 ? 1 : 0,
                           pose(150.0 * swing, 900.0, 250.0, yaw, 0.5 * swing)});

    frame.calibrated_hands = calibrated_hands;
    for (int id = 0; id < calibrated_hands; ++id) {
        if (id == 1 && phaseIn(t, 6.0) >= 4.0 && phaseIn(t, 6.0) < 5.0) {
            continue;
        }
        const Pose palm = pose(id == 0 ? -250.0 : 250.0, 1100.0 + 50.0 * swing, -100.0, yaw,
                               id == 0 ? 0.2 : -0.2);
        HandState hand{id, 0.9, id, palm, {}};
        const double* at = hand.pose.position;
        const double bend = 0.4 + 0.4 * swing; // the hand opens and closes
        for (int f = 0; f < (id == 0 ? 5 : 3); ++f) {
            hand.fingers.push_back(
                {pose(at[0] + 20.0 * (f - 2), at[1] + 90.0, at[2] - 30.0 * bend, roll, bend),
                 8.0 - 0.5 * f,
                 {45.0 - 2.0 * f, 28.0 - 1.0 * f, 22.0 - 1.0 * f},
                 {30.0 * bend, 20.0 * bend}});
        }
        frame.hands.push_back(hand);
    }

    const int marker_ids[] = {3, 7, 12, 20};
    for (int i = 0; i < 4; ++i) {
        frame.markers.push_back({marker_ids[i], 1.0, {-300.0 + 200.0 * i, 50.0 * swing, 1500.0}});
    }
}

FrameState Scenario::frame(std::uint32_t frame_counter, double t) const {
    FrameState frame;
    frame.frame_counter = frame_counter;
    frame.timestamp = t;
    frame.layout = layout;
    for (int device = 0; device < skywand_count; ++device) {
        frame.skywands.push_back(skywand(device, t));
    }
    frame.all_kinds = all_kinds;
    if (all_kinds) {
        addOtherKinds(frame, t);
    }
    return frame;
}
