// Counts a tracking controller's frame counters as they arrive, to tell frames the controller
// sent but that never arrived (lost) from frames that arrived late (reordered), twice
// (repeated), or from a controller that started counting anew (restarted).
//
// The rules, for a counter c arriving after the highest counter h of the current run:
// - c = h + s with 1 <= s <= maxGap (unsigned, so the wrap from 4294967295 to 0 is a step of 1):
//   a new frame; the s - 1 counters between are counted lost for now.
// - c = h: repeated.
// - c = h - b with 1 <= b < reorderWindow: late. If c was counted lost it was reordered: it
//   counts as a frame and is no longer lost. If c had arrived already, or lies before the run's
//   first counter, it is repeated.
// - anything else (a step back of reorderWindow or more, or a jump beyond maxGap): a restart;
//   c begins a new run, and nothing is counted lost for the jump.
// So within every run, frames + lost = the counters from the run's first to its highest.

#ifndef FRAMECOUNTER_H
#define FRAMECOUNTER_H

#include <cstdint>
#include <optional>
#include <string_view>

class FrameCounter {
public:
    // How far back a counter may arrive and still count as late, not as a restart.
    static constexpr std::uint32_t reorderWindow = 64;
    // A forward jump beyond this is a restart: a million frames is hours of tracking at any
    // controller's rate, far more than a stream that keeps arriving can have lost.
    static constexpr std::uint32_t maxGap = 1000000;

    void add(std::uint32_t counter);

    // The value of the first "fr " line of a datagram, read as the client reads it; none when
    // there is no such line or its number cannot be read.
    static std::optional<std::uint32_t> counterOf(std::string_view datagram);

    long frames() const { return frameCount; } // distinct counters that arrived
    long lost() const { return lostCount; }
    long reordered() const { return reorderedCount; }
    long repeated() const { return repeatedCount; }
    long restarts() const { return restartCount; }

private:
    bool started = false;
    std::uint32_t highest = 0;
    // Bit k: counter highest - k has arrived, or lies before the run's first counter.
    std::uint64_t arrived = 0;
    long frameCount = 0;
    long lostCount = 0;
    long reorderedCount = 0;
    long repeatedCount = 0;
    long restartCount = 0;
};

#endif // FRAMECOUNTER_H
