#include "frametext.h"

#include "Ombrix.h"
#include "replaywriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

template <typename Number> std::string shortestNumber(Number value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

class JsonObject {
public:
    explicit JsonObject(std::string& out) : out(out) { out += '{'; }
    ~JsonObject() { out += '}'; }
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;

    // Starts a member; the caller appends its value.
    std::string& key(const char* name) {
        if (!first) {
            out += ',';
        }
        first = false;
        out += '"';
        out += name;
        out += "\":";
        return out;
    }
    void member(const char* name, int value) { key(name) += std::to_string(value); }
    void member(const char* name, float value) { key(name) += FrameText::jsonNumber(value); }
    template <typename Number> void array(const char* name, const Number* values, int count) {
        std::string& text = key(name);
        text += '[';
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                text += ',';
            }
            if constexpr (std::is_same_v<Number, int>) {
                text += std::to_string(values[i]);
            } else {
                text += FrameText::jsonNumber(values[i]);
            }
        }
        text += ']';
    }

private:
    std::string& out;
    bool first = true;
};

// Appends "name":[record,...] with one object per index below count, written by write.
template <typename Write>
void appendRecords(JsonObject& frame, const char* name, int count, Write write) {
    std::string& out = frame.key(name);
    out += '[';
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            out += ',';
        }
        JsonObject record(out);
        write(record, i);
    }
    out += ']';
}

// The counts the client reports are non-negative by construction; a clamp keeps a fault there
// from turning into a huge loop.
int countOf(int count, int capacity) {
    return count < 0 ? 0 : (count > capacity ? capacity : count);
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

std::string FrameText::jsonNumber(double value) {
    return shortestNumber(value);
}

std::string FrameText::jsonNumber(float value) {
    return shortestNumber(value);
}

std::string FrameText::jsonString(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0x0F];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::string FrameText::json(const Ombrix& client, unsigned dropped) {
    std::string out;
    {
        JsonObject frame(out);
        frame.key("frame") += std::to_string(client.get_framecounter());
        frame.key("timestamp") += jsonNumber(client.get_timestamp());
        frame.key("dropped") += std::to_string(dropped);

        appendRecords(frame, "bodies", client.get_num_body(), [&](JsonObject& record, int i) {
            const ombrix_body_type body = client.get_body(i);
            record.member("id", body.id);
            record.member("quality", body.quality);
            record.array("position", body.position, 3);
            record.array("rotation", body.rotation, 9);
        });
        appendRecords(frame, "skywands", client.get_num_skywand(), [&](JsonObject& record, int i) {
            const ombrix_skywand_type wand = client.get_skywand(i);
            record.member("id", wand.id);
            record.member("quality", wand.quality);
            record.array("buttons", wand.button, countOf(wand.num_button, 16));
            record.array("joystick", wand.joystick, countOf(wand.num_joystick, 8));
            record.array("position", wand.position, 3);
            record.array("rotation", wand.rotation, 9);
        });
        appendRecords(frame, "tools", client.get_num_meatool(), [&](JsonObject& record, int i) {
            const ombrix_meatool_type tool = client.get_meatool(i);
            record.member("id", tool.id);
            record.member("quality", tool.quality);
            record.array("buttons", tool.button, countOf(tool.num_button, 1));
            record.array("position", tool.position, 3);
            record.array("rotation", tool.rotation, 9);
        });
        appendRecords(frame, "hands", client.get_num_hand(), [&](JsonObject& record, int i) {
            const ombrix_hand_type hand = client.get_hand(i);
            record.member("id", hand.id);
            record.member("quality", hand.quality);
            record.member("handedness", hand.handedness);
            record.array("position", hand.position, 3);
            record.array("rotation", hand.rotation, 9);
            appendRecords(record, "fingers", countOf(hand.num_finger, 5),
                          [&](JsonObject& finger_record, int f) {
                              const ombrix_finger_type& finger = hand.finger[f];
                              finger_record.array("position", finger.position, 3);
                              finger_record.array("rotation", finger.rotation, 9);
                              finger_record.member("tip_radius", finger.tip_radius);
                              finger_record.array("phalanx_length", finger.phalanx_length, 3);
                              finger_record.array("phalanx_angle", finger.phalanx_angle, 2);
                          });
        });
        appendRecords(frame, "markers", client.get_num_marker(), [&](JsonObject& record, int i) {
            const ombrix_marker_type marker = client.get_marker(i);
            record.member("id", marker.id);
            record.member("quality", marker.quality);
            record.array("position", marker.position, 3);
        });
    }
    return out;
}

std::string FrameText::jsonError(std::string_view kind, std::string_view datagram) {
    std::string out;
    {
        JsonObject object(out);
        object.key("error") += jsonString(kind);
        if (!datagram.empty()) {
            object.key("bytes") += std::to_string(datagram.size());
            object.key("datagram") += jsonString(datagram);
        }
    }
    return out;
}

std::string FrameText::skywandLine(const Ombrix& client, int device_number) {
    std::string line = "frame " + std::to_string(client.get_framecounter()) + "  ts " +
                       fixed(client.get_timestamp(), 3) + "  S" + std::to_string(device_number);
    const int count = client.get_num_skywand();
    if (device_number < 1 || device_number > count) {
        return line + "  not in this frame (" + std::to_string(count) + " Skywand" +
               (count == 1 ? "" : "s") + ")";
    }
    const ombrix_skywand_type wand = client.get_skywand(device_number - 1);
    line += "  quality " + fixed(wand.quality, 3);
    if (wand.quality < 0.0f) {
        line += " (not tracked)";
    }
    line += "  buttons";
    for (int i = 0; i < countOf(wand.num_button, 16); ++i) {
        line += wand.button[i] ? " 1" : " 0";
    }
    line += "  joystick";
    for (int i = 0; i < countOf(wand.num_joystick, 8); ++i) {
        line += ' ' + fixed(wand.joystick[i], 3);
    }
    return line;
}

std::string FrameText::rawBlock(std::string_view datagram, const std::string& note) {
    return "# " + note + "\n" + ReplayWriter::encodeDatagram(std::string(datagram)) + "\n";
}
