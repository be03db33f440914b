// What the simulated controller sees in one frame, before it is written as text.

#ifndef FRAMESTATE_H
#define FRAMESTATE_H

#include <cstdint>
#include <vector>

// Which frame line carries the Skywands.
enum class SkywandLayout {
    newer, // "6df2 ": a button count, button words and joystick values per device
    older, // "6df ": eight button bits, the joystick given by bits 4 to 7
};

// Position in millimetres and a 3x3 rotation matrix, row by row.
struct Pose {
    double position[3] = {0, 0, 0};
    double rotation[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
};

struct SkywandState {
    int id = 0;
    double quality = -1.0; // -1 = not tracked
    Pose pose;
    std::vector<int> buttons;    // 1 = pressed; 6 in the newer layout, 8 in the older
    double joystick[2] = {0, 0}; // horizontal, vertical
};

struct BodyState {
    int id = 0;
    double quality = 1.0;
    Pose pose;
};

struct ToolState {
    int id = 0;
    double quality = 1.0;
    int button = 0;
    Pose pose;
};

struct FingerState {
    Pose pose;
    double tip_radius = 0;
    double phalanx_length[3] = {0, 0, 0};
    double phalanx_angle[2] = {0, 0};
};

struct HandState {
    int id = 0;
    double quality = 1.0;
    int side = 0; // 0 left, 1 right
    Pose pose;
    std::vector<FingerState> fingers;
};

struct MarkerState {
    int id = 0;
    double quality = 1.0;
    double position[3] = {0, 0, 0};
};

// One frame. Bodies and hands list only the tracked ones, as the controller sends them; the
// calibrated counts say how many exist, so that a receiver knows the others as untracked.
struct FrameState {
    std::uint32_t frame_counter = 0;
    double timestamp = 0; // seconds
    SkywandLayout layout = SkywandLayout::newer;
    std::vector<SkywandState> skywands; // all devices, tracked or not, ids 0 to n-1
    bool all_kinds = false;             // whether the lines below are sent at all
    int calibrated_bodies = 0;
    std::vector<BodyState> bodies;
    std::vector<ToolState> tools; // ids 0 to n-1
    int calibrated_hands = 0;
    std::vector<HandState> hands;
    std::vector<MarkerState> markers;
};

#endif // FRAMESTATE_H
