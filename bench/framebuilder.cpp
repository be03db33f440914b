#include "framebuilder.h"

#include <charconv>
#include <stdexcept>

// Numbers after an identifier, a blank or an opening bracket need no blank of
// their own; numbers after another number do.
void FrameBuilder::separate_number() {
    if (!frame.empty() && frame.back() != ' ' && frame.back() != '[')
        frame += ' ';
}

template <typename Writer> void FrameBuilder::append_number(Conversion conversion, Writer write) {
    separate_number();
    char digits[64];
    const std::to_chars_result result = write(digits, digits + sizeof(digits));
    if (result.ec != std::errc())
        throw std::runtime_error("number does not fit its text buffer");
    positions.push_back({frame.size(), conversion});
    frame.append(digits, result.ptr);
}

void FrameBuilder::signed_integer(long long value) {
    append_number(Conversion::signed_integer,
                  [value](char* first, char* last) { return std::to_chars(first, last, value); });
}

void FrameBuilder::unsigned_integer(unsigned long long value) {
    append_number(Conversion::unsigned_integer,
                  [value](char* first, char* last) { return std::to_chars(first, last, value); });
}

void FrameBuilder::fixed(double value, int decimals) {
    append_number(Conversion::floating_point, [value, decimals](char* first, char* last) {
        return std::to_chars(first, last, value, std::chars_format::fixed, decimals);
    });
}

void FrameBuilder::significant(double value, int digits) {
    append_number(Conversion::floating_point, [value, digits](char* first, char* last) {
        return std::to_chars(first, last, value, std::chars_format::general, digits);
    });
}
