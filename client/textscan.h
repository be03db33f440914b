// Text scanning shared by the frame parser and the command channel.
//
// Every function takes a position in a modifiable NUL-terminated text and returns
// where reading ended, or null on failure. Numbers are read as the C library reads
// them in the "C" locale, whatever locale the process runs in: the common decimal
// forms on a fast path, every other form by the C library itself, with the same
// result and the same end position.

#ifndef OMBRIX_TEXTSCAN_H
#define OMBRIX_TEXTSCAN_H

#include <string>

// Signed 32-bit integer with the base taken from its prefix (0x hex, 0 octal);
// values beyond the range saturate at its limits.
char* string_get_i(char* text, int& value);

// Unsigned 32-bit integer; a minus sign yields the two's complement, values
// beyond 32 bits saturate.
char* string_get_ui(char* text, unsigned int& value);

// Floating point, converted as a double and then narrowed.
char* string_get_f(char* text, float& value);
char* string_get_d(char* text, double& value);

// Reads the next bracketed block: "i" values go to ints, "f" values to floats,
// each from entry 0. No conversion reads past the closing bracket.
char* string_get_block(char* text, const char* format, int* ints, float* floats);

// Skips blanks, then takes the word up to the next blank or the text's end.
char* string_get_word(char* text, std::string& word);

// Takes the characters between the next pair of double quotes (no escapes).
char* string_get_quoted_text(char* text, std::string& quoted);

bool starts_with(const char* text, const char* prefix);

// The C library's own conversions in the "C" locale: the reference the fast
// path must equal, and its fallback.
long long c_strtoll(const char* text, char** end);
unsigned long long c_strtoull(const char* text, char** end);
double c_strtod(const char* text, char** end);

#endif // OMBRIX_TEXTSCAN_H
