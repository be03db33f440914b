// Writes a frame as the controller's ASCII tracking text, one datagram.

#ifndef FRAMEFORMATTER_H
#define FRAMEFORMATTER_H

#include "framestate.h"

#include <string>

enum class LineEnd { crlf, lf, cr };

// Lines in the controller's order: "fr ", "ts ", then, when the frame has all kinds, "6dcal "
// and "6d ", then the Skywand line ("6df2 " or "6df "), then "6dmt ", "glcal ", "gl " and "3d ".
// Positions and qualities carry three decimals, rotations six and joystick values four.
class FrameFormatter {
public:
    static std::string format(const FrameState& frame, LineEnd line_end = LineEnd::crlf);
};

#endif // FRAMEFORMATTER_H
