#include "sampleframes.h"

#include <cmath>
#include <initializer_list>
#include <random>
#include <stdexcept>

namespace {

struct SceneShape {
    int bodies = 0, skywands = 0, meatools = 0, hands = 0, markers = 0;
};

constexpr int fingers_per_hand = 5;
constexpr unsigned largest_frame_variants = 8;

class SceneWriter {
public:
    SceneWriter(FrameBuilder& out, unsigned variant) : out(out), random(4711u + 7919u * variant) {}

    void header(unsigned variant) {
        out.begin_line("fr ");
        out.unsigned_integer(1048576u + variant);
        out.end_line();
        out.begin_line("ts ");
        out.fixed(43200.0 + variant / 60.0, 6);
        out.end_line();
    }

    void calibrated_count(const char* identifier, int count) {
        out.begin_line(identifier);
        out.signed_integer(count);
        out.end_line();
    }

    void bodies(int count) {
        objects("6d ", {count}, [](int) {}, [] {});
    }

    // Newer Skywand layout: 8 buttons in one word, 2 joystick values.
    void skywands(int count) {
        objects(
            "6df2 ", {count, count},
            [this](int) {
                out.signed_integer(8);
                out.signed_integer(2);
            },
            [this] {
                out.open_block();
                out.signed_integer(uniform_int(0, 255));
                out.fixed(uniform(-1.0, 1.0), 3);
                out.fixed(uniform(-1.0, 1.0), 3);
                out.close_block();
            });
    }

    void meatools(int count) {
        objects("6dmt ", {count}, [this](int) { out.signed_integer(uniform_int(0, 1)); }, [] {});
    }

    void hands(int count) {
        calibrated_count("glcal ", count);
        const auto side_and_fingers = [this](int id) {
            out.signed_integer(id % 2);
            out.signed_integer(fingers_per_hand);
        };
        objects("gl ", {count}, side_and_fingers, [this] {
            for (int finger = 0; finger < fingers_per_hand; ++finger) {
                pose();
                out.open_block();
                out.fixed(uniform(6.0, 10.0), 3); // tip radius
                out.fixed(uniform(20.0, 50.0), 3);
                out.fixed(uniform(5.0, 80.0), 3);
                out.fixed(uniform(15.0, 35.0), 3);
                out.fixed(uniform(5.0, 80.0), 3);
                out.fixed(uniform(10.0, 25.0), 3);
                out.close_block();
            }
        });
    }

    void markers(int count) {
        out.begin_line("3d ");
        out.signed_integer(count);
        for (int i = 0; i < count; ++i) {
            out.begin_record();
            out.open_block();
            out.signed_integer(1000 + 3 * i);
            out.fixed(uniform(0.9, 1.0), 3);
            out.close_block();
            position();
        }
        out.end_line();
    }

private:
    double uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    }
    int uniform_int(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    }

    // A line of objects with a pose: the counts, then per object
    // " [id quality <head>][position][rotation]<tail>".
    template <typename Head, typename Tail>
    void objects(const char* identifier, std::initializer_list<int> counts, Head head, Tail tail) {
        out.begin_line(identifier);
        for (int count : counts)
            out.signed_integer(count);
        for (int id = 0; id < *counts.begin(); ++id) {
            out.begin_record();
            out.open_block();
            out.signed_integer(id);
            out.fixed(uniform(0.9, 1.0), 3);
            head(id);
            out.close_block();
            pose();
            tail();
        }
        out.end_line();
    }

    // Millimetres in a room of 3 by 3 by 2.2 metres.
    void position() {
        out.open_block();
        out.fixed(uniform(-1500.0, 1500.0), 3);
        out.fixed(uniform(-1500.0, 1500.0), 3);
        out.fixed(uniform(0.0, 2200.0), 3);
        out.close_block();
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
        out.open_block();
        for (double value : matrix)
            out.significant(value, 6);
        out.close_block();
    }

    void pose() {
        position();
        rotation();
    }

    FrameBuilder& out;
    std::mt19937 random;
};

FrameBuilder scene_frame(const SceneShape& shape, unsigned variant) {
    FrameBuilder frame;
    SceneWriter writer(frame, variant);
    writer.header(variant);
    // The calibrated body count covers the bodies and the measurement tools; the
    // client takes the tools out of it again.
    if (shape.bodies > 0 || shape.meatools > 0)
        writer.calibrated_count("6dcal ", shape.bodies + shape.meatools);
    if (shape.bodies > 0)
        writer.bodies(shape.bodies);
    if (shape.skywands > 0)
        writer.skywands(shape.skywands);
    if (shape.meatools > 0)
        writer.meatools(shape.meatools);
    if (shape.hands > 0)
        writer.hands(shape.hands);
    if (shape.markers > 0)
        writer.markers(shape.markers);
    return frame;
}

// bodies, skywands, meatools, hands, markers
const SceneShape typical_shape{10, 4, 2, 2, 20};

// The typical lab with 40 bodies, and as many markers as let every variant fit.
SceneShape largest_shape() {
    SceneShape shape{40, 4, 2, 2, 400};
    for (unsigned variant = 0; variant < largest_frame_variants; ++variant)
        while (scene_frame(shape, variant).text().size() > largest_datagram)
            --shape.markers;
    return shape;
}

} // namespace

const char* frame_size_name(FrameSize size) {
    static const char* const names[] = {"single", "typical", "largest"};
    return names[static_cast<int>(size)];
}

FrameBuilder sample_frame(FrameSize size, unsigned variant) {
    if (size == FrameSize::single_skywand)
        return scene_frame(SceneShape{0, 1, 0, 0, 0}, variant);
    if (size == FrameSize::typical)
        return scene_frame(typical_shape, variant);
    if (variant >= largest_frame_variants)
        throw std::invalid_argument("only variants 0 to 7 of the largest frame are sized");
    static const SceneShape shape = largest_shape();
    return scene_frame(shape, variant);
}
