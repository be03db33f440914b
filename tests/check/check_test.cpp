// The device check and the search for the device in hand, on synthetic frame sequences.

#include "skywandcheck.h"
#include "skywandfinder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace {

ombrix_skywand_type wand(int buttons, unsigned bits = 0, float x = 0, float y = 0,
                         int joysticks = 2, float quality = 1.0f) {
    ombrix_skywand_type r{};
    r.quality = quality;
    r.num_button = buttons;
    for (int k = 0; k < 16; ++k)
        r.button[k] = (bits >> k) & 1;
    r.num_joystick = joysticks;
    r.joystick[0] = x;
    r.joystick[1] = y;
    return r;
}

// Feeds a check one frame per millisecond with consecutive counters unless told otherwise.
struct Feed {
    SkywandCheck::Clock::time_point now = SkywandCheck::Clock::time_point{} + 1h;
    SkywandCheck check{{"S2", 5000, 120s}, now, std::chrono::system_clock::now()};
    std::uint32_t counter = 5000;

    void frame(const ombrix_skywand_type& r, std::chrono::milliseconds step = 1ms, int gap = 1) {
        now += step;
        counter += std::uint32_t(gap);
        check.addFrame(counter, r, now);
    }
    void hold(const ombrix_skywand_type& r, std::chrono::milliseconds d) {
        for (auto t = 0ms; t < d; t += 1ms)
            frame(r);
    }
    // The stick at `reach` in all eight directions, then near the centre for `rest`.
    void sweep(int buttons, double reach = 0.95, std::chrono::milliseconds rest = 1001ms) {
        for (int k = 0; k < 8; ++k)
            frame(wand(buttons, 0, float(reach * std::cos(k * M_PI / 4)),
                       float(reach * std::sin(k * M_PI / 4))));
        hold(wand(buttons, 0, 0.02f, -0.01f), rest);
    }
    CheckReport report() const { return check.report(now); }
};

} // namespace

TEST(SkywandCheck, ButtonPassesOnPressAndReleaseAndCountsBounce) {
    Feed f;
    f.frame(wand(3, 0b010)); // button 2 held at the start: its release is no press
    f.frame(wand(3, 0b000));
    f.frame(wand(3, 0b001), 10ms);
    f.frame(wand(3, 0b000), 5ms);
    f.frame(wand(3, 0b001), 20ms); // 25 ms after the first edge: bounce
    f.frame(wand(3, 0b000), 50ms);
    f.frame(wand(3, 0b001), 31ms); // 81 ms after the last edge: a second press
    const CheckReport r = f.report();
    EXPECT_TRUE(r.buttons[0].ok && r.buttons[0].down);
    EXPECT_EQ(std::pair(r.buttons[0].presses, r.buttons[0].bounces), std::pair(2, 1));
    EXPECT_TRUE(!r.buttons[1].ok && r.buttons[1].presses == 0);
}

TEST(SkywandCheck, DirectionsAreBinnedInto45DegreeSectorsCentredOnTheAxes) {
    const double degrees[] = {0, 22.4, 45, 67.6, 90, 180, 270, 315, 337.6};
    const int sectors[] = {0, 0, 1, 2, 2, 4, 6, 7, 0};
    for (size_t i = 0; i < std::size(degrees); ++i) {
        const double a = degrees[i] * M_PI / 180;
        EXPECT_EQ(SkywandCheck::direction(std::cos(a), std::sin(a)), sectors[i]) << degrees[i];
    }
    EXPECT_EQ(SkywandCheck::direction(0, 0), -1);
}

TEST(SkywandCheck, JoystickNeedsAllDirectionsThenARestOfOneSecond) {
    const struct {
        const char* what;
        double reach;
        std::chrono::milliseconds rest;
        int directions;
        bool ok;
        double restX; // of the latest full rest
    } cases[] = {{"full sweep, rest", 0.95, 1001ms, 8, true, 0.02},
                 {"short of the edge", 0.85, 1001ms, 0, false, 0.02},
                 {"rest too short", 0.95, 990ms, 8, false, 0.0}};
    for (const auto& c : cases) {
        Feed f;
        f.hold(wand(0), 1500ms); // resting before the sweep does not count
        f.sweep(0, c.reach, c.rest);
        const JoystickResult j = f.report().joystick;
        EXPECT_EQ(j.directionsReached, c.directions) << c.what;
        EXPECT_EQ(j.ok, c.ok) << c.what;
        EXPECT_NEAR(j.maxDeflection, c.reach, 1e-6) << c.what;
        EXPECT_NEAR(j.restX.value_or(-1.0), c.restX, 1e-6) << c.what;
    }
    Feed noStick; // a device without joystick values skips the item
    noStick.frame(wand(1, 0, 0, 0, 0));
    EXPECT_TRUE(noStick.report().joystick.ok && !noStick.report().joystick.present);
}

TEST(SkywandCheck, TrackingFromQualityAndFrameCounterGaps) {
    const struct {
        const char* what;
        int gap, untracked;
        long lost;
        int restarts;
        bool ok;
    } cases[] = {
        {"steady", 1, 0, 0, 0, true},
        {"one gap of 2 in 200", 3, 0, 2, 0, true},
        {"one gap of 5 in 200", 6, 0, 5, 0, false},
        {"counter restarted", -1000, 0, 0, 1, true},
        {"counter jumped by millions: restarted", 3000000, 0, 0, 1, true},
        {"untracked spell of 9 in 200", 1, 9, 0, 0, true},
        {"untracked spell of 11 in 200", 1, 11, 0, 0, false},
    };
    for (const auto& c : cases) {
        Feed f;
        f.hold(wand(1), 100ms);
        f.frame(wand(1), 1ms, c.gap);
        f.hold(wand(1, 0, 0, 0, 2, -1.0f), std::chrono::milliseconds(c.untracked));
        f.hold(wand(1), std::chrono::milliseconds(99 - c.untracked));
        const TrackingResult t = f.report().tracking;
        EXPECT_EQ(t.lostFrames, c.lost) << c.what;
        EXPECT_EQ(t.counterRestarts, c.restarts) << c.what;
        EXPECT_NEAR(t.trackedShare, (200.0 - c.untracked) / 200.0, 1e-9) << c.what;
        EXPECT_EQ(t.ok, c.ok) << c.what;
    }
}

// The untracked record of a device that left the frame carries no values to act on.
TEST(SkywandCheck, DeviceLeavingTheFrameNeitherReleasesNorRests) {
    Feed f;
    f.frame(wand(5));
    f.frame(wand(5, 0b1, 0.9f, 0.0f));
    f.hold(wand(0, 0, 0, 0, 0, -1.0f), 1500ms); // the untracked record
    const CheckReport r = f.report();
    EXPECT_TRUE(r.buttons[0].down && !r.buttons[0].ok);
    EXPECT_FALSE(r.joystick.restX.has_value());
    EXPECT_FALSE(r.tracking.ok);
}

TEST(SkywandCheck, WholeCheckPassesAndReportsAsJson) {
    Feed f;
    f.frame(wand(6));
    for (unsigned k = 0; k < 6; ++k) {
        f.frame(wand(6, 1u << k), 100ms);
        f.frame(wand(6), 100ms);
    }
    f.sweep(6);
    const auto json = nlohmann::json::parse(reportJson(f.report()));
    EXPECT_EQ(json["verdict"], "pass");
    EXPECT_EQ(
        json["buttons"][5],
        (nlohmann::json{{"name", "Joystick press"}, {"ok", true}, {"presses", 1}, {"bounces", 0}}));
    EXPECT_EQ(json["joystick"]["rest_x"], 0.02);
    EXPECT_EQ(json["tracking"]["frames"], 1022);
    EXPECT_EQ(json["duration_s"], 2.2);
    for (const char* key : {"device", "started", "port"})
        EXPECT_TRUE(json.contains(key)) << key;
}

TEST(SkywandCheck, FailsWithOpenItemsAtTheTimeLimitOrWhenEnded) {
    Feed f;
    f.frame(wand(8));
    f.check.tick(f.now + 119s);
    EXPECT_FALSE(f.check.finished());
    f.check.tick(f.now + 120s);
    EXPECT_EQ(f.check.verdict(), CheckVerdict::fail);
    EXPECT_EQ(f.check.report(f.now + 200s).openItems,
              (Strings{"Button 1", "Button 2", "Button 3", "Button 4", "Joystick"}));
    EXPECT_DOUBLE_EQ(f.check.report(f.now + 200s).durationS, 120.001);

    Feed ended; // no frame at all: nothing known of the device
    ended.check.finish(ended.now);
    EXPECT_EQ(ended.report().openItems, (Strings{"Device data", "Tracking"}));
}

TEST(SkywandFinder, FirstDeviceWhoseButtonGoesDownOnceReleased) {
    SkywandFinder finder;
    // S1 lies on its button 1; S3, in the older layout, has its joystick in entries 4 to 7.
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6), wand(8)}));
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6), wand(8, 0xF0)}));
    EXPECT_FALSE(finder.addFrame({wand(6), wand(6), wand(8)}));
    // Released, S1's button counts, as does S2's joystick press: the first in the frame wins.
    EXPECT_EQ(finder.addFrame({wand(6, 0b1), wand(6, 0b100000), wand(8)}), 0);
    EXPECT_EQ(finder.addFrame({wand(6), wand(6, 0b1), wand(8)}), 0);
}
