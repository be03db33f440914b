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

    struct Counts {
        std::uint64_t received = 0; // datagrams that arrived, dropped ones included
        std::uint64_t read = 0;     // datagrams handed over: frames and unparsable ones
        std::uint64_t dropped = 0;  // skipped to reach a newer one
        std::uint64_t timeouts = 0;
        std::uint64_t receive_errors = 0;
        std::uint64_t parse_errors = 0;
    };

    struct Percentiles {
        double p50_ms = 0;
        double p99_ms = 0;
    };

    explicit StreamStats(double start_s);

    // Every datagram the client read, the ones it skipped to reach the newest included: its
    // frame counter, returned (none when it has no readable one), tells lost, late, repeated
    // and restarted counters apart.
    std::optional<std::uint32_t> datagramRead(std::string_view datagram);
    // A datagram read at time now, a frame when parsed; dropped = older datagrams skipped to
    // reach it.
    void arrived(double now, unsigned dropped, bool parsed);
    // A receive that got no usable datagram: a read error or an empty datagram.
    void receiveFailed(double now, unsigned dropped);
    // A receive that waited its whole time-out in vain.
    void waitedInVain(double now);

    // Datagrams that arrived within the last window before now, dropped ones included.
    std::size_t rate(double now) const;
    // Arrival intervals within the last window before now; none when fewer than two arrived.
    std::optional<Percentiles> intervals(double now) const;

    const Counts& counts() const { return figures; }
    // Lost and restarted counters: those the controller skipped that no datagram carried.
    const FrameCounter& counters() const { return frame_counters; }
    // When the current silence began: the last arrival, or the start.
    double silenceStart() const { return silence_start; }

    // Seconds from the first to the last arrival; 0 until two datagrams arrived.
    double span() const { return last_arrival ? *last_arrival - first_arrival : 0.0; }
    // Average arrivals per second over the span; 0 until two datagrams arrived.
    double averageRate() const;
    // The longest time between two arrivals, in milliseconds; 0 until two arrived.
    double longestIntervalMs() const { return longest_interval_s * 1000.0; }

private:
    void forget(double now) const;

    // Reads within the window: when, and how many datagrams arrived with it (itself and the
    // ones dropped to reach it). Mutable so that reading the figures can prune it.
    struct Arrival {
        double time;
        unsigned datagrams;
    };
    mutable std::deque<Arrival> recent;
    double silence_start;
    std::uint64_t silence_timeouts = 0; // time-outs already counted for the current silence

    double first_arrival = 0;
    std::optional<double> last_arrival;
    double longest_interval_s = 0;

    FrameCounter frame_counters;
    Counts figures;
};

#endif // STREAMSTATS_H
