// Tracking frames of the sizes the client meets in practice, with realistic numbers, for the
// parser and forwarding benchmarks. Each frame remembers where its numbers start and which
// conversion the client applies to each, so that a benchmark can time those conversions alone
// on the very same text.
#ifndef BENCH_SAMPLEFRAMES_H
#define BENCH_SAMPLEFRAMES_H

#include <cstddef>
#include <string>
#include <vector>

struct SampleFrame {
    // How the client reads a number: block "i" values and counts as signed integers, the frame
    // counter as unsigned, everything else as floating point.
    enum class Conversion { signed_integer, unsigned_integer, floating_point };
    struct Number {
        std::size_t offset;
        Conversion conversion;
    };

    std::string text;
    std::vector<Number> numbers;
};

// "single": one Skywand on a "6df2 " line with buttons and joystick; "typical": a lab with
// 4 Skywands, 10 bodies, 2 measurement tools, 2 hands and 20 markers; "largest": many bodies and
// markers, just below the largest datagram the tester takes. An unknown name gives an empty
// frame. Built on first use; the same text on every run.
const SampleFrame& sample_frame(const std::string& name);

#endif
