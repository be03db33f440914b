#include "frameformatter.h"

#include "fixeddecimal.h"

namespace {

class LineBuilder {
public:
    explicit LineBuilder(LineEnd line_end)
        : end(line_end == LineEnd::crlf ? "\r\n"
              : line_end == LineEnd::lf ? "\n"
                                        : "\r") {}

    void word(const char* text) { out += text; }
    void integer(long long value) { out += std::to_string(value); }
    void number(double value, int decimals) { out += fixedDecimal(value, decimals); }
    void blank() { out += ' '; }
    void open() { out += '['; }
    void close() { out += ']'; }
    void endLine() { out += end; }

    void numbers(const double* values, int count, int decimals) {
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                blank();
            }
            number(values[i], decimals);
        }
    }
    void bracketed(const double* values, int count, int decimals) {
        open();
        numbers(values, count, decimals);
        close();
    }
    // "[x y z][r0 ... r8]"
    void pose(const Pose& pose) {
        bracketed(pose.position, 3, position_decimals);
        bracketed(pose.rotation, 9, rotation_decimals);
    }
    // " [id quality", which every record begins with; the caller adds the fields of its kind
    // and the closing bracket.
    void recordStart(int id, double quality) {
        blank();
        open();
        integer(id);
        blank();
        number(quality, quality_decimals);
    }

    static constexpr int position_decimals = 3;
    static constexpr int quality_decimals = 3;
    static constexpr int rotation_decimals = 6;
    static constexpr int joystick_decimals = 4;

    std::string out;

private:
    const char* end;
};

void writeSkywandsNewer(LineBuilder& line, const FrameState& frame) {
    const int count = static_cast<int>(frame.skywands.size());
    line.word("6df2 ");
    line.integer(count);
    line.blank();
    line.integer(count);
    for (const SkywandState& skywand : frame.skywands) {
        const int buttons = static_cast<int>(skywand.buttons.size());
        line.recordStart(skywand.id, skywand.quality);
        line.blank();
        line.integer(buttons);
        line.blank();
        line.integer(2);
        line.close();
        line.pose(skywand.pose);
        // One word per started group of 32 buttons, least significant bit first.
        line.open();
        for (int word = 0; word * 32 < buttons; ++word) {
            unsigned long bits = 0;
            for (int k = word * 32; k < buttons && k < word * 32 + 32; ++k) {
                if (skywand.buttons[k]) {
                    bits |= 1UL << (k - word * 32);
                }
            }
            line.integer(static_cast<long long>(bits));
            line.blank();
        }
        line.numbers(skywand.joystick, 2, LineBuilder::joystick_decimals);
        line.close();
    }
    line.endLine();
}

void writeSkywandsOlder(LineBuilder& line, const FrameState& frame) {
    line.word("6df ");
    line.integer(static_cast<long long>(frame.skywands.size()));
    for (const SkywandState& skywand : frame.skywands) {
        line.recordStart(skywand.id, skywand.quality);
        line.blank();
        line.integer(FrameFormatter::olderButtonBits(skywand));
        line.close();
        line.pose(skywand.pose);
    }
    line.endLine();
}

void writeBodies(LineBuilder& line, const FrameState& frame) {
    line.word("6dcal ");
    line.integer(FrameFormatter::calibratedSixDofCount(frame));
    line.endLine();
    line.word("6d ");
    line.integer(static_cast<long long>(frame.bodies.size()));
    for (const BodyState& body : frame.bodies) {
        line.recordStart(body.id, body.quality);
        line.close();
        line.pose(body.pose);
    }
    line.endLine();
}

void writeTools(LineBuilder& line, const FrameState& frame) {
    line.word("6dmt ");
    line.integer(static_cast<long long>(frame.tools.size()));
    for (const ToolState& tool : frame.tools) {
        line.recordStart(tool.id, tool.quality);
        line.blank();
        line.integer(tool.button ? 1 : 0);
        line.close();
        line.pose(tool.pose);
    }
    line.endLine();
}

void writeHands(LineBuilder& line, const FrameState& frame) {
    line.word("glcal ");
    line.integer(frame.calibrated_hands);
    line.endLine();
    line.word("gl ");
    line.integer(static_cast<long long>(frame.hands.size()));
    for (const HandState& hand : frame.hands) {
        line.recordStart(hand.id, hand.quality);
        line.blank();
        line.integer(hand.side);
        line.blank();
        line.integer(static_cast<long long>(hand.fingers.size()));
        line.close();
        line.pose(hand.pose);
        for (const FingerState& finger : hand.fingers) {
            line.pose(finger.pose);
            // The receiver takes these in this interleaved order.
            const double shape[6] = {finger.tip_radius,       finger.phalanx_length[0],
                                     finger.phalanx_angle[0], finger.phalanx_length[1],
                                     finger.phalanx_angle[1], finger.phalanx_length[2]};
            line.bracketed(shape, 6, LineBuilder::position_decimals);
        }
    }
    line.endLine();
}

void writeMarkers(LineBuilder& line, const FrameState& frame) {
    line.word("3d ");
    line.integer(static_cast<long long>(frame.markers.size()));
    for (const MarkerState& marker : frame.markers) {
        line.recordStart(marker.id, marker.quality);
        line.close();
        line.bracketed(marker.position, 3, LineBuilder::position_decimals);
    }
    line.endLine();
}

} // namespace

int FrameFormatter::calibratedSixDofCount(const FrameState& frame) {
    // The older Skywand line and the tool line count towards the calibrated 6DOF objects; the
    // newer Skywand line does not.
    const int older_skywands =
        frame.layout == SkywandLayout::older ? static_cast<int>(frame.skywands.size()) : 0;
    return frame.calibrated_bodies + older_skywands + static_cast<int>(frame.tools.size());
}

unsigned FrameFormatter::olderButtonBits(const SkywandState& skywand) {
    unsigned bits = 0;
    for (std::size_t k = 0; k < skywand.buttons.size() && k < 8; ++k) {
        if (skywand.buttons[k]) {
            bits |= 1U << k;
        }
    }
    return bits;
}

std::string FrameFormatter::format(const FrameState& frame, LineEnd line_end) {
    LineBuilder line(line_end);
    line.out.reserve(256 + 160 * frame.skywands.size());
    line.word("fr ");
    line.integer(frame.frame_counter);
    line.endLine();
    line.word("ts ");
    line.number(frame.timestamp, 6);
    line.endLine();
    if (frame.all_kinds) {
        writeBodies(line, frame);
    }
    if (frame.layout == SkywandLayout::newer) {
        writeSkywandsNewer(line, frame);
    } else {
        writeSkywandsOlder(line, frame);
    }
    if (frame.all_kinds) {
        writeTools(line, frame);
        writeHands(line, frame);
        writeMarkers(line, frame);
    }
    return line.out;
}
