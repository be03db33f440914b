// The strict number reading behind options and @delay lines.

#include "decimaltext.h"

#include <gtest/gtest.h>

TEST(DecimalText, AcceptsPlainDecimals) {
    const std::pair<const char*, double> good[] = {{"60", 60.0}, {"0", 0.0},  {"16.667", 16.667},
                                                   {".5", 0.5},  {"2.", 2.0}, {"007", 7.0}};
    for (const auto& [text, expected] : good) {
        double value = -1;
        EXPECT_TRUE(parseDecimal(text, value)) << text;
        EXPECT_DOUBLE_EQ(value, expected) << text;
    }
}

TEST(DecimalText, RefusesEverythingElse) {
    for (const char* text :
         {"", ".", "-1", "+1", "1e3", "inf", "nan", "0x10", " 5", "5 ", "1.2.3", "1,5", "5ms"}) {
        double value = 0;
        EXPECT_FALSE(parseDecimal(text, value)) << '"' << text << '"';
    }
}

TEST(DecimalText, UnsignedIntegersFitOrAreRefused) {
    std::uint64_t value = 0;
    EXPECT_TRUE(parseUnsigned("18446744073709551615", value));
    EXPECT_EQ(value, UINT64_MAX);
    EXPECT_FALSE(parseUnsigned("18446744073709551616", value));
    for (const char* text : {"", "-1", "+1", "1.0", " 1", "0x1"}) {
        EXPECT_FALSE(parseUnsigned(text, value)) << '"' << text << '"';
    }
}
