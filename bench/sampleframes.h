// Tracking frames of the sizes the client meets in practice, with realistic
// numbers, for the parser and forwarding benchmarks.
#ifndef BENCH_SAMPLEFRAMES_H
#define BENCH_SAMPLEFRAMES_H

#include "framebuilder.h"

#include <cstddef>

enum class FrameSize {
    single_skywand, // one Skywand on a "6df2 " line with buttons and joystick
    typical,        // a lab: 4 Skywands, 10 bodies, 2 measurement tools, 2 hands, 20 markers
    largest,        // many bodies and markers, just below the largest datagram the tester takes
};

// The longest datagram a 20000-byte receive buffer accepts.
constexpr std::size_t largest_datagram = 19998;

const char* frame_size_name(FrameSize size);

// Frames of one size share their shape (line kinds, counts, ids) whatever the
// variant; the variant changes the numbers. Variants 0 to 7 of the largest
// frame all fit in largest_datagram bytes.
FrameBuilder sample_frame(FrameSize size, unsigned variant = 0);

#endif
