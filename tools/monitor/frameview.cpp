#include "frameview.h"

#include "Ombrix.h"
#include "replaywriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <type_traits>

namespace {

using Json = nlohmann::ordered_json; // members in the order written

// Null when not finite; a whole value without a fraction ("1", not "1.0"; -0 as 0); otherwise the
// shortest digits that read back to the value, for a float not the many digits of its widened
// double.
template <typename Number> Json number(Number value) {
    if (!std::isfinite(value)) {
        return nullptr;
    }
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        return static_cast<std::int64_t>(value);
    }
    if constexpr (std::is_same_v<Number, float>) { // a double's digits read back to itself
        char text[64];
        const char* end = std::to_chars(text, text + sizeof text, value).ptr;
        double widened = 0;
        std::from_chars(text, end, widened);
        return widened;
    }
    return value;
}

// One object per index below count, made by make.
template <typename Make> Json records(int count, Make make) {
    Json array = Json::array();
    for (int i = 0; i < count; ++i) {
        array.push_back(make(i));
    }
    return array;
}

template <typename Number> Json numbers(const Number* values, int count) {
    return records(count, [values](int i) { return number(values[i]); });
}

// A tracked object: its id and quality, what only its kind reports, then its pose.
template <typename Record> Json tracked(const Record& record, const Json& own = Json::object()) {
    Json object{{"id", record.id}, {"quality", number(record.quality)}};
    object.update(own);
    object["position"] = numbers(record.position, 3);
    object["rotation"] = numbers(record.rotation, 9);
    return object;
}

// Bytes from 128 up are taken as Latin-1, so that any datagram gives valid UTF-8 and so
// valid JSON.
std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += static_cast<char>(0xC0 | (byte >> 6)); // the lead byte of two
        }
        out += byte < 0x80 ? c : static_cast<char>(0x80 | (byte & 0x3F));
    }
    return out;
}

// One line per frame: the counter, the timestamp and one Skywand's buttons and joystick.
class SkywandView : public FrameView {
public:
    SkywandView(const Context& context, int device_number)
        : FrameView(context), device(device_number) {}
    void frame(const Ombrix& client, double, unsigned) override {
        out << fmt::format("frame {}  ts {:.3f}  S{}", client.get_framecounter(),
                           client.get_timestamp(), device);
        const int count = client.get_num_skywand();
        if (device > count) {
            out << fmt::format("  not in this frame ({} Skywand{})\n", count,
                               count == 1 ? "" : "s");
            return;
        }
        const ombrix_skywand_type wand = client.get_skywand(device - 1);
        out << fmt::format("  quality {:.3f}{}  buttons", wand.quality,
                           wand.quality < 0.0f ? " (not tracked)" : "");
        for (int i = 0; i < std::clamp(wand.num_button, 0, 16); ++i) {
            out << (wand.button[i] ? " 1" : " 0");
        }
        out << "  joystick";
        for (int i = 0; i < std::clamp(wand.num_joystick, 0, 8); ++i) {
            out << fmt::format(" {:.3f}", wand.joystick[i]);
        }
        out << "\n";
    }
    void unparsed(std::string_view datagram, double, unsigned) override {
        out << "parse error (" << datagram.size() << " bytes; --raw shows them)\n";
    }
    void receiveError(double) override { out << "receive error (empty or unreadable datagram)\n"; }
    // Once per whole second of silence.
    void waited(double now) override {
        if (context.stats.figures().timeouts > silence_told) {
            silence_told = context.stats.figures().timeouts;
            out << fmt::format("no frame for {:.0f} s\n",
                               now - context.stats.figures().silence_start);
        }
    }

private:
    int device;
    std::uint64_t silence_told = 0; // time-outs already shown
};

// Every datagram as replay-file lines after a comment saying when it came and what it gave.
class RawView : public FrameView {
public:
    using FrameView::FrameView;
    void frame(const Ombrix& client, double elapsed, unsigned dropped) override {
        block(client.get_datagram(), elapsed, dropped,
              fmt::format("frame {}", client.get_framecounter()));
    }
    void unparsed(std::string_view datagram, double elapsed, unsigned dropped) override {
        block(datagram, elapsed, dropped, "parse error");
    }
    void receiveError(double elapsed) override {
        out << fmt::format("# {:.3f} s, receive error (empty or unreadable)\n\n", elapsed);
    }

private:
    void block(std::string_view datagram, double elapsed, unsigned dropped,
               const std::string& outcome) {
        out << fmt::format("# {:.3f} s, {} bytes, {}", elapsed, datagram.size(), outcome);
        if (dropped > 0) {
            out << ", " << dropped << " older dropped";
        }
        out << "\n" << ReplayWriter::encodeDatagram(std::string(datagram)) << "\n";
    }
};

// One JSON object per line for every datagram.
class JsonView : public FrameView {
public:
    using FrameView::FrameView;
    void frame(const Ombrix& client, double, unsigned dropped) override {
        Json frame;
        frame["frame"] = client.get_framecounter();
        frame["timestamp"] = number(client.get_timestamp());
        frame["dropped"] = dropped;
        frame["bodies"] =
            records(client.get_num_body(), [&](int i) { return tracked(client.get_body(i)); });
        frame["skywands"] = records(client.get_num_skywand(), [&](int i) {
            const ombrix_skywand_type wand = client.get_skywand(i);
            return tracked(
                wand, {{"buttons", numbers(wand.button, std::clamp(wand.num_button, 0, 16))},
                       {"joystick", numbers(wand.joystick, std::clamp(wand.num_joystick, 0, 8))}});
        });
        frame["tools"] = records(client.get_num_meatool(), [&](int i) {
            const ombrix_meatool_type tool = client.get_meatool(i);
            return tracked(tool,
                           {{"buttons", numbers(tool.button, std::clamp(tool.num_button, 0, 1))}});
        });
        frame["hands"] = records(client.get_num_hand(), [&](int i) {
            const ombrix_hand_type hand = client.get_hand(i);
            Json object = tracked(hand, {{"handedness", hand.handedness}});
            object["fingers"] = records(std::clamp(hand.num_finger, 0, 5), [&](int f) {
                const ombrix_finger_type& finger = hand.finger[f];
                return Json{{"position", numbers(finger.position, 3)},
                            {"rotation", numbers(finger.rotation, 9)},
                            {"tip_radius", number(finger.tip_radius)},
                            {"phalanx_length", numbers(finger.phalanx_length, 3)},
                            {"phalanx_angle", numbers(finger.phalanx_angle, 2)}};
            });
            return object;
        });
        frame["markers"] = records(client.get_num_marker(), [&](int i) {
            const ombrix_marker_type marker = client.get_marker(i);
            return Json{{"id", marker.id},
                        {"quality", number(marker.quality)},
                        {"position", numbers(marker.position, 3)}};
        });
        print(frame);
    }
    void unparsed(std::string_view datagram, double, unsigned) override {
        print(
            {{"error", "parse"}, {"bytes", datagram.size()}, {"datagram", latin1ToUtf8(datagram)}});
    }
    void receiveError(double) override { print({{"error", "receive"}}); }

private:
    // One line: no indentation, and anything outside ASCII as \u escapes.
    void print(const Json& object) { out << object.dump(-1, ' ', true) << "\n"; }
};

} // namespace

std::unique_ptr<FrameView> FrameView::create(const MonitorOptions& options,
                                             const Context& context) {
    if (options.raw) {
        return std::make_unique<RawView>(context);
    }
    if (options.json) {
        return std::make_unique<JsonView>(context);
    }
    if (options.skywand) {
        return std::make_unique<SkywandView>(context, *options.skywand);
    }
    if (options.find || options.check) {
        return device(options, context);
    }
    return summary(options.record_file, context);
}
