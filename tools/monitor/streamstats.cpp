#include "streamstats.h"

#include <algorithm>
#include <cmath>
#include <vector>

StreamStats::StreamStats(double start_s) : silence_start(start_s) {}

void StreamStats::arrived(double now, unsigned dropped) {
    received_count += 1 + static_cast<std::uint64_t>(dropped);
    dropped_count += dropped;
    if (last_arrival) {
        longest_interval_s = std::max(longest_interval_s, now - *last_arrival);
    } else {
        first_arrival = now;
    }
    last_arrival = now;
    recent.push_back({now, 1 + dropped});
    forget(now);
    silence_start = now;
    silence_timeouts = 0;
}

void StreamStats::datagramRead(std::string_view datagram) {
    if (const std::optional<std::uint32_t> counter = FrameCounter::counterOf(datagram)) {
        counters.add(*counter);
    }
}

void StreamStats::frameParsed(double now, std::uint32_t frame_counter, unsigned dropped,
                              const RecordCounts& counts, double timestamp) {
    arrived(now, dropped);
    ++read_count;
    last_counter = frame_counter;
    last_counts = counts;
    last_timestamp = timestamp;
}

void StreamStats::parseFailed(double now, unsigned dropped) {
    arrived(now, dropped);
    ++read_count;
    ++parse_error_count;
}

void StreamStats::receiveFailed(double now, unsigned dropped) {
    ++receive_error_count;
    if (dropped > 0) {
        // The skipped datagrams did arrive, even though the newest one was unusable.
        received_count += dropped;
        dropped_count += dropped;
        recent.push_back({now, dropped});
        forget(now);
    }
}

void StreamStats::waitedInVain(double now) {
    const double silence = now - silence_start;
    const auto whole_timeouts = static_cast<std::uint64_t>(std::floor(silence / timeout_s));
    if (whole_timeouts > silence_timeouts) {
        timeout_count += whole_timeouts - silence_timeouts;
        silence_timeouts = whole_timeouts;
    }
}

void StreamStats::forget(double now) const {
    while (!recent.empty() && recent.front().time <= now - window_s) {
        recent.pop_front();
    }
}

std::size_t StreamStats::rate(double now) const {
    forget(now);
    std::size_t datagrams = 0;
    for (const Arrival& arrival : recent) {
        datagrams += arrival.datagrams;
    }
    return datagrams;
}

std::optional<StreamStats::Percentiles> StreamStats::intervals(double now) const {
    forget(now);
    if (recent.size() < 2) {
        return std::nullopt;
    }
    std::vector<double> gaps;
    gaps.reserve(recent.size() - 1);
    for (std::size_t i = 1; i < recent.size(); ++i) {
        gaps.push_back(recent[i].time - recent[i - 1].time);
    }
    std::sort(gaps.begin(), gaps.end());
    // Nearest rank: the smallest interval that at least the given share of intervals reach.
    const auto rank = [&gaps](double share) {
        const auto index = static_cast<std::size_t>(std::ceil(share * gaps.size()));
        return gaps[std::min(gaps.size(), std::max<std::size_t>(index, 1)) - 1] * 1000.0;
    };
    return Percentiles{rank(0.50), rank(0.99)};
}

double StreamStats::span() const {
    return first_arrival && last_arrival ? *last_arrival - *first_arrival : 0.0;
}

double StreamStats::averageRate() const {
    const double seconds = span();
    if (seconds <= 0.0 || received_count < 2) {
        return 0.0;
    }
    // The first arrival opens the span; every later one falls inside it.
    return static_cast<double>(received_count - 1) / seconds;
}
