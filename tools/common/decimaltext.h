// Strict reading of the non-negative decimal numbers that options and replay files carry, and
// their writing.

#ifndef DECIMALTEXT_H
#define DECIMALTEXT_H

#include <cstdint>
#include <string>

// Reads digits with an optional fraction ("60", "16.667", ".5", "2."): no sign, no exponent,
// no "inf" or "nan", nothing before or after. False for anything else.
bool parseDecimal(const std::string& text, double& value);

// Reads a plain decimal unsigned integer ("0" to "18446744073709551615"). False for anything
// else, including a sign, blanks and values that do not fit.
bool parseUnsigned(const std::string& text, std::uint64_t& value);

// "%.Nf" with trailing zeros dropped, as a person writes a number: "60", "59.94", "16.667".
// The point is always a full stop.
std::string formatDecimal(double value, int max_decimals);

#endif // DECIMALTEXT_H
