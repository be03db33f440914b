// Writes the text of a tracking frame and remembers where each number starts and
// which conversion the client applies to it, so that a benchmark can time those
// conversions alone on the very same text.
#ifndef BENCH_FRAMEBUILDER_H
#define BENCH_FRAMEBUILDER_H

#include <cstddef>
#include <string>
#include <vector>

class FrameBuilder {
public:
    // How the client reads a number: block "i" values and counts as signed
    // integers, the frame counter as unsigned, everything else as floating point.
    enum class Conversion { signed_integer, unsigned_integer, floating_point };

    struct Number {
        std::size_t offset;
        Conversion conversion;
    };

    // Starts a line with its identifier, blank included ("6d ").
    void begin_line(const char* identifier) { frame += identifier; }
    void end_line() { frame += '\n'; }

    // Records on an object line are separated by one blank; the blocks of a
    // record follow each other directly.
    void begin_record() { frame += ' '; }
    void open_block() { frame += '['; }
    void close_block() { frame += ']'; }

    void signed_integer(long long value);
    void unsigned_integer(unsigned long long value);
    // Fixed notation with the given number of decimals ("%.3f").
    void fixed(double value, int decimals);
    // The shortest of fixed and exponent notation with the given significant digits ("%.6g").
    void significant(double value, int digits);

    const std::string& text() const { return frame; }
    const std::vector<Number>& numbers() const { return positions; }

private:
    void separate_number();
    template <typename... Format> void append_number(Conversion conversion, Format... format);

    std::string frame;
    std::vector<Number> positions;
};

#endif
