// Parsing of every line kind, the end-of-frame counts, and what persists
// from one frame to the next.
#include "loopback.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {

const std::string identity = "[1 0 0 0 1 0 0 0 1]";

class Frames : public ::testing::Test {
protected:
    std::unique_ptr<Ombrix> client = make_client();
    bool parse(const std::string& frame) { return send_and_receive(*client, frame); }
};

} // namespace

TEST_F(Frames, FrameCounterAndTimestamp) {
    ASSERT_TRUE(parse("fr 21\nts 1.5\n"));
    EXPECT_EQ(client->get_framecounter(), 21u);
    EXPECT_EQ(client->get_timestamp(), 1.5);

    ASSERT_TRUE(parse("fr 0x10\n"));
    EXPECT_EQ(client->get_framecounter(), 16u);
    EXPECT_EQ(client->get_timestamp(), -1.0); // no "ts " line in this frame

    ASSERT_TRUE(parse("ts 12345.678901\n"));
    EXPECT_EQ(client->get_framecounter(), 0u);
    EXPECT_DOUBLE_EQ(client->get_timestamp(), 12345.678901);
}

TEST_F(Frames, NumberSyntax) {
    ASSERT_TRUE(parse("fr 010\n")); // leading 0: octal
    EXPECT_EQ(client->get_framecounter(), 8u);
    ASSERT_TRUE(parse("fr 99999999999\n")); // saturates
    EXPECT_EQ(client->get_framecounter(), 4294967295u);
    ASSERT_TRUE(parse("fr -1\n")); // two's complement
    EXPECT_EQ(client->get_framecounter(), 4294967295u);
    ASSERT_TRUE(parse("fr -5\n"));
    EXPECT_EQ(client->get_framecounter(), 4294967291u);
    ASSERT_TRUE(parse("fr    +12\n"));
    EXPECT_EQ(client->get_framecounter(), 12u);
    ASSERT_TRUE(parse("ts -2.5e-3\n"));
    EXPECT_DOUBLE_EQ(client->get_timestamp(), -2.5e-3);
}

TEST_F(Frames, BadFrameCounterOrTimestampIsAParseError) {
    EXPECT_FALSE(parse("fr 5x\nfr abc\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_EQ(client->get_framecounter(), 0u);

    EXPECT_FALSE(parse("ts 1.0\nts ?\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_EQ(client->get_timestamp(), -1.0);
}

TEST_F(Frames, LineEndsUnknownLinesAndEmptyLines) {
    ASSERT_TRUE(parse("\r\n\r\nxyz 1 2 3\r\nfr 3\r\n\n\nts 4.5\rfoo\r6df 0\n"));
    EXPECT_EQ(client->get_framecounter(), 3u);
    EXPECT_EQ(client->get_timestamp(), 4.5);

    // Identifiers need their blank and must stand at the very start of a line.
    ASSERT_TRUE(parse(" fr 9\nfr9\nfrx 1\n"));
    EXPECT_EQ(client->get_framecounter(), 0u);

    // A last line without line end is parsed.
    ASSERT_TRUE(parse("fr 31"));
    EXPECT_EQ(client->get_framecounter(), 31u);
}

TEST_F(Frames, BodiesAreStoredByIdWithGapsUntracked) {
    ASSERT_TRUE(parse("6d 1 [2 0.9][1 2 3]" + identity + "\n"));
    ASSERT_EQ(client->get_num_body(), 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(client->get_body(i).id, i);
        EXPECT_EQ(client->get_body(i).quality, -1.0f);
    }
    const ombrix_body_type body = client->get_body(2);
    EXPECT_EQ(body.id, 2);
    EXPECT_FLOAT_EQ(body.quality, 0.9f);
    EXPECT_EQ(body.position[0], 1.0f);
    EXPECT_EQ(body.position[2], 3.0f);
    EXPECT_EQ(body.rotation[0], 1.0f);
    EXPECT_EQ(body.rotation[4], 1.0f);
    EXPECT_EQ(body.rotation[1], 0.0f);

    // Each "6d " line first makes every known body untracked.
    ASSERT_TRUE(parse("6d 1 [0 0.5][0 0 0]" + identity + "\n"));
    EXPECT_EQ(client->get_num_body(), 3);
    EXPECT_FLOAT_EQ(client->get_body(0).quality, 0.5f);
    EXPECT_EQ(client->get_body(2).quality, -1.0f);
    EXPECT_EQ(client->get_body(2).position[0], 0.0f);
}

TEST_F(Frames, EveryBodyOrHandLineStartsFromUntrackedRecords) {
    ASSERT_TRUE(
        parse("6d 1 [2 0.9][1 2 3]" + identity + "\n6d 1 [0 0.5][4 5 6]" + identity + "\n"));
    EXPECT_EQ(client->get_num_body(), 3);
    EXPECT_FLOAT_EQ(client->get_body(0).quality, 0.5f);
    EXPECT_EQ(client->get_body(2).quality, -1.0f);
    EXPECT_EQ(client->get_body(2).position[0], 0.0f);

    // Records hidden by a calibrated count come back untracked, not with old data.
    ASSERT_TRUE(parse("glcal 1\ngl 1 [1 0.5 0 0][7 7 7]" + identity + "\n"));
    EXPECT_EQ(client->get_num_hand(), 1);
    ASSERT_TRUE(parse("gl 1 [3 0.25 1 0][1 1 1]" + identity + "\n"));
    EXPECT_EQ(client->get_num_hand(), 4);
    EXPECT_EQ(client->get_hand(1).quality, -1.0f);
    EXPECT_EQ(client->get_hand(1).position[0], 0.0f);
    EXPECT_FLOAT_EQ(client->get_hand(3).quality, 0.25f);
}

TEST_F(Frames, CalibratedBodyCountHidesOrAddsBodies) {
    ASSERT_TRUE(parse("6dcal 1\n6d 1 [2 0.9][1 2 3]" + identity + "\n"));
    EXPECT_EQ(client->get_num_body(), 1);

    ASSERT_TRUE(parse("6dcal 5\n"));
    EXPECT_EQ(client->get_num_body(), 5);
    EXPECT_EQ(client->get_body(4).id, 4);
    EXPECT_EQ(client->get_body(4).quality, -1.0f);

    // A negative calibrated count counts as absent.
    ASSERT_TRUE(parse("6dcal -1\n"));
    EXPECT_EQ(client->get_num_body(), 5);
}

TEST_F(Frames, CalibratedBodyCountExcludesOlderSkywandAndToolLines) {
    const std::string skywand_old = "6df 1 [0 1 0][0 0 0]" + identity + "\n";
    const std::string skywand_new = "6df2 1 1 [0 1 0 0][0 0 0]" + identity + "[]\n";
    const std::string tool = "6dmt 1 [0 1 0][0 0 0]" + identity + "\n";

    ASSERT_TRUE(parse("6dcal 4\n" + skywand_old + tool));
    EXPECT_EQ(client->get_num_body(), 2);
    ASSERT_TRUE(parse("6dcal 4\n" + skywand_new + tool));
    EXPECT_EQ(client->get_num_body(), 3);
}

TEST_F(Frames, CalibratedCountBelowTheDeviceLinesIsAParseError) {
    ASSERT_TRUE(parse("6d 1 [0 1][0 0 0]" + identity + "\n"));
    EXPECT_FALSE(parse("6dcal 0\n6dmt 1 [0 1 0][0 0 0]" + identity + "\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_GE(client->get_num_body(), 0);
}

TEST_F(Frames, OlderSkywandLayoutTakesButtonsAndJoystickFromBits) {
    ASSERT_TRUE(
        parse("6df 2 [0 0.8 161][1 2 3]" + identity + " [1 0.7 80][0 0 0]" + identity + "\n"));
    ASSERT_EQ(client->get_num_skywand(), 2);
    const ombrix_skywand_type first = client->get_skywand(0);
    EXPECT_EQ(first.num_button, 8);
    EXPECT_EQ(first.num_joystick, 2);
    const int expected_buttons[8] = {1, 0, 0, 0, 0, 1, 0, 1};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(first.button[k], expected_buttons[k]) << "button " << k;
    EXPECT_EQ(first.joystick[0], -1.0f); // bit 5 wins over bit 7
    EXPECT_EQ(first.joystick[1], 0.0f);
    EXPECT_EQ(first.position[1], 2.0f);

    const ombrix_skywand_type second = client->get_skywand(1); // bits 4 and 6
    EXPECT_EQ(second.joystick[0], 0.0f);
    EXPECT_EQ(second.joystick[1], -1.0f); // bit 4 wins over bit 6

    ASSERT_TRUE(parse("6df 1 [0 1 192][0 0 0]" + identity + "\n")); // bits 6 and 7
    EXPECT_EQ(client->get_skywand(0).joystick[0], 1.0f);
    EXPECT_EQ(client->get_skywand(0).joystick[1], 1.0f);
    EXPECT_EQ(client->get_num_skywand(), 1);
}

TEST_F(Frames, NewerSkywandLayoutReadsButtonWordsAndJoystickValues) {
    ASSERT_TRUE(parse("6df2 2 2 [0 0.9 6 2][1 2 3]" + identity + "[5 0.5 -0.25] [1 1 0 0][0 0 0]" +
                      identity + "[]\n"));
    ASSERT_EQ(client->get_num_skywand(), 2);
    const ombrix_skywand_type s = client->get_skywand(0);
    EXPECT_EQ(s.num_button, 6);
    EXPECT_EQ(s.num_joystick, 2);
    const int expected[6] = {1, 0, 1, 0, 0, 0};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(s.button[k], expected[k]) << "button " << k;
    EXPECT_EQ(s.joystick[0], 0.5f);
    EXPECT_EQ(s.joystick[1], -0.25f);
    EXPECT_EQ(client->get_skywand(1).num_button, 0);

    // Capacity: 16 buttons and 8 joystick values are accepted.
    ASSERT_TRUE(parse("6df2 1 1 [0 1 16 8][0 0 0]" + identity + "[0x8001 1 2 3 4 5 6 7 8]\n"));
    const ombrix_skywand_type full = client->get_skywand(0);
    EXPECT_EQ(full.button[0], 1);
    EXPECT_EQ(full.button[15], 1);
    EXPECT_EQ(full.button[7], 0);
    EXPECT_EQ(full.joystick[7], 8.0f);
}

TEST_F(Frames, NewerSkywandLineKeepsRecordsBeyondItsCount) {
    ASSERT_TRUE(parse("6df2 2 2 [0 1 1 0][0 0 0]" + identity + "[1] [1 0.6 1 0][7 0 0]" + identity +
                      "[1]\n"));
    // Total 2, but only record 0 on the line: record 1 keeps the previous frame's data.
    ASSERT_TRUE(parse("6df2 2 1 [0 1 1 0][0 0 0]" + identity + "[0]\n"));
    EXPECT_FLOAT_EQ(client->get_skywand(1).quality, 0.6f);
    EXPECT_EQ(client->get_skywand(1).position[0], 7.0f);
    EXPECT_EQ(client->get_skywand(0).button[0], 0);

    // Records added by a larger total start all zero.
    ASSERT_TRUE(parse("6df2 3 0\n"));
    EXPECT_EQ(client->get_num_skywand(), 3);
    EXPECT_EQ(client->get_skywand(2).id, 0);
    EXPECT_EQ(client->get_skywand(2).quality, 0.0f);
}

TEST_F(Frames, SkywandAndToolRecordsMustComeInIdOrder) {
    EXPECT_FALSE(parse("6df 2 [1 1 0][0 0 0]" + identity + " [0 1 0][0 0 0]" + identity + "\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_FALSE(parse("6df2 1 1 [3 1 0 0][0 0 0]" + identity + "[]\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_FALSE(parse("6dmt 1 [1 1 1][0 0 0]" + identity + "\n"));
    EXPECT_TRUE(client->data_parseerror());
}

TEST_F(Frames, CapacitiesAreEnforced) {
    EXPECT_FALSE(parse("6df2 1 1 [0 1 17 0][0 0 0]" + identity + "[0]\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_FALSE(parse("6df2 1 1 [0 1 0 9][0 0 0]" + identity + "[0 0 0 0 0 0 0 0 0]\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_FALSE(parse("gl 1 [0 1 0 6][0 0 0]" + identity + "\n"));
    EXPECT_TRUE(client->data_parseerror());
}

TEST_F(Frames, NewerSkywandNeedsItsFourthBlockEvenWhenEmpty) {
    EXPECT_FALSE(parse("6df2 1 1 [0 1 0 0][0 0 0]" + identity + "\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_TRUE(parse("6df2 1 1 [0 1 0 0][0 0 0]" + identity + "[ ]\n"));
}

TEST_F(Frames, MeasurementTools) {
    ASSERT_TRUE(
        parse("6dmt 2 [0 0.5 3][1 2 3]" + identity + " [1 0.25 2][4 5 6]" + identity + "\n"));
    ASSERT_EQ(client->get_num_meatool(), 2);
    const ombrix_meatool_type first = client->get_meatool(0);
    EXPECT_EQ(first.num_button, 1);
    EXPECT_EQ(first.button[0], 1); // bit 0 of 3
    EXPECT_EQ(first.position[2], 3.0f);
    EXPECT_EQ(client->get_meatool(1).button[0], 0); // bit 0 of 2
    EXPECT_EQ(client->get_meatool(1).id, 1);
}

TEST_F(Frames, HandsWithFingers) {
    std::string hand = "gl 1 [1 0.75 1 2][1 2 3]" + identity;
    hand += "[10 11 12]" + identity + "[1 2 3 4 5 6]";
    hand += "[20 21 22][0 1 0 1 0 0 0 0 1][7 8 9 10 11 12]\n";
    ASSERT_TRUE(parse("glcal 3\n" + hand));
    ASSERT_EQ(client->get_num_hand(), 3);
    EXPECT_EQ(client->get_hand(0).quality, -1.0f);
    EXPECT_EQ(client->get_hand(2).quality, -1.0f);
    EXPECT_EQ(client->get_hand(2).id, 2);

    const ombrix_hand_type h = client->get_hand(1);
    EXPECT_EQ(h.id, 1);
    EXPECT_EQ(h.handedness, 1);
    EXPECT_FLOAT_EQ(h.quality, 0.75f);
    EXPECT_EQ(h.num_finger, 2);
    EXPECT_EQ(h.position[2], 3.0f);
    EXPECT_EQ(h.finger[0].position[0], 10.0f);
    EXPECT_EQ(h.finger[0].rotation[8], 1.0f);
    // The six values arrive as radius, length, angle, length, angle, length.
    EXPECT_EQ(h.finger[0].tip_radius, 1.0f);
    EXPECT_EQ(h.finger[0].phalanx_length[0], 2.0f);
    EXPECT_EQ(h.finger[0].phalanx_angle[0], 3.0f);
    EXPECT_EQ(h.finger[0].phalanx_length[1], 4.0f);
    EXPECT_EQ(h.finger[0].phalanx_angle[1], 5.0f);
    EXPECT_EQ(h.finger[0].phalanx_length[2], 6.0f);
    EXPECT_EQ(h.finger[1].rotation[1], 1.0f);
    EXPECT_EQ(h.finger[1].phalanx_length[2], 12.0f);
    EXPECT_EQ(h.finger[2].tip_radius, 0.0f);

    // The calibrated hand count can hide hands again.
    ASSERT_TRUE(parse("glcal 1\n"));
    EXPECT_EQ(client->get_num_hand(), 1);
}

TEST_F(Frames, MarkersKeepFrameOrderAndTheirIds) {
    ASSERT_TRUE(parse("3d 2 [5 0.5][1 2 3] [9 1][4 5 6]\n"));
    ASSERT_EQ(client->get_num_marker(), 2);
    EXPECT_EQ(client->get_marker(0).id, 5);
    EXPECT_EQ(client->get_marker(1).id, 9);
    EXPECT_EQ(client->get_marker(1).position[2], 6.0f);

    ASSERT_TRUE(parse("3d 0\n"));
    EXPECT_EQ(client->get_num_marker(), 0);

    EXPECT_FALSE(parse("3d x\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_EQ(client->get_num_marker(), 0);
}

TEST_F(Frames, KindsAFrameDoesNotMentionKeepTheirRecords) {
    ASSERT_TRUE(parse("6d 1 [0 0.9][1 2 3]" + identity + "\n6df 3 [0 1 0][0 0 0]" + identity +
                      " [1 1 0][0 0 0]" + identity + " [2 1 0][0 0 0]" + identity + "\n"));
    ASSERT_TRUE(parse("fr 2\n"));
    EXPECT_EQ(client->get_num_body(), 1);
    EXPECT_FLOAT_EQ(client->get_body(0).quality, 0.9f);
    EXPECT_EQ(client->get_num_skywand(), 3);

    ASSERT_TRUE(parse("6df 2 [0 1 0][0 0 0]" + identity + " [1 1 0][0 0 0]" + identity + "\n"));
    EXPECT_EQ(client->get_num_skywand(), 2);
}

TEST_F(Frames, BlocksMayCarryMoreValuesButNotFewer) {
    ASSERT_TRUE(parse("6d 1 [0 0.9 77 88][1 2 3 4 5][1 0 0 0 1 0 0 0 1 9]\n"));
    EXPECT_EQ(client->get_body(0).position[2], 3.0f);
    EXPECT_FALSE(parse("6d 1 [0 0.9][1 2][1 0 0 0 1 0 0 0 1]\n"));
    EXPECT_TRUE(client->data_parseerror());
}

TEST_F(Frames, ShortLinesBorrowBlocksFromTheLinesBelow) {
    // The record's rotation comes from the next line; that line is then consumed.
    ASSERT_TRUE(parse("6d 1 [0 0.9][1 2 3]\n[1 0 0 0 1 0 0 0 1]\nfr 4\n"));
    EXPECT_EQ(client->get_body(0).rotation[4], 1.0f);
    EXPECT_EQ(client->get_framecounter(), 4u);
}

TEST_F(Frames, FailureKeepsWhatEarlierLinesWroteAndSkipsEndOfFrameCounts) {
    EXPECT_FALSE(parse("fr 8\n6dcal 10\n6d 1 [0 0.9][1 2 3]" + identity + "\n3d 1 [1 1][x]\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_EQ(client->get_framecounter(), 8u);
    EXPECT_EQ(client->get_num_body(), 1); // the calibrated count was not applied
}

TEST_F(Frames, NumbersIgnoreTheProcessLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no comma-decimal locale; scripts/install-deps creates de_DE.UTF-8";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    const bool parsed =
        parse("ts 0.5\n6df2 1 1 [0 0.75 0 2][0.5 1.5 2.5]" + identity + "[0.5 -0.25]\n");
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(client->get_timestamp(), 0.5);
    EXPECT_EQ(client->get_skywand(0).quality, 0.75f);
    EXPECT_EQ(client->get_skywand(0).position[1], 1.5f);
    EXPECT_EQ(client->get_skywand(0).joystick[1], -0.25f);
}
