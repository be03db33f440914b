// Figures about a stream of tracking datagrams: rate, arrival intervals, lost frames, errors.

#ifndef STREAMSTATS_H
#define STREAMSTATS_H

#include "framecounter.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

// Fed with what each receive of the tracking client yielded and when; times are seconds on a
// steady clock. Keeps no more than the last second of arrivals, so a long run costs nothing.
class StreamStats {
public:
    // The window over which the rate and the interval percentiles are taken.
    static constexpr double window_s = 1.0;
    // A silence this long counts as one time-out, as in the tester.
    static constexpr double timeout_s = 1.0;

    struct Figures {
        std::uint64_t received = 0; // datagrams that arrived, dropped ones included
        std::uint64_t read = 0;     // datagrams handed over: frames and unparsable ones
        std::uint64_t dropped = 0;  // skipped to reach a newer one
        std::uint64_t timeouts = 0;
        std::uint64_t receive_errors = 0;
        std::uint64_t parse_errors = 0;
        double first_arrival = 0; // of a datagram read
        double last_arrival = 0;
        double longest_interval = 0; // between two datagrams read
        double silence_start = 0;    // the last arrival, or the start
    };

    struct Percentiles {
        double p50_ms = 0;
        double p99_ms = 0;
    };

    explicit StreamStats(double start_s) { totals.silence_start = start_s; }

    // Every datagram the client read, the ones it skipped to reach the newest included: its
    // frame counter, returned (none when it has no readable one), tells lost, late, repeated
    // and restarted counters apart.
    std::optional<std::uint32_t> datagramRead(std::string_view datagram);
    // A datagram read at time now, a frame when parsed; dropped = older datagrams skipped to
    // reach it.
    void arrived(double now, unsigned dropped, bool parsed);
    // A receive that got no usable datagram: a read error or an empty datagram.
    void receiveFailed(double now, unsigned dropped);
    // A receive that waited its whole time-out in vain: one more time-out per whole second of
    // the silence.
    void waitedInVain(double now);

    // Datagrams that arrived within the last window before now, dropped ones included.
    std::size_t rate(double now) const;
    // Arrival intervals within the last window before now; none when fewer than two arrived.
    std::optional<Percentiles> intervals(double now) const;

    const Figures& figures() const { return totals; }
    // Lost and restarted counters: those the controller skipped that no datagram carried.
    const FrameCounter& counters() const { return frame_counters; }

private:
    void forget(double now) const;

    // Reads within the window: when, and how many datagrams arrived with it (itself and the
    // ones dropped to reach it). Mutable so that reading the figures can prune it.
    struct Arrival {
        double time;
        unsigned datagrams;
    };
    mutable std::deque<Arrival> recent;
    std::uint64_t silence_timeouts = 0; // time-outs already counted for the current silence
    FrameCounter frame_counters;
    Figures totals;
};

#endif // STREAMSTATS_H
