// The device check, the frame counter rules and the search for the device in hand, on
// synthetic frame sequences.

#include "checkitems.h"
#include "framecounter.h"
#include "skywandcheck.h"
#include "skywandfinder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <random>
#include <sstream>

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;
using Ms = std::chrono::milliseconds;

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

// Feeds a check one frame per millisecond with consecutive counters unless told otherwise;
// with `ts` set, each frame carries the controller's time too.
struct Feed {
    SkywandCheck::Clock::time_point now = SkywandCheck::Clock::time_point{} + 1h;
    SkywandCheck check{{"S2", 5000, 120s}, now, std::chrono::system_clock::now()};
    std::uint32_t counter = 5000;
    std::optional<double> ts;

    void frame(const ombrix_skywand_type& r, Ms step = 1ms, int gap = 1, bool carried = true,
               Ms tsStep = Ms(-1)) {
        now += step;
        counter += std::uint32_t(gap);
        if (ts)
            *ts += std::chrono::duration<double>(tsStep.count() < 0 ? step : tsStep).count();
        check.datagramRead("fr " + std::to_string(counter) + "\n", now);
        check.addFrame({r, carried, ts.value_or(-1.0)}, now);
    }
    void hold(const ombrix_skywand_type& r, Ms d) {
        for (auto t = 0ms; t < d; t += 1ms)
            frame(r);
    }
    // The stick at `reach` in all eight directions, then near the centre for `rest`.
    void sweep(int buttons, double reach = 0.95, Ms rest = 1001ms, float restX = 0.02f) {
        for (int k = 0; k < 8; ++k)
            frame(wand(buttons, 0, float(reach * std::cos(k * M_PI / 4)),
                       float(reach * std::sin(k * M_PI / 4))));
        hold(wand(buttons, 0, restX, -0.01f), rest);
    }
    // Every button of a six-button device pressed and released, then the stick swept.
    void passAll() {
        frame(wand(6));
        for (unsigned k = 0; k < 6; ++k) {
            frame(wand(6, 1u << k), 100ms);
            frame(wand(6), 100ms);
        }
        sweep(6);
    }
    CheckReport report() const { return check.report(now); }
};

} // namespace

// Counters as they arrive, "x3" for three times the one before.
TEST(FrameCounter, LateRepeatedAndRestartedCountersAreNotLost) {
    const struct {
        const char* counters;
        long frames, lost, reordered, repeated, restarts;
    } cases[] = {
        {"100 102 101 103", 4, 0, 1, 0, 0}, // one datagram overtaken
        {"10 x10", 1, 0, 0, 9, 0},          // the same counter ten times
        {"1 2 6 7", 4, 3, 0, 0, 0},
        {"4294967294 4294967295 0 1", 4, 0, 0, 0, 0}, // the counter wraps round
        {"100 102 101 101 102", 3, 0, 1, 2, 0},
        {"100 99 101", 2, 0, 0, 1, 0},   // before the first counter: never counted lost
        {"1000 900 901", 3, 0, 0, 0, 1}, // far back: the controller counts anew
        {"1 1000003 1000004", 3, 0, 0, 0, 1},
        {"1 80 20", 3, 77, 1, 0, 0},  // late within 64
        {"1 100 20", 3, 98, 0, 0, 1}, // 80 back: a restart
    };
    for (const auto& c : cases) {
        FrameCounter counter;
        std::istringstream in(c.counters);
        std::uint32_t last = 0;
        for (std::string word; in >> word;) {
            const bool times = word[0] == 'x';
            for (int i = 0; i < (times ? std::stoi(word.substr(1)) - 1 : 1); ++i)
                counter.add(times ? last : (last = std::uint32_t(std::stoul(word))));
        }
        EXPECT_EQ(counter.frames(), c.frames) << c.counters;
        EXPECT_EQ(counter.lost(), c.lost) << c.counters;
        EXPECT_EQ(counter.reordered(), c.reordered) << c.counters;
        EXPECT_EQ(counter.repeated(), c.repeated) << c.counters;
        EXPECT_EQ(counter.restarts(), c.restarts) << c.counters;
    }
}

TEST(SkywandCheck, ButtonPassesOnPressAndReleaseAndCountsBounce) {
    Feed f;
    f.frame(wand(3, 0b010)); // button 2 held at the start: its release is no press
    f.frame(wand(3, 0b000));
    f.frame(wand(3, 0b001), 10ms);
    f.frame(wand(3, 0b000), 5ms);
    f.frame(wand(3, 0b001), 29ms); // 29 ms after it came up: bounce
    f.frame(wand(3, 0b000), 50ms);
    f.frame(wand(3, 0b001), 30ms); // 30 ms: a second press, the window is "less than"
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

// The limits hold as documented for the floats the client stores: 0.9 and 0.05 included.
TEST(SkywandCheck, JoystickNeedsAllDirectionsThenARestOfOneSecond) {
    const struct {
        const char* what;
        double reach;
        Ms rest;
        float restX;
        int directions;
        bool ok;
    } cases[] = {{"full sweep, rest", 0.95, 1001ms, 0.02f, 8, true},
                 {"at exactly 0.9, resting at exactly 0.05", 0.9, 1001ms, 0.05f, 8, true},
                 {"short of the edge", 0.85, 1001ms, 0.02f, 0, false},
                 {"rest too short", 0.95, 990ms, 0.02f, 8, false},
                 {"resting just outside the band", 0.95, 1001ms, 0.0501f, 8, false}};
    for (const auto& c : cases) {
        Feed f;
        f.hold(wand(0), 1500ms); // resting before the sweep does not count
        f.sweep(0, c.reach, c.rest, c.restX);
        const JoystickResult j = f.report().joystick;
        EXPECT_EQ(j.directionsReached, c.directions) << c.what;
        EXPECT_EQ(j.ok, c.ok) << c.what;
        EXPECT_NEAR(j.maxDeflection, c.reach, 1e-6) << c.what;
    }
    Feed noStick; // a device without joystick values skips the item
    noStick.frame(wand(1, 0, 0, 0, 0));
    EXPECT_TRUE(noStick.report().joystick.ok && !noStick.report().joystick.present);
}

TEST(SkywandCheck, TrackingFromCarriedTrackedRecordsAndCounterGaps) {
    const struct {
        const char* what;
        int gap, untracked; // a spell of quality -1
        long lost;
        int restarts;
        bool ok;
    } cases[] = {
        {"steady", 1, 0, 0, 0, true},
        {"one gap of 2 in 200", 3, 0, 2, 0, true},
        {"one gap of 5 in 200", 6, 0, 5, 0, false},
        {"counter restarted", -1000, 0, 0, 1, true},
        {"quality -1 for 10 in 200: exactly 95 %", 1, 10, 0, 0, true},
        {"quality -1 for 11 in 200", 1, 11, 0, 0, false},
    };
    for (const auto& c : cases) {
        Feed f;
        f.hold(wand(1), 100ms);
        f.frame(wand(1), 1ms, c.gap);
        for (int i = 0; i < c.untracked; ++i)
            f.frame(wand(1, 0, 0, 0, 2, -1.0f));
        f.hold(wand(1), Ms(99 - c.untracked));
        const TrackingResult t = f.report().tracking;
        EXPECT_EQ(t.lostFrames, c.lost) << c.what;
        EXPECT_EQ(t.counterRestarts, c.restarts) << c.what;
        EXPECT_EQ(t.trackedFrames, 200 - c.untracked) << c.what;
        EXPECT_EQ(t.ok, c.ok) << c.what;
    }
}

// Only a record the frame's line carried, with quality 0 or more, is evidence of the device.
TEST(SkywandCheck, NoPassWithoutEvidence) {
    const ombrix_skywand_type zeroFilled = wand(0, 0, 0, 0, 0, 0.0f); // total 2, S2 not carried
    const struct {
        const char* what;
        ombrix_skywand_type record;
        bool carried;
    } cases[] = {{"zero-filled record beyond the line", zeroFilled, false},
                 {"carried record without buttons or stick", zeroFilled, true},
                 {"previous frame's data kept, not carried", wand(6), false}};
    for (const auto& c : cases) {
        Feed f;
        for (int i = 0; i < 2000; ++i)
            f.frame(c.record, 1ms, 1, c.carried);
        f.check.finish(f.now);
        EXPECT_EQ(f.check.verdict(), CheckVerdict::fail) << c.what;
        EXPECT_FALSE(f.report().deviceSeen) << c.what;
        EXPECT_EQ(f.report().openItems.front(), "Device data") << c.what;
    }
    // The device leaves the line holding its button: the kept values neither release the
    // button nor rest the stick, and do not count as tracked.
    Feed f;
    f.frame(wand(5));
    f.frame(wand(5, 0b1, 0.9f, 0.0f));
    f.hold(wand(0, 0, 0, 0, 0, -1.0f), 1500ms); // the client's untracked record
    for (int i = 0; i < 1500; ++i)
        f.frame(wand(5, 0, 0, 0), 1ms, 1, false);
    const CheckReport r = f.report();
    EXPECT_TRUE(r.buttons[0].down && !r.buttons[0].ok);
    EXPECT_FALSE(r.joystick.restX.has_value());
    EXPECT_EQ(r.tracking.trackedFrames, 2);
}

TEST(SkywandCheck, LayoutGrowsButNeverShrinks) {
    Feed f;
    for (int buttons : {3, 6, 2})
        f.frame(wand(buttons));
    Strings names;
    for (const ButtonResult& b : f.report().buttons)
        names.push_back(b.name);
    EXPECT_EQ(names, (Strings{"Button 1", "Button 2", "Button 3", "Button 4", "Button 5",
                              "Joystick press"}));
}

// Datagrams the receiver drained arrive at the check with their counters; unparsable ones are
// counted as such.
TEST(SkywandCheck, LossCountsEveryDatagramRead) {
    Feed f;
    for (int burst = 0; burst < 100; ++burst) {
        for (int i = 0; i < 9; ++i)
            f.check.datagramRead("fr " + std::to_string(++f.counter) + "\n", f.now);
        f.frame(wand(1));
    }
    f.check.datagramRead("6df2 garbage", f.now);
    f.check.frameUnparsed("fr 99999\n6df2 [");
    f.check.frameUnparsed("6df2 garbage"); // counted when it was read
    const TrackingResult t = f.report().tracking;
    EXPECT_EQ(std::tuple(t.frames, t.lostFrames, t.unparsable), std::tuple(100L, 0L, 2L));
    EXPECT_TRUE(t.ok);
    EXPECT_NEAR(t.rateHz, 9990, 1e-6); // 1000 counters over 100 ms

    const struct {
        const char* text;
        std::optional<std::uint32_t> counter;
    } counters[] = {{"ts 1.5\r\nfr 0x10\n", 16u}, {"xfr 7\n", std::nullopt},
                    {"fr -1\n", 4294967295u},     {"fr 99999999999\n", 4294967295u},
                    {"fr x\n", std::nullopt},     {"", std::nullopt}};
    for (const auto& c : counters)
        EXPECT_EQ(FrameCounter::counterOf(c.text), c.counter) << c.text;
}

// Timed by the controller's "ts": consecutive frames at 60 Hz can show a bounce, arrival
// jitter cannot make one, a stall hides no push of the stick.
TEST(SkywandCheck, FramesAreTimedByTheControllersClock) {
    const Ms frame60 = 17ms;
    Feed f;
    f.ts = 10.0;
    f.frame(wand(1));
    f.frame(wand(1, 1), frame60);
    f.frame(wand(1, 0), frame60);
    f.frame(wand(1, 1), frame60); // up for one frame: bounce
    f.frame(wand(1, 0), 200ms);
    f.frame(wand(1, 1), 5ms, 1, true, 50ms); // arrived 5 ms after, sent 50 ms after: a press
    const CheckReport r = f.report();
    EXPECT_EQ(std::pair(r.buttons[0].presses, r.buttons[0].bounces), std::pair(2, 1));
    EXPECT_EQ(r.timeBase, "frame");

    Feed stall; // two frames at rest, 1.1 s apart on the controller's clock
    stall.ts = 0.0;
    stall.sweep(0, 0.95, 0ms);
    stall.frame(wand(0), 1ms);
    stall.frame(wand(0), 1100ms);
    EXPECT_FALSE(stall.report().joystick.ok);
    stall.hold(wand(0), 1001ms);
    EXPECT_TRUE(stall.report().joystick.ok);
}

TEST(SkywandCheck, VerdictIsDecidedAtTheLimitAndIsFinal) {
    Feed f;
    f.frame(wand(1, 0, 0, 0, 0));
    f.frame(wand(1, 1, 0, 0, 0));
    f.frame(wand(1, 0, 0, 0, 0), 121s); // the release comes after the limit, without a tick between
    EXPECT_EQ(f.check.verdict(), CheckVerdict::fail);
    EXPECT_DOUBLE_EQ(f.report().durationS, 120.0);
    EXPECT_EQ(f.report().openItems, (Strings{"Button 1"}));

    Feed ticked;
    ticked.frame(wand(8));
    ticked.check.tick(ticked.now + 119s);
    EXPECT_FALSE(ticked.check.finished());
    ticked.check.tick(ticked.now + 120s);
    EXPECT_EQ(ticked.check.verdict(), CheckVerdict::fail);
    EXPECT_EQ(ticked.report().openItems,
              (Strings{"Button 1", "Button 2", "Button 3", "Button 4", "Joystick"}));

    Feed stopped; // a receiver restart: no verdict on the device, and none comes later
    stopped.frame(wand(6));
    stopped.check.stop("the data port changed", stopped.now);
    stopped.passAll();
    stopped.check.finish(stopped.now);
    EXPECT_EQ(stopped.check.verdict(), CheckVerdict::stopped);
    const auto json = nlohmann::json::parse(reportJson(stopped.report()));
    EXPECT_EQ(json["verdict"], "stopped");
    EXPECT_EQ(json["stopped_because"], "the data port changed");
    EXPECT_EQ(json["tracking"]["frames"], 1);
}

TEST(SkywandCheck, WholeCheckPassesAndReportsAsJson) {
    Feed f;
    f.passAll();
    const auto json = nlohmann::json::parse(reportJson(f.report()));
    EXPECT_EQ(json["verdict"], "pass");
    EXPECT_EQ(
        json["buttons"][5],
        (nlohmann::json{{"name", "Joystick press"}, {"ok", true}, {"presses", 1}, {"bounces", 0}}));
    EXPECT_EQ(json["joystick"]["rest_x"], 0.02);
    EXPECT_EQ(json["tracking"]["frames"], 1022);
    EXPECT_EQ(json["duration_s"], 2.2);
    EXPECT_EQ(json["time_base"], "arrival");
    for (const char* key : {"device", "started", "port"})
        EXPECT_TRUE(json.contains(key)) << key;

    TrackingResult t; // a share a hair below 95 % never prints as 0.95
    t.frames = 120000;
    t.trackedFrames = 113999;
    EXPECT_EQ(t.trackedShare(), 0.9499);
    t.trackedFrames = 114000;
    EXPECT_EQ(t.trackedShare(), 0.95);
}

TEST(SkywandFinder, FirstDeviceWhoseButtonGoesDownOnceSeenReleased) {
    SkywandFinder finder;
    // S1 lies on its button 1; S3, in the older layout, has its joystick in entries 4 to 7.
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6), wand(8)}, 3));
    EXPECT_FALSE(finder.addFrame({wand(6, 0b1), wand(6), wand(8, 0xF0)}, 3));
    EXPECT_FALSE(finder.addFrame({wand(6), wand(6), wand(8)}, 3));
    // S2 leaves the line (kept values) or goes untracked, then comes back held: no press.
    EXPECT_FALSE(finder.addFrame({wand(6), wand(6), wand(8)}, 1));
    EXPECT_FALSE(finder.addFrame({wand(6), wand(6, 0, 0, 0, 2, -1.0f), wand(8)}, 3));
    EXPECT_FALSE(finder.addFrame({wand(6), wand(6, 0b1), wand(8)}, 3));
    // Released, S1's button counts, as does S2's joystick press: the first in the frame wins.
    EXPECT_EQ(finder.addFrame({wand(6, 0b1), wand(6, 0b100000), wand(8)}, 3), 0);
    EXPECT_EQ(finder.addFrame({wand(6), wand(6, 0b1), wand(8)}, 3), 0);
}

// Random but valid streams: counters that step, repeat, go back or jump; "ts" present or not;
// records carried or not, tracked or not; any button word and stick values. Whatever comes,
// the check keeps its promises.
TEST(SkywandCheck, InvariantsHoldOnRandomStreams) {
    std::mt19937 random(20261207);
    int passes = 0;
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    for (int run = 0; run < 300; ++run) {
        Feed f;
        const Ms limit(200 + pick(2000));
        f.check = SkywandCheck({"S1", 5000, limit}, f.now, {});
        const bool withTs = pick(2) == 0;
        double ts = pick(1000);
        std::uint32_t first = 0, highest = 0;   // of the counters the check has seen in this run
        long restartsSeen = 0, spansBefore = 0; // counters spanned by the runs before this one
        std::optional<CheckReport> decided;
        // A messy run mixes every kind of step and record; a clean one can pass.
        const bool messy = pick(2) == 0;
        const int runButtons = pick(4), runSticks = pick(2) * 2;
        for (int i = 0, n = pick(3000); i < n; ++i) {
            const int step[] = {1, 1, 1, 1, 0, -1, 2, 70, -200, 2000000};
            f.counter += std::uint32_t(messy || pick(100) == 0 ? step[pick(10)] : 1);
            const int buttons = messy ? pick(10) : runButtons;
            const float x = float(pick(201) - 100) / 100, y = float(pick(201) - 100) / 100;
            ombrix_skywand_type r =
                wand(buttons, unsigned(random()), x, y, messy ? pick(3) : runSticks);
            r.quality = pick(messy ? 5 : 100) == 0 ? -1.0f : 1.0f;
            const bool carried = pick(messy ? 5 : 100) != 0;
            f.now += Ms(pick(40));
            ts += pick(10) == 0 ? -1.0 : pick(40) / 1000.0;
            if (i == 0)
                first = highest = f.counter;
            const bool garbage = i > 0 && pick(20) == 0;
            f.check.datagramRead(garbage ? "garbage" : "fr " + std::to_string(f.counter), f.now);
            f.check.addFrame({r, carried, withTs ? ts : -1.0}, f.now);
            const CheckReport now = f.report();
            if (now.tracking.counterRestarts > restartsSeen) {
                restartsSeen = now.tracking.counterRestarts;
                spansBefore += long(highest - first);
                first = highest = f.counter;
            } else if (std::uint32_t(f.counter - highest) <= 1000000u) {
                highest = f.counter;
            }
            // Lost counters lie within the spans of the runs.
            EXPECT_LE(now.tracking.lostFrames, spansBefore + long(highest - first));
            if (decided) {
                EXPECT_EQ(now.verdict, decided->verdict) << "verdict changed";
                EXPECT_EQ(now.durationS, decided->durationS);
                EXPECT_EQ(now.tracking.frames, decided->tracking.frames);
            } else if (f.check.finished()) {
                decided = now;
            }
            passes += now.verdict == CheckVerdict::pass && i + 1 == n;
            if (now.verdict == CheckVerdict::pass) {
                EXPECT_FALSE(now.buttons.empty() && !now.joystick.present) << "empty checklist";
                EXPECT_TRUE(now.openItems.empty());
            }
            EXPECT_LE(now.durationS, limit.count() / 1000.0) << "past the limit";
        }
    }
    EXPECT_GT(passes, 10); // the promises about a pass were put to the test
}

// The checklist as both the Check window and the monitor show it.
TEST(CheckItems, WordedFromTheReport) {
    using Items = std::vector<CheckItem>;
    CheckReport report;
    report.device = "S2";
    report.tracking = {false, 3, 2, 1, 0, 0, 1, 0, 59.96};
    const CheckItem tracking{"Tracking", false,
                             "3 frames, 66.6 % tracked, 1 lost, 1 unparsable, 60.0 Hz"};
    EXPECT_EQ(checkItems(report), (Items{{"Device data", false, "no record of S2 yet"}, tracking}));

    report.deviceSeen = true;
    report.buttons = {{"Button 1", true, false, 1, 0}, {"Button 2", false, true, 2, 1}};
    EXPECT_EQ(checkItems(report), (Items{{"Button 1", true, "1 press"},
                                         {"Button 2", false, "2 presses, 1 bounce, down"},
                                         {"Joystick", false, "no joystick values: skipped"},
                                         tracking}));
    report.buttons.clear();
    report.joystick = {true, true, {}, 8, 0.951, 0.0104, -0.02};
    EXPECT_EQ(checkItems(report).front().text,
              "8 of 8 directions, farthest 0.95, rest 0.010 -0.020");
}
