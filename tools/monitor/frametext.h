// Text forms of one received frame for ombrix-monitor's per-frame views.

#ifndef FRAMETEXT_H
#define FRAMETEXT_H

#include <string>
#include <string_view>

class Ombrix;

class FrameText {
public:
    // One JSON object, without a line end, for the frame the client parsed last: its counter,
    // timestamp and every record of every kind the client holds. dropped = datagrams skipped.
    static std::string json(const Ombrix& client, unsigned dropped);
    // One JSON object for a datagram that gave no frame; kind is "parse" or "receive". The
    // datagram text is included when there is any.
    static std::string jsonError(std::string_view kind, std::string_view datagram);

    // One line, without a line end: the frame's counter and timestamp and the buttons and
    // joystick of the Skywand with the one-based number device_number.
    static std::string skywandLine(const Ombrix& client, int device_number);

    // The datagram as replay-file lines after a "#" comment line holding note; ends with a
    // blank line.
    static std::string rawBlock(std::string_view datagram, const std::string& note);
};

#endif // FRAMETEXT_H
