// The generated frames, sent over loopback UDP, parse with the project's own client into exactly
// the records the scene describes; and the scene shows the pattern the tester is meant to show.

#include "Ombrix.h"
#include "frameformatter.h"
#include "scenario.h"
#include "udpsender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <tuple>

namespace {

// Each value is written with a fixed number of decimals, so a parsed value lies within half a
// unit of the last decimal (plus float rounding) of the scene's.
constexpr double position_tolerance = 0.0006;
constexpr double rotation_tolerance = 0.000001;
constexpr double joystick_tolerance = 0.00006;

void expectPose(const Pose& expected, const float* position, const float* rotation,
                const std::string& what) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(position[i], expected.position[i], position_tolerance) << what << " pos " << i;
    }
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(rotation[i], expected.rotation[i], rotation_tolerance) << what << " rot " << i;
    }
}

void expectSkywands(const Ombrix& client, const FrameState& frame) {
    ASSERT_EQ(client.get_num_skywand(), static_cast<int>(frame.skywands.size()));
    for (const SkywandState& expected : frame.skywands) {
        const std::string what = "Skywand " + std::to_string(expected.id);
        const ombrix_skywand_type record = client.get_skywand(expected.id);
        EXPECT_EQ(record.id, expected.id);
        EXPECT_NEAR(record.quality, expected.quality, position_tolerance) << what;
        ASSERT_EQ(record.num_button, static_cast<int>(expected.buttons.size())) << what;
        for (int k = 0; k < record.num_button; ++k) {
            EXPECT_EQ(record.button[k], expected.buttons[k]) << what << " button " << k;
        }
        ASSERT_EQ(record.num_joystick, 2) << what;
        EXPECT_NEAR(record.joystick[0], expected.joystick[0], joystick_tolerance) << what;
        EXPECT_NEAR(record.joystick[1], expected.joystick[1], joystick_tolerance) << what;
        expectPose(expected.pose, record.position, record.rotation, what);
    }
}

void expectBodies(const Ombrix& client, const FrameState& frame) {
    ASSERT_EQ(client.get_num_body(), frame.calibrated_bodies);
    std::set<int> tracked;
    for (const BodyState& expected : frame.bodies) {
        tracked.insert(expected.id);
        const ombrix_body_type record = client.get_body(expected.id);
        EXPECT_EQ(record.id, expected.id);
        EXPECT_NEAR(record.quality, expected.quality, position_tolerance);
        expectPose(expected.pose, record.position, record.rotation,
                   "body " + std::to_string(expected.id));
    }
    for (int id = 0; id < frame.calibrated_bodies; ++id) {
        if (tracked.count(id) == 0) {
            EXPECT_EQ(client.get_body(id).id, id);
            EXPECT_EQ(client.get_body(id).quality, -1.0f) << "body " << id << " left out";
        }
    }
}

void expectTools(const Ombrix& client, const FrameState& frame) {
    ASSERT_EQ(client.get_num_meatool(), static_cast<int>(frame.tools.size()));
    for (const ToolState& expected : frame.tools) {
        const ombrix_meatool_type record = client.get_meatool(expected.id);
        EXPECT_EQ(record.id, expected.id);
        EXPECT_NEAR(record.quality, expected.quality, position_tolerance);
        EXPECT_EQ(record.num_button, 1);
        EXPECT_EQ(record.button[0], expected.button);
        expectPose(expected.pose, record.position, record.rotation, "tool");
    }
}

void expectHands(const Ombrix& client, const FrameState& frame) {
    ASSERT_EQ(client.get_num_hand(), frame.calibrated_hands);
    std::set<int> tracked;
    for (const HandState& expected : frame.hands) {
        tracked.insert(expected.id);
        const std::string what = "hand " + std::to_string(expected.id);
        const ombrix_hand_type record = client.get_hand(expected.id);
        EXPECT_EQ(record.id, expected.id);
        EXPECT_NEAR(record.quality, expected.quality, position_tolerance) << what;
        EXPECT_EQ(record.handedness, expected.side) << what;
        expectPose(expected.pose, record.position, record.rotation, what);
        ASSERT_EQ(record.num_finger, static_cast<int>(expected.fingers.size())) << what;
        for (int f = 0; f < record.num_finger; ++f) {
            const FingerState& finger = expected.fingers[f];
            const ombrix_finger_type& got = record.finger[f];
            const std::string finger_what = what + " finger " + std::to_string(f);
            expectPose(finger.pose, got.position, got.rotation, finger_what);
            EXPECT_NEAR(got.tip_radius, finger.tip_radius, position_tolerance) << finger_what;
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(got.phalanx_length[k], finger.phalanx_length[k], position_tolerance)
                    << finger_what;
            }
            for (int k = 0; k < 2; ++k) {
                EXPECT_NEAR(got.phalanx_angle[k], finger.phalanx_angle[k], position_tolerance)
                    << finger_what;
            }
        }
    }
    for (int id = 0; id < frame.calibrated_hands; ++id) {
        if (tracked.count(id) == 0) {
            EXPECT_EQ(client.get_hand(id).quality, -1.0f) << "hand " << id << " left out";
        }
    }
}

void expectMarkers(const Ombrix& client, const FrameState& frame) {
    ASSERT_EQ(client.get_num_marker(), static_cast<int>(frame.markers.size()));
    for (std::size_t i = 0; i < frame.markers.size(); ++i) {
        const ombrix_marker_type record = client.get_marker(static_cast<int>(i));
        EXPECT_EQ(record.id, frame.markers[i].id);
        EXPECT_NEAR(record.quality, frame.markers[i].quality, position_tolerance);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(record.position[k], frame.markers[i].position[k], position_tolerance);
        }
    }
}

using SceneCase = std::tuple<SkywandLayout, bool, LineEnd>;

class GeneratedFramesParse : public testing::TestWithParam<SceneCase> {};

// Times chosen so that every loss of tracking in the scene turns up: Skywand 0 and 1, body 1
// and 2, hand 1; one client receives them in turn, as the tester would.
TEST_P(GeneratedFramesParse, IntoTheRecordsOfTheScene) {
    const auto [layout, all_kinds, line_end] = GetParam();
    Ombrix client("", 0, 0, 20000, 1000000, 1000000);
    ASSERT_TRUE(client.valid());
    UdpSender sender;
    std::string error;
    ASSERT_TRUE(sender.open("127.0.0.1", client.get_data_port(), error)) << error;

    const Scenario scenario(3, layout, all_kinds);
    std::uint32_t counter = 4294967294u; // the counter wraps round like the controller's
    for (double t : {0.0, 0.6, 1.3, 2.5, 3.1, 4.5, 5.5, 6.5, 8.2, 9.9, 10.25, 12.75}) {
        SCOPED_TRACE("t = " + std::to_string(t));
        const FrameState frame = scenario.frame(counter, t);
        ASSERT_EQ(sender.send(FrameFormatter::format(frame, line_end)), 0);
        ASSERT_TRUE(client.receive())
            << "timeout " << client.data_timeout() << " parse " << client.data_parseerror();
        EXPECT_EQ(client.get_framecounter(), counter);
        EXPECT_NEAR(client.get_timestamp(), t, 0.000001);
        expectSkywands(client, frame);
        if (all_kinds) {
            expectBodies(client, frame);
            expectTools(client, frame);
            expectHands(client, frame);
            expectMarkers(client, frame);
        } else {
            EXPECT_EQ(client.get_num_body(), 0);
            EXPECT_EQ(client.get_num_meatool(), 0);
            EXPECT_EQ(client.get_num_hand(), 0);
            EXPECT_EQ(client.get_num_marker(), 0);
        }
        ++counter;
    }
}

std::string sceneCaseName(const testing::TestParamInfo<SceneCase>& info) {
    const SkywandLayout layout = std::get<0>(info.param);
    const bool all_kinds = std::get<1>(info.param);
    const LineEnd line_end = std::get<2>(info.param);
    return std::string(layout == SkywandLayout::newer ? "Newer" : "Older") +
           (all_kinds ? "AllKinds" : "SkywandsOnly") +
           (line_end == LineEnd::crlf ? "CrLf"
            : line_end == LineEnd::lf ? "Lf"
                                      : "Cr");
}

INSTANTIATE_TEST_SUITE_P(LayoutsAndKinds, GeneratedFramesParse,
                         testing::Values(SceneCase{SkywandLayout::newer, false, LineEnd::crlf},
                                         SceneCase{SkywandLayout::older, false, LineEnd::crlf},
                                         SceneCase{SkywandLayout::newer, true, LineEnd::crlf},
                                         SceneCase{SkywandLayout::older, true, LineEnd::lf},
                                         SceneCase{SkywandLayout::newer, true, LineEnd::cr}),
                         sceneCaseName);

// The pressed button of a device, -1 for none, checking that at most one is pressed.
int onlyPressedButton(const SkywandState& skywand, int buttons_in_turn) {
    int pressed = -1;
    for (int k = 0; k < buttons_in_turn; ++k) {
        if (skywand.buttons[k]) {
            EXPECT_EQ(pressed, -1) << "two buttons pressed at once";
            pressed = k;
        }
    }
    return pressed;
}

TEST(ScenePattern, NewerLayoutPressesEachButtonInTurnThenNone) {
    const Scenario scenario(2, SkywandLayout::newer, false);
    std::vector<int> device0;
    std::vector<int> device1;
    for (int slot = 0; slot < 14; ++slot) {
        const FrameState frame = scenario.frame(1, slot * Scenario::button_slot_s + 0.1);
        ASSERT_EQ(frame.skywands[0].buttons.size(), 6u); // 5 buttons and the joystick press
        device0.push_back(onlyPressedButton(frame.skywands[0], 6));
        device1.push_back(onlyPressedButton(frame.skywands[1], 6));
    }
    EXPECT_EQ(device0, (std::vector<int>{0, 1, 2, 3, 4, 5, -1, 0, 1, 2, 3, 4, 5, -1}));
    EXPECT_EQ(device1, (std::vector<int>{2, 3, 4, 5, -1, 0, 1, 2, 3, 4, 5, -1, 0, 1}));
}

TEST(ScenePattern, JoysticksGoRoundTheUnitCircleEachWithItsOwnPhase) {
    const Scenario scenario(3, SkywandLayout::newer, false);
    for (double t = 0; t < 8.0; t += 0.37) {
        const FrameState frame = scenario.frame(1, t);
        for (const SkywandState& skywand : frame.skywands) {
            EXPECT_LE(std::fabs(skywand.joystick[0]), 1.0);
            EXPECT_LE(std::fabs(skywand.joystick[1]), 1.0);
            EXPECT_NEAR(std::hypot(skywand.joystick[0], skywand.joystick[1]), 1.0, 1e-9);
        }
        EXPECT_GT(std::fabs(frame.skywands[0].joystick[0] - frame.skywands[1].joystick[0]) +
                      std::fabs(frame.skywands[0].joystick[1] - frame.skywands[1].joystick[1]),
                  0.5)
            << "devices 0 and 1 move in step at t = " << t;
    }
    // A quarter turn per second, counter-clockwise: from the right to the top.
    const FrameState start = scenario.frame(1, 0.0);
    const FrameState later = scenario.frame(2, Scenario::joystick_turn_s / 4);
    EXPECT_NEAR(start.skywands[0].joystick[0], 1.0, 1e-9);
    EXPECT_NEAR(later.skywands[0].joystick[1], 1.0, 1e-9);
}

TEST(ScenePattern, EachDeviceLosesTrackingForOneSecondInTen) {
    const int devices = 4;
    const Scenario scenario(devices, SkywandLayout::newer, false);
    for (int device = 0; device < devices; ++device) {
        int untracked = 0;
        for (int step = 0; step < 1000; ++step) {
            const SkywandState skywand = scenario.frame(1, step * 0.01).skywands[device];
            if (skywand.quality < 0) {
                ++untracked;
                EXPECT_EQ(skywand.pose.position[0], 0.0); // an untracked device has no pose
                EXPECT_EQ(skywand.pose.rotation[0], 0.0);
            } else {
                EXPECT_EQ(skywand.quality, 1.0);
                EXPECT_EQ(skywand.pose.rotation[4], 1.0);
            }
        }
        EXPECT_EQ(untracked, 100) << "device " << device;
    }
    // Not all at the same time.
    EXPECT_NE(scenario.skywandTracked(0, 6.5), scenario.skywandTracked(1, 6.5));
}

TEST(ScenePattern, OlderLayoutTurnsTheCircleIntoDirectionBits) {
    const Scenario scenario(1, SkywandLayout::older, false);
    std::vector<int> pressed;
    for (int slot = 0; slot < 5; ++slot) {
        const FrameState frame = scenario.frame(1, slot * Scenario::button_slot_s + 0.1);
        ASSERT_EQ(frame.skywands[0].buttons.size(), 8u);
        pressed.push_back(onlyPressedButton(frame.skywands[0], 4));
    }
    EXPECT_EQ(pressed, (std::vector<int>{0, 1, 2, 3, -1}));

    std::set<std::pair<int, int>> directions;
    for (double t = 0; t < Scenario::joystick_turn_s; t += 0.05) {
        const SkywandState skywand = scenario.frame(1, t).skywands[0];
        const double angle = scenario.joystickAngle(0, t);
        const int x = static_cast<int>(skywand.joystick[0]);
        const int y = static_cast<int>(skywand.joystick[1]);
        EXPECT_EQ(skywand.joystick[0], x); // only full deflections
        EXPECT_EQ(skywand.joystick[1], y);
        if (std::fabs(std::cos(angle)) > 0.5) {
            EXPECT_EQ(x, std::cos(angle) > 0 ? 1 : -1) << "t = " << t;
        }
        if (std::fabs(std::sin(angle)) > 0.5) {
            EXPECT_EQ(y, std::sin(angle) > 0 ? 1 : -1) << "t = " << t;
        }
        directions.insert({x, y});
    }
    EXPECT_EQ(directions.size(), 8u) << "the stick visits all eight directions";
}

TEST(SceneSize, TheLargestSceneFitsTheTestersReceiveBuffer) {
    // The tester receives into 20000 bytes and accepts at most 19998 of them.
    for (SkywandLayout layout : {SkywandLayout::newer, SkywandLayout::older}) {
        const Scenario scenario(Scenario::max_skywands, layout, true);
        for (double t : {0.0, 1.7, 4.2, 7.9}) {
            const std::string text =
                FrameFormatter::format(scenario.frame(4294967295u, 1e6 + t), LineEnd::crlf);
            EXPECT_LE(text.size(), 19998u);
        }
    }
}

} // namespace
