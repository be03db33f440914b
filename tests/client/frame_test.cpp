// The frame parser on text, below any socket: every line kind, what carries over
// between frames, hostile frames, and the number scanners.
#include "frameparser.h"
#include "textscan.h"

#include <climits>
#include <chrono>
#include <clocale>
#include <cstring>
#include <gtest/gtest.h>

namespace {

const std::string pose = "[1 2 3][1 0 0 0 1 0 0 0 1]";

class Frames : public ::testing::Test {
protected:
    FrameRecords r;
    bool parse(std::string frame) { // counter and timestamp start afresh, as in receive
        r.frame_counter = 0;
        r.timestamp = -1.0;
        return parse_frame(frame.data(), r);
    }
};

} // namespace

TEST_F(Frames, CounterTimestampLineEndsAndUnknownLines) {
    ASSERT_TRUE(parse("\r\nxyz 1 2\r\n fr 9\nfr 0x10\r\n\n\nts -2.5e-3\rfoo"));
    EXPECT_EQ(r.frame_counter, 16u); // " fr" does not start a line
    EXPECT_EQ(r.timestamp, -2.5e-3);
    ASSERT_TRUE(parse("fr -5")); // two's complement; a last line without line end counts
    EXPECT_EQ(r.frame_counter, 4294967291u);
    EXPECT_FALSE(parse("fr 5\nfr abc\n"));
    EXPECT_EQ(r.frame_counter, 0u);
}

TEST_F(Frames, BodiesByIdGapsUntrackedAndEveryLineStartsUntracked) {
    ASSERT_TRUE(parse("6d 1 [2 0.9]" + pose + "\n"));
    ASSERT_EQ(r.num_body, 3);
    EXPECT_TRUE(r.bodies[1].id == 1 && r.bodies[1].quality == -1.0f);
    EXPECT_EQ(r.bodies[2].rotation[4], 1.0f);
    ASSERT_TRUE(parse("6d 1 [2 0.9]" + pose + "\n6d 1 [0 0.5][4 5 6]" + pose.substr(7) + "\n"));
    EXPECT_TRUE(r.bodies[2].quality == -1.0f && r.bodies[2].position[0] == 0.0f);
    EXPECT_FLOAT_EQ(r.bodies[0].quality, 0.5f);
}

TEST_F(Frames, CalibratedCounts) {
    ASSERT_TRUE(parse("6dcal 5\n"));
    EXPECT_EQ(r.bodies[4].quality, -1.0f);
    ASSERT_TRUE(parse("6dcal -1\n")); // negative: absent
    EXPECT_EQ(r.num_body, 5);
    // Older Skywand and tool lines are part of the calibrated body count; the newer are not.
    const std::string tool = "6dmt 1 [0 1 0]" + pose + "\n";
    ASSERT_TRUE(parse("6dcal 4\n6df 1 [0 1 0]" + pose + "\n" + tool));
    EXPECT_EQ(r.num_body, 2);
    ASSERT_TRUE(parse("6dcal 4\n6df2 1 1 [0 1 0 0]" + pose + "[]\n" + tool));
    EXPECT_EQ(r.num_body, 3);
    EXPECT_FALSE(parse("6dcal 0\n" + tool)); // fewer than the device lines
    // A hand hidden by the calibrated count comes back untracked, not with old data.
    ASSERT_TRUE(parse("glcal 1\ngl 1 [1 0.5 0 0]" + pose + "\n"));
    ASSERT_TRUE(parse("gl 1 [3 0.25 1 0]" + pose + "\n"));
    EXPECT_EQ(r.num_hand, 4);
    EXPECT_TRUE(r.hands[1].quality == -1.0f && r.hands[1].position[0] == 0.0f);
}

TEST_F(Frames, OlderSkywandButtonBitsAndJoystickDirections) {
    ASSERT_TRUE(parse("6df 2 [0 0.8 161]" + pose + " [1 0.7 80]" + pose + "\n"));
    const int expected[8] = {1, 0, 0, 0, 0, 1, 0, 1};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(r.skywands[0].button[k], expected[k]) << "button " << k;
    EXPECT_EQ(r.skywands[0].joystick[0], -1.0f); // bit 5 wins over bit 7
    EXPECT_EQ(r.skywands[1].joystick[1], -1.0f); // bit 4 wins over bit 6
    ASSERT_TRUE(parse("6df 1 [0 1 192]" + pose + "\n"));
    EXPECT_TRUE(r.skywands[0].joystick[0] == 1.0f && r.skywands[0].joystick[1] == 1.0f);
}

TEST_F(Frames, NewerSkywandWordsValuesCapacityAndRecordsBeyondTheLine) {
    ASSERT_TRUE(parse("6df2 2 2 [0 0.9 6 2]" + pose + "[5 0.5 -0.25] [1 0.6 0 0][7 0 0]" +
                      pose.substr(7) + "[ ]\n"));
    const int expected[6] = {1, 0, 1, 0, 0, 0};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(r.skywands[0].button[k], expected[k]) << "button " << k;
    EXPECT_EQ(r.skywands[0].joystick[1], -0.25f);
    ASSERT_TRUE(parse("6df2 2 1 [0 1 16 8]" + pose + "[0x8001 1 2 3 4 5 6 7 8]\n"));
    EXPECT_TRUE(r.skywands[0].button[15] && !r.skywands[0].button[7]);
    EXPECT_EQ(r.skywands[0].joystick[7], 8.0f);
    EXPECT_FLOAT_EQ(r.skywands[1].quality, 0.6f); // not on the line: kept
    EXPECT_EQ(r.num_skywand_carried, 1);
    ASSERT_TRUE(parse("6df2 3 0\n"));
    EXPECT_EQ(r.skywands[2].quality, 0.0f); // added by a larger total: all zero
    EXPECT_EQ(r.num_skywand_carried, 0);
}

TEST_F(Frames, ToolsHandsAndMarkers) {
    ASSERT_TRUE(parse("6dmt 2 [0 0.5 3]" + pose + " [1 0.25 2]" + pose + "\n"));
    EXPECT_TRUE(r.meatools[0].button[0] == 1 && r.meatools[1].button[0] == 0);
    ASSERT_TRUE(parse("gl 1 [1 0.75 1 2]" + pose + "[10 11 12]" + pose.substr(7) +
                      "[1 2 3 4 5 6][20 21 22]" + pose.substr(7) + "[7 8 9 10 11 12]\n"));
    const ombrix_hand_type& h = r.hands[1];
    EXPECT_EQ(h.num_finger, 2);
    // Radius, length, angle, length, angle, length.
    const ombrix_finger_type& f = h.finger[1];
    const float read[6] = {f.tip_radius,        f.phalanx_length[0], f.phalanx_angle[0],
                           f.phalanx_length[1], f.phalanx_angle[1], f.phalanx_length[2]};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(read[k], k + 7.0f);
    ASSERT_TRUE(parse("3d 2 [5 0.5][1 2 3] [9 1][4 5 6]\n"));
    EXPECT_TRUE(r.markers[1].id == 9 && r.markers[1].position[2] == 6.0f);
}

TEST_F(Frames, ShortLinesBorrowBlocksAndFailuresKeepWhatWasRead) {
    ASSERT_TRUE(parse("6d 1 [0 0.9][1 2 3]\n[1 0 0 0 1 0 0 0 1]\nfr 4\n"));
    EXPECT_EQ(r.frame_counter, 4u);
    EXPECT_FALSE(parse("fr 8\n6dcal 10\n6d 1 [0 0.9]" + pose + "\n3d 1 [1 1][x]\n"));
    EXPECT_EQ(r.frame_counter, 8u);
    EXPECT_EQ(r.num_body, 1);
}

TEST_F(Frames, RejectedFramesLeaveSaneCounts) {
    const std::string over = std::to_string(Ombrix::max_records + 1);
    const std::string rejected[] = {
        "6d 1 [-1 1]" + pose, "gl 1 [-3 1 0 0]" + pose, "6df -1", "6df2 -2 0", "6df2 2 -1",
        "6dmt -4", "6d -1", "gl -1", "3d -2", "3d x", "6df -", "3d 1 [1 1][0 zero 0]",
        "6df2 1 2 [0 1 0 0]" + pose + "[] [1 1 0 0]" + pose + "[]",
        "6d 1 [2000000000 1]" + pose, "6d 1 [" + over + " 1]" + pose,
        "gl 1 [99999999 1 0 0]" + pose, "6df2 2147483647 0", "6df 99999999", "6dmt " + over,
        "3d 1000000000", "6dcal 2147483647", "glcal " + over,
        "6d 1 [0 1][0 0 0][1 0 0 0 1 0 0 0 1", "3d 1 0 1 ] 0 0 0", "6df 1 [0 1 0][0 0",
        "6df2 1 1 [0 1 6 2][0 0 0]", "6df 2 [1 1 0]" + pose + " [0 1 0]" + pose,
        "6df2 1 1 [3 1 0 0]" + pose + "[]", "6dmt 1 [1 1 1]" + pose,
        "6df2 1 1 [0 1 17 0]" + pose + "[0]", "6df2 1 1 [0 1 0 9]" + pose + "[0 0 0 0 0 0 0 0 0]",
        "gl 1 [0 1 0 6]" + pose, "6df2 1 1 [0 1 0 0]" + pose, "6d 1 [0 0.9][1 2]" + pose.substr(7),
        std::string("6d 1 [0 1][0 0 0][1 0 0 0\0 1 0 0 0 1]", 37)};
    for (const std::string& frame : rejected) {
        SCOPED_TRACE(frame);
        EXPECT_FALSE(parse(frame + "\n"));
        for (int count : {r.num_body, r.num_skywand, r.num_meatool, r.num_hand, r.num_marker})
            EXPECT_TRUE(count >= 0 && count <= Ombrix::max_records);
    }
}

// Regression: after a record with the highest id, every further "gl " or "6d " line made all
// 4096 records untracked again; a datagram of such lines took about a second.
TEST_F(Frames, LimitsAreAcceptedAndShortLinesAfterAHighIdParseQuickly) {
    const std::string last = std::to_string(Ombrix::max_records - 1);
    std::string frame = "6d 1 [" + last + " 1]" + pose + "\ngl 1 [" + last + " 1 0 0]" + pose +
                        "\nglcal " + std::to_string(Ombrix::max_records) + "\n";
    while (frame.size() < 19900)
        frame += "gl 0\n6d 0\n";
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(parse(frame));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_EQ(r.num_body + r.num_hand, 2 * Ombrix::max_records);
    EXPECT_EQ(r.hands[Ombrix::max_records - 1].quality, -1.0f);
}

// The awkward forms: each must come out as the C library reads it in the "C" locale, value
// and end position alike, whichever path the scanner takes, and whatever the process locale.
TEST(NumberScanners, AwkwardFormsMatchTheCLibraryUnderACommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const bool comma_locale = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    const char* forms[] = {
        "0", "-0", "  \t42]", "+7", "010", "08", "0x1F", "0x", "-0x10", "2147483648", "-2147483649",
        "4294967296", "-4294967296", "99999999999999999999", "123456789012345678", "0.5", ".5",
        "-.5", "5.", ".", "-", "1e", "1e+", "1.5e-3x", "1E5", "0x1p-3", "inf", "-Infinity", "nan",
        "NAN(12)", "1e400", "-1e400", "1e-400", "2.4e-320", "0.000", "1.00000000000000000000001",
        "3.4028235677973366e38", "\v\f\r\n9", "", "abc", "1,5", "0x1.8p1"};
    for (const char* form : forms) {
        SCOPED_TRACE(form);
        std::string text = form;
        char* start = text.data();
        char *int_end = nullptr, *double_end = nullptr;
        const long long wide = c_strtoll(start, &int_end);
        const double expected = c_strtod(start, &double_end);
        int i = 0;
        double d = 0.0;
        EXPECT_EQ(string_get_i(start, i), int_end == start ? nullptr : int_end);
        EXPECT_EQ(i, wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : wide);
        EXPECT_EQ(string_get_d(start, d), double_end == start ? nullptr : double_end);
        EXPECT_EQ(std::memcmp(&d, &expected, sizeof d), 0) << d << " vs " << expected;
    }
    double hex = 0.0; // through the C library's path: a comma locale would stop at the point
    EXPECT_NE(string_get_d(std::string("0x1.8p1").data(), hex), nullptr);
    EXPECT_EQ(hex, 3.0);
    std::setlocale(LC_ALL, saved.c_str());
    if (!comma_locale)
        GTEST_SKIP() << "no comma-decimal locale; scripts/install-deps creates de_DE.UTF-8";
}
