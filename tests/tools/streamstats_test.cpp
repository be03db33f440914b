// The monitor's figures: lost frames from gaps in the frame counter, dropped datagrams,
// counter restarts, time-outs per second of silence, rate and interval percentiles.

#include "streamstats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// One receive outcome: a frame with its counter, or (counter none) a datagram that did not parse.
struct Event {
    std::optional<std::uint32_t> counter;
    unsigned dropped = 0;
};

struct GapCase {
    const char* name;
    std::vector<Event> events;
    std::uint64_t lost;
    std::uint64_t restarts;
    std::uint64_t received;
};

// Keeps test names in CTest short: the case name, not the bytes of the parameter.
void PrintTo(const GapCase& c, std::ostream* out) {
    *out << c.name;
}

Event frame(std::uint32_t counter, unsigned dropped = 0) {
    return {counter, dropped};
}

Event unparsable(unsigned dropped = 0) {
    return {std::nullopt, dropped};
}

class FrameCounterGaps : public testing::TestWithParam<GapCase> {};

TEST_P(FrameCounterGaps, GiveLostFramesAndRestarts) {
    const GapCase& c = GetParam();
    StreamStats stats(0.0);
    double now = 0.0;
    for (const Event& event : c.events) {
        now += 0.01;
        if (event.counter) {
            stats.frameParsed(now, *event.counter, event.dropped, {}, now);
        } else {
            stats.parseFailed(now, event.dropped);
        }
    }
    EXPECT_EQ(stats.lost(), c.lost);
    EXPECT_EQ(stats.restarts(), c.restarts);
    EXPECT_EQ(stats.received(), c.received);
}

const std::uint32_t top = 4294967295u;

INSTANTIATE_TEST_SUITE_P(
    StreamStats, FrameCounterGaps,
    testing::Values(
        GapCase{"steady", {frame(1), frame(2), frame(3)}, 0, 0, 3},
        GapCase{"gap", {frame(1), frame(2), frame(6), frame(7)}, 3, 0, 4},
        GapCase{"first_frame_sets_the_start", {frame(500), frame(501)}, 0, 0, 2},
        GapCase{"wrap", {frame(top - 1), frame(top), frame(0), frame(1)}, 0, 0, 4},
        GapCase{"gap_across_the_wrap", {frame(top), frame(2)}, 2, 0, 2},
        GapCase{"restart_counts_no_loss", {frame(100), frame(101), frame(1), frame(2)}, 0, 1, 4},
        GapCase{"repeated_counter", {frame(5), frame(5), frame(6)}, 0, 1, 3},
        GapCase{"giant_jump_is_a_restart", {frame(1), frame(1000003), frame(1000004)}, 0, 1, 3},
        GapCase{"largest_counted_gap", {frame(1), frame(1000001)}, 999999, 0, 2},
        // Datagrams that arrived but were skipped to reach the newest are no loss.
        GapCase{"drops_fill_the_gap", {frame(1), frame(5, 3)}, 0, 0, 5},
        GapCase{"drops_fill_part_of_the_gap", {frame(1), frame(10, 2)}, 6, 0, 4},
        GapCase{"unparsable_datagram_fills_the_gap", {frame(1), unparsable(), frame(3)}, 0, 0, 3},
        GapCase{"unparsable_with_drops", {frame(1), unparsable(2), frame(6)}, 1, 0, 5},
        GapCase{"only_unparsable", {unparsable(), unparsable(1)}, 0, 0, 3}),
    [](const testing::TestParamInfo<GapCase>& info) { return info.param.name; });

TEST(StreamStats, ReadCountsDatagramsHandedOverAndDroppedCountsSkippedOnes) {
    StreamStats stats(0.0);
    stats.frameParsed(0.1, 1, 0, {}, 0.0);
    stats.frameParsed(0.2, 4, 2, {}, 0.0);
    stats.parseFailed(0.3, 1);
    stats.receiveFailed(0.4, 3); // the skipped ones arrived even though the newest was unusable
    stats.receiveFailed(0.5, 0);
    EXPECT_EQ(stats.read(), 3u);
    EXPECT_EQ(stats.dropped(), 6u);
    EXPECT_EQ(stats.received(), 9u);
    EXPECT_EQ(stats.parseErrors(), 1u);
    EXPECT_EQ(stats.receiveErrors(), 2u);
    EXPECT_EQ(stats.lost(), 0u);
}

TEST(StreamStats, OneTimeOutPerFullSecondOfSilence) {
    StreamStats stats(10.0);
    // The client gives up every 0.2 s; silence from the start counts.
    for (double now = 10.2; now < 12.55; now += 0.2) {
        stats.waitedInVain(now);
    }
    EXPECT_EQ(stats.timeouts(), 2u);

    // An arrival ends the silence; the next one is measured from it.
    stats.frameParsed(12.6, 1, 0, {}, 0.0);
    stats.waitedInVain(13.5);
    EXPECT_EQ(stats.timeouts(), 2u);
    stats.waitedInVain(13.7);
    EXPECT_EQ(stats.timeouts(), 3u);
    // A waiting period that was missed is still counted in whole seconds.
    stats.waitedInVain(16.0);
    EXPECT_EQ(stats.timeouts(), 5u);
}

TEST(StreamStats, RateAndIntervalsCoverTheLastSecondOnly) {
    StreamStats stats(0.0);
    std::uint32_t counter = 0;
    double now = 0.0;
    // One second of 20 ms intervals, then one second of 10 ms intervals with two of 30 ms.
    for (int i = 0; i < 50; ++i) {
        now += 0.020;
        stats.frameParsed(now, ++counter, 0, {}, now);
    }
    for (int i = 0; i < 96; ++i) {
        now += (i == 40 || i == 80) ? 0.030 : 0.010;
        stats.frameParsed(now, ++counter, 0, {}, now);
    }
    ASSERT_NEAR(now, 2.0, 1e-9);
    const double probe = now + 1e-6;
    EXPECT_EQ(stats.rate(probe), 96u);
    const std::optional<StreamStats::Percentiles> intervals = stats.intervals(probe);
    ASSERT_TRUE(intervals);
    EXPECT_NEAR(intervals->p50_ms, 10.0, 1e-6);
    EXPECT_NEAR(intervals->p99_ms, 30.0, 1e-6);
    EXPECT_NEAR(stats.longestIntervalMs(), 30.0, 1e-6);
    EXPECT_NEAR(stats.averageRate(), 145.0 / (2.0 - 0.02), 1e-6);

    // Dropped datagrams count towards the rate; after a silent second nothing is left.
    stats.frameParsed(now + 0.01, ++counter, 4, {}, 0.0);
    EXPECT_EQ(stats.rate(now + 0.011), 5u + 95u);
    EXPECT_EQ(stats.rate(now + 1.5), 0u);
    EXPECT_FALSE(stats.intervals(now + 1.5));
}

TEST(StreamStats, LastFrameKeepsItsCountsAndTimestamp) {
    StreamStats stats(0.0);
    EXPECT_FALSE(stats.hasFrame());
    stats.frameParsed(0.1, 7, 0, {3, 2, 1, 2, 4}, 1.5);
    stats.parseFailed(0.2, 0); // a failed datagram leaves the last frame as it was
    ASSERT_TRUE(stats.hasFrame());
    EXPECT_EQ(stats.lastFrameCounter(), 7u);
    EXPECT_EQ(stats.lastTimestamp(), 1.5);
    EXPECT_EQ(stats.lastCounts().skywands, 2);
    EXPECT_EQ(stats.lastCounts().markers, 4);
}

} // namespace
