// Finding the device in hand among several.

#include "skywandfinder.h"

#include <gtest/gtest.h>

namespace {

ombrix_skywand_type wand(int buttons, unsigned bits) {
    ombrix_skywand_type r{};
    r.num_button = buttons;
    for (int k = 0; k < 16; ++k)
        r.button[k] = (bits >> k) & 1;
    return r;
}

} // namespace

TEST(SkywandFinder, FirstDeviceWhoseButtonGoesDownOnceReleased) {
    SkywandFinder finder;
    // S1 lies on its button 1 from the start; S3 is in the older layout.
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6, 0), wand(8, 0)}));
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6, 0), wand(8, 0)}));
    // S3's entries 4 to 7 are its joystick, not buttons.
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6, 0), wand(8, 0xF0)}));
    // S1 released and pressed again: now it counts, as does S2's joystick press.
    EXPECT_FALSE(finder.addFrame({wand(6, 0), wand(6, 0), wand(8, 0)}));
    EXPECT_EQ(finder.addFrame({wand(6, 0), wand(6, 0b100000), wand(8, 0)}), 1);
    EXPECT_EQ(finder.addFrame({wand(6, 0b1), wand(6, 0), wand(8, 0)}), 1);
}
