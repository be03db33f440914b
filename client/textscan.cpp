#include "textscan.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fast_float/fast_float.h>
#include <locale.h>

namespace {

locale_t c_locale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The fast paths take plain decimal numbers: blanks, an optional minus sign, then
// digits. Everything else (a plus sign, octal and hexadecimal prefixes, inf and nan,
// numbers too long to be sure of their range) goes to the C library, which reads it
// as it always has; a fast path must never give a different value or end position.

// A decimal integer of at most 18 digits (well within range) after blanks and an
// optional minus sign; null when the text is not one, so that the caller falls back.
const char* fast_integer(const char* text, bool& negative, unsigned long long& magnitude) {
    while (is_c_space(*text))
        ++text;
    negative = *text == '-';
    const char* digit = text + (negative ? 1 : 0);
    if (*digit == '0') {
        // A leading zero starts an octal or hexadecimal number unless it stands alone.
        if (is_digit(digit[1]) || digit[1] == 'x' || digit[1] == 'X')
            return nullptr;
        magnitude = 0;
        return digit + 1;
    }
    if (!is_digit(*digit))
        return nullptr;
    constexpr int max_digits = 18;
    unsigned long long number = 0;
    int count = 0;
    for (; is_digit(*digit); ++digit) {
        if (++count > max_digits)
            return nullptr;
        number = number * 10 + static_cast<unsigned long long>(*digit - '0');
    }
    magnitude = number;
    return digit;
}

// A decimal floating-point number after blanks and an optional minus sign, read by
// fast_float, which rounds exactly as the C library does; null when the text is not
// one or its value lies beyond the range of normal doubles, so that the caller falls
// back and meets the C library's own handling of range.
const char* fast_double(const char* text, double& value) {
    while (is_c_space(*text))
        ++text;
    const char* digits = text + (*text == '-' ? 1 : 0);
    if (!is_digit(*digits) && *digits != '.')
        return nullptr;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        return nullptr;
    // Only these characters can belong to a decimal number; fast_float reads no further.
    const char* last = digits;
    while (is_digit(*last) || *last == '.' || *last == 'e' || *last == 'E' || *last == '+' ||
           *last == '-')
        ++last;
    const fast_float::from_chars_result result = fast_float::from_chars(text, last, value);
    if (result.ec != std::errc() || std::isinf(value))
        return nullptr;
    if (std::fabs(value) < DBL_MIN) {
        // Zero is fine when it was written as zero; an underflow goes to the C library.
        for (const char* c = digits; c != result.ptr && *c != 'e' && *c != 'E'; ++c)
            if (*c >= '1' && *c <= '9')
                return nullptr;
    }
    return result.ptr;
}

} // namespace

long long c_strtoll(const char* text, char** end) {
    return ::strtoll_l(text, end, 0, c_locale());
}

unsigned long long c_strtoull(const char* text, char** end) {
    return ::strtoull_l(text, end, 0, c_locale());
}

double c_strtod(const char* text, char** end) {
    return ::strtod_l(text, end, c_locale());
}

namespace {

int saturated_int(long long number) {
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

} // namespace

char* string_get_i(char* text, int& value) {
    bool negative = false;
    unsigned long long magnitude = 0;
    if (const char* fast_end = fast_integer(text, negative, magnitude)) {
        const long long number = static_cast<long long>(magnitude);
        value = saturated_int(negative ? -number : number);
        return const_cast<char*>(fast_end);
    }
    char* end = nullptr;
    const long long number = c_strtoll(text, &end);
    if (end == text) {
        value = 0;
        return nullptr;
    }
    value = saturated_int(number);
    return end;
}

char* string_get_ui(char* text, unsigned int& value) {
    bool negative = false;
    unsigned long long magnitude = 0;
    if (const char* fast_end = fast_integer(text, negative, magnitude)) {
        // A minus sign gives the two's complement; beyond 32 bits either way saturates.
        if (magnitude > UINT_MAX)
            value = UINT_MAX;
        else
            value = static_cast<unsigned int>(negative ? 0ull - magnitude : magnitude);
        return const_cast<char*>(fast_end);
    }
    char* start = text;
    while (is_c_space(*start))
        ++start;
    char* end = nullptr;
    if (*start == '-') {
        const long long number = c_strtoll(start, &end);
        if (end == start) {
            value = 0;
            return nullptr;
        }
        if (number < -static_cast<long long>(UINT_MAX))
            value = UINT_MAX;
        else
            value = static_cast<unsigned int>(static_cast<unsigned long long>(number));
        return end;
    }
    const unsigned long long number = c_strtoull(start, &end);
    if (end == start) {
        value = 0;
        return nullptr;
    }
    value = number > UINT_MAX ? UINT_MAX : static_cast<unsigned int>(number);
    return end;
}

char* string_get_f(char* text, float& value) {
    double fast = 0.0;
    if (const char* fast_end = fast_double(text, fast)) {
        value = static_cast<float>(fast);
        return const_cast<char*>(fast_end);
    }
    char* end = nullptr;
    const double number = c_strtod(text, &end);
    if (end == text) {
        value = 0.0f;
        return nullptr;
    }
    value = static_cast<float>(number);
    return end;
}

char* string_get_d(char* text, double& value) {
    if (const char* fast_end = fast_double(text, value))
        return const_cast<char*>(fast_end);
    char* end = nullptr;
    value = c_strtod(text, &end);
    return end == text ? nullptr : end;
}

// The closing bracket is replaced by the text's end while the values are
// converted, so that no conversion runs past the block, and is put back before
// returning.
char* string_get_block(char* text, const char* format, int* ints, float* floats) {
    char* open = std::strchr(text, '[');
    if (open == nullptr)
        return nullptr;
    char* close = std::strchr(open + 1, ']');
    if (close == nullptr)
        return nullptr;

    *close = '\0';
    char* pos = open + 1;
    int next_int = 0;
    int next_float = 0;
    bool ok = true;
    for (const char* letter = format; *letter != '\0' && ok; ++letter) {
        char* end = nullptr;
        if (*letter == 'i')
            end = string_get_i(pos, ints[next_int++]);
        else if (*letter == 'f')
            end = string_get_f(pos, floats[next_float++]);
        if (end == nullptr)
            ok = false;
        else
            pos = end;
    }
    *close = ']';
    return ok ? close + 1 : nullptr;
}

char* string_get_word(char* text, std::string& word) {
    while (*text == ' ')
        ++text;
    if (*text == '\0') {
        word.clear();
        return nullptr;
    }
    char* end = text;
    while (*end != ' ' && *end != '\0')
        ++end;
    word.assign(text, end);
    return end;
}

char* string_get_quoted_text(char* text, std::string& quoted) {
    char* open = std::strchr(text, '"');
    if (open == nullptr)
        return nullptr;
    char* close = std::strchr(open + 1, '"');
    if (close == nullptr)
        return nullptr;
    quoted.assign(open + 1, close);
    return close + 1;
}

bool starts_with(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}
