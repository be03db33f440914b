// Differential check of the number scanners: every input, read as a NUL-terminated
// text, must give exactly what the C library's conversions in the "C" locale give
// (the same bits and the same end position), whichever path the scanner took.

#include "fuzzcheck.h"
#include "textscan.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

char* reference_i(char* text, int& value) {
    char* end = nullptr;
    const long long number = c_strtoll(text, &end);
    value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    return end == text ? (value = 0, nullptr) : end;
}

char* reference_ui(char* text, unsigned int& value) {
    char* start = text;
    while (*start != '\0' && std::strchr(" \t\n\v\f\r", *start) != nullptr)
        ++start;
    char* end = nullptr;
    if (*start == '-') {
        const long long number = c_strtoll(start, &end);
        value = number < -static_cast<long long>(UINT_MAX)
                    ? UINT_MAX
                    : static_cast<unsigned int>(static_cast<unsigned long long>(number));
    } else {
        const unsigned long long number = c_strtoull(start, &end);
        value = number > UINT_MAX ? UINT_MAX : static_cast<unsigned int>(number);
    }
    return end == start ? (value = 0, nullptr) : end;
}

char* reference_d(char* text, double& value) {
    char* end = nullptr;
    value = c_strtod(text, &end);
    return end == text ? nullptr : end;
}

template <typename Value, typename Scanner, typename Reference>
void check_same(char* text, Scanner scan, Reference reference) {
    Value fast{};
    Value expected{};
    char* fast_end = scan(text, fast);
    char* expected_end = reference(text, expected);
    FUZZ_CHECK(fast_end == expected_end);
    FUZZ_CHECK(std::memcmp(&fast, &expected, sizeof(Value)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    char* start = text.data();
    check_same<int>(start, string_get_i, reference_i);
    check_same<unsigned int>(start, string_get_ui, reference_ui);
    check_same<double>(start, string_get_d, reference_d);
    check_same<float>(start, string_get_f, [](char* t, float& v) {
        double wide = 0.0;
        char* end = reference_d(t, wide);
        v = end == nullptr ? 0.0f : static_cast<float>(wide);
        return end;
    });
    return 0;
}
