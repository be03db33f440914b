// The device check on synthetic frame sequences, one rule at a time, and the report of a
// whole passing check.

#include "skywandcheck.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

using namespace std::chrono_literals;
using Clock = SkywandCheck::Clock;

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
    Clock::time_point now = Clock::time_point{} + 1h;
    SkywandCheck check{{"S2", 5000, 120s}, now, std::chrono::system_clock::now()};
    std::uint32_t counter = 5000;

    void frame(const ombrix_skywand_type& r, Clock::duration step = 1ms, int counterStep = 1) {
        now += step;
        counter += std::uint32_t(counterStep);
        check.addFrame(counter, r, now);
    }
    void hold(const ombrix_skywand_type& r, Clock::duration d) {
        for (auto t = 0ms; t < d; t += 1ms)
            frame(r);
    }
    // Every direction reached, then the stick back near the centre for a second.
    void sweepAndRest(int buttons, unsigned bits = 0) {
        for (int k = 0; k < 8; ++k)
            frame(wand(buttons, bits, float(0.95 * std::cos(k * M_PI / 4)),
                       float(0.95 * std::sin(k * M_PI / 4))));
        hold(wand(buttons, bits, 0.02f, -0.01f), 1001ms);
    }
    CheckReport report() const { return check.report(now); }
};

std::vector<std::string> names(const std::vector<PanelButton>& buttons) {
    std::vector<std::string> out;
    for (const PanelButton& b : buttons)
        out.push_back(b.name + "@" + std::to_string(b.entry));
    return out;
}

} // namespace

TEST(PanelButtons, FollowTheDeviceLayout) {
    using V = std::vector<std::string>;
    EXPECT_EQ(names(panelButtons(-3)), V{});
    EXPECT_EQ(names(panelButtons(2)), (V{"Button 1@0", "Button 2@1"}));
    EXPECT_EQ(names(panelButtons(5)).back(), "Button 5@4");
    EXPECT_EQ(names(panelButtons(6)).size(), 6u);
    EXPECT_EQ(names(panelButtons(6)).back(), "Joystick press@5");
    // The older layout reports 8 entries; four of them are the joystick's directions.
    EXPECT_EQ(names(panelButtons(8)), (V{"Button 1@0", "Button 2@1", "Button 3@2", "Button 4@3"}));
}

TEST(SkywandCheck, ButtonPassesOnPressAndReleaseAndCountsBounce) {
    Feed f;
    f.frame(wand(3, 0b010)); // button 2 held at the start: its release is no press
    f.frame(wand(3, 0b000));
    EXPECT_FALSE(f.report().buttons[1].ok);
    f.frame(wand(3, 0b001), 10ms);
    f.frame(wand(3, 0b000), 5ms);
    f.frame(wand(3, 0b001), 20ms); // 25 ms after the first edge: bounce
    f.frame(wand(3, 0b000), 50ms);
    f.frame(wand(3, 0b001), 31ms); // 81 ms after the last edge: a second press
    const CheckReport r = f.report();
    EXPECT_TRUE(r.buttons[0].ok);
    EXPECT_EQ(r.buttons[0].presses, 2);
    EXPECT_EQ(r.buttons[0].bounces, 1);
    EXPECT_TRUE(r.buttons[0].down);
    EXPECT_EQ(r.buttons[1].presses, 0);
}

TEST(SkywandCheck, DirectionsAreBinnedInto45DegreeSectors) {
    const struct { double x, y; int sector; } cases[] = {
        {1, 0, 0}, {0.7, 0.7, 1}, {0, 1, 2}, {-1, 0, 4}, {0, -1, 6}, {0.7, -0.7, 7},
        {1, std::tan(M_PI / 8), 1}, // on the boundary: the sector counter-clockwise of it
        {1, -0.41, 0}, {0, 0, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(SkywandCheck::direction(c.x, c.y), c.sector) << c.x << ", " << c.y;
}

TEST(SkywandCheck, JoystickPassesAfterAllDirectionsAndARestOfOneSecond) {
    Feed f;
    f.hold(wand(0, 0, 0.01f, 0.0f), 1500ms); // resting before any direction: not yet
    f.frame(wand(0, 0, 0.0f, 0.95f));
    f.frame(wand(0, 0, 0.5f, 0.5f)); // under 0.9: no direction
    EXPECT_EQ(f.report().joystick.directionsReached, 1);
    EXPECT_FALSE(f.report().joystick.ok);
    f.sweepAndRest(0);
    const JoystickResult j = f.report().joystick;
    EXPECT_TRUE(j.ok);
    EXPECT_EQ(j.directionsReached, 8);
    EXPECT_NEAR(j.maxDeflection, 0.95, 1e-6);
    EXPECT_NEAR(*j.restX, 0.02, 1e-6);
    EXPECT_NEAR(*j.restY, -0.01, 1e-6);

    Feed shortRest; // 0.9 s of rest, broken by a twitch, then 0.9 s again
    for (int k = 0; k < 8; ++k)
        shortRest.frame(wand(0, 0, float(std::cos(k * M_PI / 4)), float(std::sin(k * M_PI / 4))));
    shortRest.hold(wand(0), 900ms);
    shortRest.frame(wand(0, 0, 0.06f, 0.0f));
    shortRest.hold(wand(0), 900ms);
    EXPECT_FALSE(shortRest.report().joystick.ok);

    Feed noStick; // a device without joystick values skips the item
    noStick.frame(wand(0, 0, 0, 0, 0));
    EXPECT_TRUE(noStick.report().joystick.ok);
    EXPECT_FALSE(noStick.report().joystick.present);
}

TEST(SkywandCheck, TrackingFromQualityAndFrameCounterGaps) {
    const struct {
        const char* what;
        int counterStep, untracked;
        long lost;
        int restarts;
        bool ok;
    } cases[] = {
        {"steady", 1, 0, 0, 0, true},
        {"one gap of 2 in 200", 3, 0, 2, 0, true},
        {"one gap of 5 in 200", 6, 0, 5, 0, false},
        {"counter restarted", -1000, 0, 0, 1, true},
        {"untracked spell of 9 in 200", 1, 9, 0, 0, true},
        {"untracked spell of 11 in 200", 1, 11, 0, 0, false},
    };
    for (const auto& c : cases) {
        Feed f;
        f.hold(wand(1), 100ms);
        f.frame(wand(1), 1ms, c.counterStep);
        f.hold(wand(1, 0, 0, 0, 2, -1.0f), std::chrono::milliseconds(c.untracked));
        f.hold(wand(1), std::chrono::milliseconds(99 - c.untracked));
        const TrackingResult t = f.check.report(f.now).tracking;
        EXPECT_EQ(t.frames, 200) << c.what;
        EXPECT_EQ(t.lostFrames, c.lost) << c.what;
        EXPECT_EQ(t.counterRestarts, c.restarts) << c.what;
        EXPECT_NEAR(t.trackedShare, (200.0 - c.untracked) / 200.0, 1e-9) << c.what;
        EXPECT_EQ(t.ok, c.ok) << c.what;
    }
}

// A device that leaves the frame is fed its untracked record: no values, so its buttons keep
// their state and its stick does not rest at the zero it reports.
TEST(SkywandCheck, DeviceLeavingTheFrameNeitherReleasesNorRests) {
    Feed f;
    f.frame(wand(5));
    f.frame(wand(5, 0b1, 0.9f, 0.0f));
    ombrix_skywand_type gone{};
    gone.quality = -1.0f;
    f.hold(gone, 1500ms);
    const CheckReport r = f.report();
    EXPECT_TRUE(r.buttons[0].down);
    EXPECT_FALSE(r.buttons[0].ok);
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
    EXPECT_EQ(f.check.verdict(), CheckVerdict::running);
    f.sweepAndRest(6);
    EXPECT_EQ(f.check.verdict(), CheckVerdict::pass);
    const auto json = nlohmann::json::parse(reportJson(f.report()));
    EXPECT_EQ(json["device"], "S2");
    EXPECT_EQ(json["verdict"], "pass");
    EXPECT_EQ(json["port"], 5000);
    EXPECT_EQ(json["buttons"].size(), 6u);
    EXPECT_EQ(json["buttons"][5]["name"], "Joystick press");
    EXPECT_EQ(json["buttons"][5]["presses"], 1);
    EXPECT_EQ(json["joystick"]["directions_reached"], 8);
    EXPECT_EQ(json["joystick"]["rest_x"], 0.02);
    EXPECT_EQ(json["tracking"]["frames"], 1022);
    EXPECT_EQ(json["tracking"]["tracked_share"], 1.0);
    EXPECT_EQ(json["tracking"]["lost_frames"], 0);
    EXPECT_EQ(json["duration_s"], 2.2);
    EXPECT_TRUE(json["open"].empty());
    EXPECT_NE(json["started"].get<std::string>().find('T'), std::string::npos);
}

TEST(SkywandCheck, FailsWithOpenItemsAtTheTimeLimitOrWhenEnded) {
    Feed f;
    f.frame(wand(8, 0, 0, 0));
    f.check.tick(f.now + 119s);
    EXPECT_FALSE(f.check.finished());
    f.check.tick(f.now + 120s);
    EXPECT_EQ(f.check.verdict(), CheckVerdict::fail);
    EXPECT_EQ(f.check.report(f.now + 200s).openItems,
              (std::vector<std::string>{"Button 1", "Button 2", "Button 3", "Button 4", "Joystick"}));
    EXPECT_DOUBLE_EQ(f.check.report(f.now + 200s).durationS, 120.001);

    Feed ended; // no frame at all: nothing known of the device
    ended.check.finish(ended.now);
    EXPECT_EQ(ended.report().openItems, (std::vector<std::string>{"Device data", "Tracking"}));
}
