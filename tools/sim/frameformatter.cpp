#include "frameformatter.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <iterator>

namespace {

using Out = std::back_insert_iterator<std::string>;

// "[x y z][r0 ... r8]"
void writePose(Out out, const Pose& pose) {
    fmt::format_to(out, "[{:.3f}][{:.6f}]", fmt::join(pose.position, " "),
                   fmt::join(pose.rotation, " "));
}

// Up to count buttons from first on as bits, the first the least significant.
unsigned long buttonBits(const SkywandState& skywand, std::size_t first, std::size_t count) {
    unsigned long bits = 0;
    for (std::size_t k = first; k < skywand.buttons.size() && k < first + count; ++k) {
        if (skywand.buttons[k]) {
            bits |= 1UL << (k - first);
        }
    }
    return bits;
}

// "6df2 2 2 [0 1.000 6 2][pose][1 0.2000 -0.3000]": button words, one per started group of
// 32 buttons with the least significant bit first, then the joystick.
void writeSkywandsNewer(Out out, const FrameState& frame) {
    fmt::format_to(out, "6df2 {0} {0}", frame.skywands.size());
    for (const SkywandState& skywand : frame.skywands) {
        const std::size_t buttons = skywand.buttons.size();
        fmt::format_to(out, " [{} {:.3f} {} 2]", skywand.id, skywand.quality, buttons);
        writePose(out, skywand.pose);
        *out++ = '[';
        for (std::size_t word = 0; word * 32 < buttons; ++word) {
            fmt::format_to(out, "{} ", buttonBits(skywand, word * 32, 32));
        }
        fmt::format_to(out, "{:.4f}]", fmt::join(skywand.joystick, " "));
    }
}

// "6df 2 [0 1.000 5][pose]": button k is bit k.
void writeSkywandsOlder(Out out, const FrameState& frame) {
    fmt::format_to(out, "6df {}", frame.skywands.size());
    for (const SkywandState& skywand : frame.skywands) {
        fmt::format_to(out, " [{} {:.3f} {}]", skywand.id, skywand.quality,
                       buttonBits(skywand, 0, 8));
        writePose(out, skywand.pose);
    }
}

// "6d 1 [0 1.000][pose]"
void writeBodies(Out out, const FrameState& frame) {
    fmt::format_to(out, "6d {}", frame.bodies.size());
    for (const BodyState& body : frame.bodies) {
        fmt::format_to(out, " [{} {:.3f}]", body.id, body.quality);
        writePose(out, body.pose);
    }
}

// "6dmt 1 [0 1.000 1][pose]"
void writeTools(Out out, const FrameState& frame) {
    fmt::format_to(out, "6dmt {}", frame.tools.size());
    for (const ToolState& tool : frame.tools) {
        fmt::format_to(out, " [{} {:.3f} {}]", tool.id, tool.quality, tool.button ? 1 : 0);
        writePose(out, tool.pose);
    }
}

// "gl 1 [0 1.000 1 5][pose]" and per finger "[pose][tip length angle length angle length]"
void writeHands(Out out, const FrameState& frame) {
    fmt::format_to(out, "gl {}", frame.hands.size());
    for (const HandState& hand : frame.hands) {
        fmt::format_to(out, " [{} {:.3f} {} {}]", hand.id, hand.quality, hand.side,
                       hand.fingers.size());
        writePose(out, hand.pose);
        for (const FingerState& finger : hand.fingers) {
            writePose(out, finger.pose);
            // The receiver takes these in this interleaved order.
            fmt::format_to(out, "[{:.3f} {:.3f} {:.3f} {:.3f} {:.3f} {:.3f}]", finger.tip_radius,
                           finger.phalanx_length[0], finger.phalanx_angle[0],
                           finger.phalanx_length[1], finger.phalanx_angle[1],
                           finger.phalanx_length[2]);
        }
    }
}

// "3d 1 [0 1.000][x y z]"
void writeMarkers(Out out, const FrameState& frame) {
    fmt::format_to(out, "3d {}", frame.markers.size());
    for (const MarkerState& marker : frame.markers) {
        fmt::format_to(out, " [{} {:.3f}][{:.3f}]", marker.id, marker.quality,
                       fmt::join(marker.position, " "));
    }
}

// The value of the "6dcal " line: every calibrated 6DOF object, with those that the older
// Skywand line and the tool line also count, so that a receiver can work out the number of
// bodies. The newer Skywand line does not count.
int calibratedSixDofCount(const FrameState& frame) {
    const int older_skywands =
        frame.layout == SkywandLayout::older ? static_cast<int>(frame.skywands.size()) : 0;
    return frame.calibrated_bodies + older_skywands + static_cast<int>(frame.tools.size());
}

} // namespace

std::string FrameFormatter::format(const FrameState& frame, LineEnd line_end) {
    const char* end = line_end == LineEnd::crlf ? "\r\n" : line_end == LineEnd::lf ? "\n" : "\r";
    std::string text;
    text.reserve(256 + 160 * frame.skywands.size());
    const Out out(text);
    fmt::format_to(out, "fr {}{}ts {:.6f}{}", frame.frame_counter, end, frame.timestamp, end);
    if (frame.all_kinds) {
        fmt::format_to(out, "6dcal {}{}", calibratedSixDofCount(frame), end);
        writeBodies(out, frame);
        text += end;
    }
    if (frame.layout == SkywandLayout::newer) {
        writeSkywandsNewer(out, frame);
    } else {
        writeSkywandsOlder(out, frame);
    }
    text += end;
    if (frame.all_kinds) {
        writeTools(out, frame);
        fmt::format_to(out, "{}glcal {}{}", end, frame.calibrated_hands, end);
        writeHands(out, frame);
        text += end;
        writeMarkers(out, frame);
        text += end;
    }
    return text;
}
