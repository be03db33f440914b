#include "textscan.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {

locale_t c_locale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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
