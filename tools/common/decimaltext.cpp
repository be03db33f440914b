#include "decimaltext.h"

#include <charconv>
#include <fmt/format.h>

bool parseDecimal(const std::string& text, double& value) {
    // from_chars would take a sign, "inf" and "nan" as well. It is locale-independent, unlike
    // strtod, so a decimal point is always '.'.
    if (text.find_first_not_of("0123456789.") != std::string::npos) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    return result.ec == std::errc() && result.ptr == end;
}

// from_chars takes no sign, blank or prefix for an unsigned type, and refuses what does not fit.
bool parseUnsigned(const std::string& text, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, value, 10);
    return result.ec == std::errc() && result.ptr == end;
}

std::string formatDecimal(double value, int max_decimals) {
    std::string text = fmt::format("{:.{}f}", value, max_decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}
