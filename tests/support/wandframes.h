// Skywand frames as a controller sends them, for the tools' tests and the tester's alike.
#ifndef TESTS_SUPPORT_WANDFRAMES_H
#define TESTS_SUPPORT_WANDFRAMES_H

#include <string>
#include <vector>

// A device's button count, button bits and joystick.
struct WandDevice {
    int buttonCount = 6;
    unsigned buttons = 0;
    double h = 0.0, v = 0.0;
};

// A frame with one "6df2 " line, its "ts" the controller's clock at 100 frames a second.
std::string wandFrame(const std::vector<WandDevice>& devices, unsigned number = 1);

// S1 lies on its button 1 while S2 passes the check: every button pressed and released, the
// stick at its edge in all eight directions, then at rest for over a second; each state in
// `copies` consecutive frames.
std::vector<std::string> passingCheck(int copies);

#endif
