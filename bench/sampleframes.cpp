#include "sampleframes.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <map>
#include <random>
#include <utility>

namespace {

struct SceneShape {
    int bodies = 0, skywands = 0, meatools = 0, hands = 0, markers = 0;
};

constexpr int fingers_per_hand = 5;
constexpr std::pair<double, double> finger_ranges[] = {{6.0, 10.0},  {20.0, 50.0}, {5.0, 80.0},
                                                       {15.0, 35.0}, {5.0, 80.0},  {10.0, 25.0}};

using Conversion = SampleFrame::Conversion;

// Records on an object line are separated by one blank; the blocks of a record follow each
// other directly.
class SceneWriter {
public:
    explicit SceneWriter(SampleFrame& out) : out(out.text), numbers(out.numbers) {}

    void write(const SceneShape& shape) {
        out += "fr ";
        number(Conversion::unsigned_integer, 1048576u);
        out += "\nts ";
        fixed(43200.0, 6);
        out += '\n';
        // The calibrated body count covers the bodies and the measurement tools; the client
        // takes the tools out of it again.
        if (shape.bodies > 0 || shape.meatools > 0)
            calibrated_count("6dcal ", shape.bodies + shape.meatools);
        objects("6d ", {shape.bodies}, [](int) {}, [] {});
        skywands(shape.skywands);
        objects("6dmt ", {shape.meatools}, [this](int) { integer(uniform_int(0, 1)); }, [] {});
        if (shape.hands > 0)
            hands(shape.hands);
        if (shape.markers > 0)
            markers(shape.markers);
    }

private:
    void calibrated_count(const char* identifier, int count) {
        out += identifier;
        integer(count);
        out += '\n';
    }

    // Newer Skywand layout: 8 buttons in one word, 2 joystick values.
    void skywands(int count) {
        objects(
            "6df2 ", {count, count},
            [this](int) {
                integer(8);
                integer(2);
            },
            [this] {
                out += '[';
                integer(uniform_int(0, 255));
                fixed(uniform(-1.0, 1.0), 3);
                fixed(uniform(-1.0, 1.0), 3);
                out += ']';
            });
    }

    void hands(int count) {
        calibrated_count("glcal ", count);
        const auto side_and_fingers = [this](int id) {
            integer(id % 2);
            integer(fingers_per_hand);
        };
        objects("gl ", {count}, side_and_fingers, [this] {
            for (int finger = 0; finger < fingers_per_hand; ++finger) {
                pose();
                out += '['; // the tip radius first
                for (const auto& [low, high] : finger_ranges)
                    fixed(uniform(low, high), 3);
                out += ']';
            }
        });
    }

    void markers(int count) {
        out += "3d ";
        integer(count);
        for (int i = 0; i < count; ++i) {
            out += " [";
            integer(1000 + 3 * i);
            fixed(uniform(0.9, 1.0), 3);
            out += ']';
            position();
        }
        out += '\n';
    }

    double uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    }
    int uniform_int(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    }

    // Numbers after an identifier, a blank or an opening bracket need no blank of their own;
    // numbers after another number do. The arguments after the conversion are those of
    // std::to_chars after its buffer, which the numbers written here always fit.
    template <typename... Format> void number(Conversion conversion, Format... format) {
        if (!out.empty() && out.back() != ' ' && out.back() != '[')
            out += ' ';
        char digits[64];
        numbers.push_back({out.size(), conversion});
        out.append(digits, std::to_chars(digits, digits + sizeof(digits), format...).ptr);
    }
    void integer(long long value) { number(Conversion::signed_integer, value); }
    // Fixed notation with the given number of decimals ("%.3f").
    void fixed(double value, int decimals) {
        number(Conversion::floating_point, value, std::chars_format::fixed, decimals);
    }

    // A line of objects with a pose: the counts, then per object
    // " [id quality <head>][position][rotation]<tail>". No line for no objects.
    template <typename Head, typename Tail>
    void objects(const char* identifier, std::initializer_list<int> counts, Head head, Tail tail) {
        if (*counts.begin() == 0)
            return;
        out += identifier;
        for (int count : counts)
            integer(count);
        for (int id = 0; id < *counts.begin(); ++id) {
            out += " [";
            integer(id);
            fixed(uniform(0.9, 1.0), 3);
            head(id);
            out += ']';
            pose();
            tail();
        }
        out += '\n';
    }

    // Millimetres in a room of 3 by 3 by 2.2 metres.
    void position() {
        out += '[';
        fixed(uniform(-1500.0, 1500.0), 3);
        fixed(uniform(-1500.0, 1500.0), 3);
        fixed(uniform(0.0, 2200.0), 3);
        out += ']';
    }

    // A genuine rotation matrix (Rz * Ry * Rx) written with 6 significant digits.
    void rotation() {
        const double pi = 3.14159265358979323846;
        const double a = uniform(-pi, pi), b = uniform(-pi / 2, pi / 2), c = uniform(-pi, pi);
        const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
        const double cc = std::cos(c), sc = std::sin(c);
        const double matrix[9] = {ca * cb, ca * sb * sc - sa * cc, ca * sb * cc + sa * sc,  // row 1
                                  sa * cb, sa * sb * sc + ca * cc, sa * sb * cc - ca * sc,  // row 2
                                  -sb,     cb * sc,                cb * cc};               // row 3
        out += '[';
        for (double value : matrix)
            number(Conversion::floating_point, value, std::chars_format::general, 6);
        out += ']';
    }

    void pose() {
        position();
        rotation();
    }

    std::string& out;
    std::vector<SampleFrame::Number>& numbers;
    std::mt19937 random{4711u};
};

SampleFrame scene_frame(const SceneShape& shape) {
    SampleFrame frame;
    SceneWriter(frame).write(shape);
    return frame;
}

} // namespace

// bodies, skywands, meatools, hands, markers. The largest is the typical lab with 40 bodies
// and 305 markers, 19,889 bytes: just below the 19,998 bytes a 20,000-byte receive buffer
// accepts.
const SampleFrame& sample_frame(const std::string& name) {
    static const std::map<std::string, SampleFrame> frames = {
        {"single", scene_frame({0, 1, 0, 0, 0})},
        {"typical", scene_frame({10, 4, 2, 2, 20})},
        {"largest", scene_frame({40, 4, 2, 2, 305})}};
    static const SampleFrame none;
    const auto found = frames.find(name);
    return found == frames.end() ? none : found->second;
}
