#include "fixeddecimal.h"

#include <cstdio>

std::string fixedDecimal(double value, int decimals) {
    char text[352]; // room for the largest double in full, "-1.8e308" with its 309 digits
    const int length = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}
