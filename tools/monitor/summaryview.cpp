#include "summaryview.h"

#include "fixeddecimal.h"

#include <utility>

namespace {

std::string count(std::uint64_t value) {
    return std::to_string(value);
}

} // namespace

SummaryView::SummaryView(unsigned short port, std::string record_file)
    : port(port), record_file(std::move(record_file)) {}

std::string SummaryView::intervalText(const StreamStats& stats, double now) const {
    const std::optional<StreamStats::Percentiles> intervals = stats.intervals(now);
    if (!intervals) {
        return "interval -";
    }
    return "interval p50 " + fixedDecimal(intervals->p50_ms, 2) + " ms  p99 " +
           fixedDecimal(intervals->p99_ms, 2) + " ms  jitter " +
           fixedDecimal(intervals->p99_ms - intervals->p50_ms, 2) + " ms";
}

std::string SummaryView::lastFrameText(const StreamStats& stats) const {
    if (!stats.hasFrame()) {
        return "none yet";
    }
    const StreamStats::RecordCounts& counts = stats.lastCounts();
    return std::to_string(stats.lastFrameCounter()) + "  ts " +
           fixedDecimal(stats.lastTimestamp(), 3) + "  bodies " + std::to_string(counts.bodies) +
           "  skywands " + std::to_string(counts.skywands) + "  tools " +
           std::to_string(counts.tools) + "  hands " + std::to_string(counts.hands) + "  markers " +
           std::to_string(counts.markers);
}

std::vector<std::string> SummaryView::liveLines(const StreamStats& stats, double now,
                                                double elapsed) const {
    std::string title =
        "ombrix-monitor  UDP port " + std::to_string(port) + "  " + fixedDecimal(elapsed, 1) + " s";
    if (!record_file.empty()) {
        title += "  recording " + count(stats.read()) + " frames";
    }
    return {
        title,
        "rate        " + std::to_string(stats.rate(now)) + " frames/s   " +
            intervalText(stats, now),
        "frames      " + count(stats.received()) + " received  " + count(stats.lost()) + " lost  " +
            count(stats.dropped()) + " dropped  " + count(stats.restarts()) + " restarts",
        "errors      " + count(stats.timeouts()) + " time-out  " + count(stats.receiveErrors()) +
            " receive  " + count(stats.parseErrors()) + " parse",
        "last frame  " + lastFrameText(stats),
    };
}

std::string SummaryView::plainLine(const StreamStats& stats, double now, double elapsed) const {
    return fixedDecimal(elapsed, 1) + " s: " + std::to_string(stats.rate(now)) + " frames/s, " +
           intervalText(stats, now) + "; " + count(stats.received()) + " received, " +
           count(stats.lost()) + " lost, " + count(stats.dropped()) + " dropped, " +
           count(stats.restarts()) + " restarts; errors " + count(stats.timeouts()) +
           " time-out, " + count(stats.receiveErrors()) + " receive, " +
           count(stats.parseErrors()) + " parse; last frame " + lastFrameText(stats);
}

std::string SummaryView::finalLine(const StreamStats& stats, double elapsed,
                                   unsigned long long recorded) const {
    std::string line = "ombrix-monitor: " + count(stats.received()) +
                       (stats.received() == 1 ? " frame" : " frames") + " received in " +
                       fixedDecimal(elapsed, 1) + " s";
    // A rate and a longest gap need two arrivals.
    if (stats.received() >= 2 && stats.span() > 0.0) {
        line += " (" + fixedDecimal(stats.averageRate(), 1) + " frames/s, longest gap " +
                fixedDecimal(stats.longestIntervalMs(), 1) + " ms)";
    }
    line += ", " + count(stats.lost()) + " lost, " + count(stats.dropped()) + " dropped, " +
            count(stats.restarts()) + " restarts; errors: " + count(stats.timeouts()) +
            " time-out, " + count(stats.receiveErrors()) + " receive, " +
            count(stats.parseErrors()) + " parse";
    if (!record_file.empty()) {
        line += "; " + std::to_string(recorded) + (recorded == 1 ? " frame" : " frames") +
                " recorded to " + record_file;
    }
    return line;
}
