#include "framebuilder.h"

#include <charconv>
#include <stdexcept>

// Numbers after an identifier, a blank or an opening bracket need no blank of
// their own; numbers after another number do.
void FrameBuilder::separate_number() {
    if (!frame.empty() && frame.back() != ' ' && frame.back() != '[')
        frame += ' ';
}

// The arguments after the conversion are those of std::to_chars after its buffer.
template <typename... Format>
void FrameBuilder::append_number(Conversion conversion, Format... format) {
    separate_number();
    char digits[64];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof(digits), format...);
    if (result.ec != std::errc())
        throw std::runtime_error("number does not fit its text buffer");
    positions.push_back({frame.size(), conversion});
    frame.append(digits, result.ptr);
}

void FrameBuilder::signed_integer(long long value) {
    append_number(Conversion::signed_integer, value);
}

void FrameBuilder::unsigned_integer(unsigned long long value) {
    append_number(Conversion::unsigned_integer, value);
}

void FrameBuilder::fixed(double value, int decimals) {
    append_number(Conversion::floating_point, value, std::chars_format::fixed, decimals);
}

void FrameBuilder::significant(double value, int digits) {
    append_number(Conversion::floating_point, value, std::chars_format::general, digits);
}
