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

    // How many records of each kind the client held after a frame.
    struct RecordCounts {
        int bodies = 0;
        int skywands = 0;
        int tools = 0;
        int hands = 0;
        int markers = 0;
    };

    struct Percentiles {
        double p50_ms = 0;
        double p99_ms = 0;
    };

    explicit StreamStats(double start_s);

    // Every datagram the client read, the ones it skipped to reach the newest included: its
    // frame counter tells lost, late, repeated and restarted counters apart.
    void datagramRead(std::string_view datagram);
    // A frame parsed at time now; dropped = older datagrams skipped to reach it.
    void frameParsed(double now, std::uint32_t frame_counter, unsigned dropped,
                     const RecordCounts& counts, double timestamp);
    // A datagram read at time now that is not a valid frame.
    void parseFailed(double now, unsigned dropped);
    // A receive that got no usable datagram: a read error or an empty datagram.
    void receiveFailed(double now, unsigned dropped);
    // A receive that waited its whole time-out in vain.
    void waitedInVain(double now);

    // Datagrams that arrived within the last window before now, dropped ones included.
    std::size_t rate(double now) const;
    // Arrival intervals within the last window before now; none when fewer than two arrived.
    std::optional<Percentiles> intervals(double now) const;

    std::uint64_t received() const { return received_count; }
    std::uint64_t read() const { return read_count; }
    // Counters the controller skipped that no datagram carried.
    std::uint64_t lost() const { return std::uint64_t(counters.lost()); }
    std::uint64_t dropped() const { return dropped_count; }
    std::uint64_t restarts() const { return std::uint64_t(counters.restarts()); }
    std::uint64_t timeouts() const { return timeout_count; }
    std::uint64_t receiveErrors() const { return receive_error_count; }
    std::uint64_t parseErrors() const { return parse_error_count; }

    // When the current silence began: the last arrival, or the start.
    double silenceStart() const { return silence_start; }

    bool hasFrame() const { return last_counter.has_value(); }
    std::uint32_t lastFrameCounter() const { return last_counter.value_or(0); }
    double lastTimestamp() const { return last_timestamp; }
    const RecordCounts& lastCounts() const { return last_counts; }

    // Seconds from the first to the last arrival; 0 until two datagrams arrived.
    double span() const;
    // Average arrivals per second over the span; 0 until two datagrams arrived.
    double averageRate() const;
    // The longest time between two arrivals, in milliseconds; 0 until two arrived.
    double longestIntervalMs() const { return longest_interval_s * 1000.0; }

private:
    void arrived(double now, unsigned dropped);
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

    std::optional<double> first_arrival;
    std::optional<double> last_arrival;
    double longest_interval_s = 0;

    FrameCounter counters;
    std::optional<std::uint32_t> last_counter;
    double last_timestamp = -1.0;
    RecordCounts last_counts;

    std::uint64_t received_count = 0;
    std::uint64_t read_count = 0;
    std::uint64_t dropped_count = 0;
    std::uint64_t timeout_count = 0;
    std::uint64_t receive_error_count = 0;
    std::uint64_t parse_error_count = 0;
};

#endif // STREAMSTATS_H
