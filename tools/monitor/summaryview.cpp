#include "summaryview.h"

#include <fmt/format.h>

#include <utility>

SummaryView::SummaryView(unsigned short port, std::string record_file)
    : port(port), record_file(std::move(record_file)) {}

std::string SummaryView::intervalText(const StreamStats& stats, double now) const {
    const std::optional<StreamStats::Percentiles> intervals = stats.intervals(now);
    if (!intervals) {
        return "interval -";
    }
    return fmt::format("interval p50 {:.2f} ms  p99 {:.2f} ms  jitter {:.2f} ms", intervals->p50_ms,
                       intervals->p99_ms, intervals->p99_ms - intervals->p50_ms);
}

std::string SummaryView::lastFrameText(const StreamStats& stats) const {
    if (!stats.hasFrame()) {
        return "none yet";
    }
    const StreamStats::RecordCounts& counts = stats.lastCounts();
    return fmt::format("{}  ts {:.3f}  bodies {}  skywands {}  tools {}  hands {}  markers {}",
                       stats.lastFrameCounter(), stats.lastTimestamp(), counts.bodies,
                       counts.skywands, counts.tools, counts.hands, counts.markers);
}

std::vector<std::string> SummaryView::liveLines(const StreamStats& stats, double now,
                                                double elapsed) const {
    std::string title = fmt::format("ombrix-monitor  UDP port {}  {:.1f} s", port, elapsed);
    if (!record_file.empty()) {
        title += fmt::format("  recording {} frames", stats.read());
    }
    return {
        title,
        fmt::format("rate        {} frames/s   {}", stats.rate(now), intervalText(stats, now)),
        fmt::format("frames      {} received  {} lost  {} dropped  {} restarts", stats.received(),
                    stats.lost(), stats.dropped(), stats.restarts()),
        fmt::format("errors      {} time-out  {} receive  {} parse", stats.timeouts(),
                    stats.receiveErrors(), stats.parseErrors()),
        "last frame  " + lastFrameText(stats),
    };
}

std::string SummaryView::plainLine(const StreamStats& stats, double now, double elapsed) const {
    return fmt::format("{:.1f} s: {} frames/s, {}; {} received, {} lost, {} dropped, {} restarts; "
                       "errors {} time-out, {} receive, {} parse; last frame {}",
                       elapsed, stats.rate(now), intervalText(stats, now), stats.received(),
                       stats.lost(), stats.dropped(), stats.restarts(), stats.timeouts(),
                       stats.receiveErrors(), stats.parseErrors(), lastFrameText(stats));
}

std::string SummaryView::finalLine(const StreamStats& stats, double elapsed,
                                   unsigned long long recorded) const {
    std::string line = fmt::format("ombrix-monitor: {} frame{} received in {:.1f} s",
                                   stats.received(), stats.received() == 1 ? "" : "s", elapsed);
    // A rate and a longest gap need two arrivals.
    if (stats.received() >= 2 && stats.span() > 0.0) {
        line += fmt::format(" ({:.1f} frames/s, longest gap {:.1f} ms)", stats.averageRate(),
                            stats.longestIntervalMs());
    }
    line += fmt::format(", {} lost, {} dropped, {} restarts; errors: {} time-out, {} receive, {} "
                        "parse",
                        stats.lost(), stats.dropped(), stats.restarts(), stats.timeouts(),
                        stats.receiveErrors(), stats.parseErrors());
    if (!record_file.empty()) {
        line += fmt::format("; {} frame{} recorded to {}", recorded, recorded == 1 ? "" : "s",
                            record_file);
    }
    return line;
}
