// Tracking frames of Skywands as a controller sends them, and the frames that take a device
// through a whole check. Plain text, for the tools' tests and the tester's alike.
#ifndef TESTS_SUPPORT_WANDFRAMES_H
#define TESTS_SUPPORT_WANDFRAMES_H

#include <string>
#include <vector>

// A device: its button count, button bits and joystick.
struct WandDevice {
    int buttonCount = 6;
    unsigned buttons = 0;
    double h = 0.0, v = 0.0;
};

// A frame with one "6df2 " line and the controller's clock at 100 frames a second, so that
// the check can time by it.
std::string wandFrame(const std::vector<WandDevice>& devices, unsigned number = 1);

// S1 lies on its button 1 while S2 passes the check: every button pressed and released, the
// stick at its edge in all eight directions, then at rest for more than a second of frames;
// each state in `copies` consecutive frames.
std::vector<std::string> passingCheck(int copies);

#endif
