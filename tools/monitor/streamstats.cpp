#include "streamstats.h"

#include <algorithm>
#include <cmath>
#include <vector>

StreamStats::StreamStats(double start_s) : silence_start(start_s) {}

void StreamStats::arrived(double now, unsigned dropped, bool parsed) {
    figures.received += 1 + static_cast<std::uint64_t>(dropped);
    figures.dropped += dropped;
    ++figures.read;
    figures.parse_errors += parsed ? 0 : 1;
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

std::optional<std::uint32_t> StreamStats::datagramRead(std::string_view datagram) {
    const std::optional<std::uint32_t> counter = FrameCounter::counterOf(datagram);
    if (counter) {
        frame_counters.add(*counter);
    }
    return counter;
}

void StreamStats::receiveFailed(double now, unsigned dropped) {
    ++figures.receive_errors;
    if (dropped > 0) {
        // The skipped datagrams did arrive, even though the newest one was unusable.
        figures.received += dropped;
        figures.dropped += dropped;
        recent.push_back({now, dropped});
        forget(now);
    }
}

void StreamStats::waitedInVain(double now) {
    const double silence = now - silence_start;
    const auto whole_timeouts = static_cast<std::uint64_t>(std::floor(silence / timeout_s));
    if (whole_timeouts > silence_timeouts) {
        figures.timeouts += whole_timeouts - silence_timeouts;
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

double StreamStats::averageRate() const {
    const double seconds = span();
    if (seconds <= 0.0 || figures.received < 2) {
        return 0.0;
    }
    // The first arrival opens the span; every later one falls inside it.
    return static_cast<double>(figures.received - 1) / seconds;
}
