#include "streamstats.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

void StreamStats::arrived(double now, unsigned dropped, bool parsed) {
    totals.received += 1 + static_cast<std::uint64_t>(dropped);
    totals.dropped += dropped;
    ++totals.read;
    totals.parse_errors += parsed ? 0 : 1;
    if (totals.read == 1) {
        totals.first_arrival = totals.last_arrival = now;
    }
    totals.longest_interval = std::max(totals.longest_interval, now - totals.last_arrival);
    totals.last_arrival = now;
    totals.silence_start = now;
    silence_timeouts = 0;
    recent.push_back({now, 1 + dropped});
    forget(now);
}

std::optional<std::uint32_t> StreamStats::datagramRead(std::string_view datagram) {
    const std::optional<std::uint32_t> counter = FrameCounter::counterOf(datagram);
    if (counter) {
        frame_counters.add(*counter);
    }
    return counter;
}

void StreamStats::receiveFailed(double now, unsigned dropped) {
    ++totals.receive_errors;
    if (dropped > 0) {
        // The skipped datagrams did arrive, even though the newest one was unusable.
        totals.received += dropped;
        totals.dropped += dropped;
        recent.push_back({now, dropped});
        forget(now);
    }
}

void StreamStats::waitedInVain(double now) {
    const double silence = now - totals.silence_start;
    const auto whole_timeouts = static_cast<std::uint64_t>(std::floor(silence / timeout_s));
    if (whole_timeouts > silence_timeouts) {
        totals.timeouts += whole_timeouts - silence_timeouts;
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
    return std::accumulate(recent.begin(), recent.end(), std::size_t(0),
                           [](std::size_t sum, const Arrival& a) { return sum + a.datagrams; });
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
