// The summary of ombrix-monitor: a block refreshed in place on a terminal, a plain line per
// second elsewhere, and the closing line.

#include "Ombrix.h"
#include "forwarder.h"
#include "frameview.h"
#include "terminalblock.h"

#include <fmt/format.h>

#include <string>
#include <vector>

namespace {

// The in-place summary is redrawn this often on a terminal; elsewhere a line per second.
constexpr double terminal_refresh_s = 0.25;
constexpr double plain_refresh_s = 1.0;

// The figures every form of the summary gives, separated by sep.
std::string lossText(const StreamStats& stats, const char* sep) {
    return fmt::format("{} lost{sep}{} dropped{sep}{} restarts", stats.counters().lost(),
                       stats.figures().dropped, stats.counters().restarts(), fmt::arg("sep", sep));
}

std::string errorText(const StreamStats::Figures& counts, const char* sep) {
    return fmt::format("{} time-out{sep}{} receive{sep}{} parse", counts.timeouts,
                       counts.receive_errors, counts.parse_errors, fmt::arg("sep", sep));
}

class SummaryView : public FrameView {
public:
    SummaryView(const std::string& record_file, const Context& context)
        : FrameView(context), record_file(record_file),
          // A terminal shows the block at once; a plain line first comes when there is a
          // second to report.
          next_refresh_s(context.start_s + (context.out_is_terminal ? 0.0 : plain_refresh_s)) {}

    // Its counter and timestamp, and how many records of each kind the client holds after it:
    // kept as numbers and put into words only when shown, a few times a second at most.
    void frame(const Ombrix& client, double, unsigned) override {
        last_frame = {client.get_framecounter(), client.get_timestamp(),   client.get_num_body(),
                      client.get_num_skywand(),  client.get_num_meatool(), client.get_num_hand(),
                      client.get_num_marker()};
    }

    bool tick(double now) override {
        if (now >= next_refresh_s) {
            show(now, false);
        }
        return false;
    }

    int finish(double now, bool, bool failed) override {
        if (!failed) {
            show(now, true);
        }
        return 0;
    }

private:
    std::string intervalText(double now) const {
        const std::optional<StreamStats::Percentiles> intervals = context.stats.intervals(now);
        if (!intervals) {
            return "interval -";
        }
        return fmt::format("interval p50 {:.2f} ms  p99 {:.2f} ms  jitter {:.2f} ms",
                           intervals->p50_ms, intervals->p99_ms,
                           intervals->p99_ms - intervals->p50_ms);
    }

    std::string lastFrameText() const {
        if (!last_frame) {
            return "none yet";
        }
        const LastFrame& f = *last_frame;
        return fmt::format("{}  ts {:.3f}  bodies {}  skywands {}  tools {}  hands {}  markers {}",
                           f.counter, f.timestamp, f.bodies, f.skywands, f.tools, f.hands,
                           f.markers);
    }

    void show(double now, bool final_refresh) {
        const StreamStats& stats = context.stats;
        const StreamStats::Figures& counts = stats.figures();
        const double elapsed = now - context.start_s;
        if (context.out_is_terminal) {
            std::string title =
                fmt::format("ombrix-monitor  UDP port {}  {:.1f} s", context.port, elapsed);
            if (!record_file.empty()) {
                title += fmt::format("  recording {} frames", counts.read);
            }
            std::vector<std::string> lines{
                title,
                fmt::format("rate        {} frames/s   {}", stats.rate(now), intervalText(now)),
                fmt::format("frames      {} received  {}", counts.received, lossText(stats, "  ")),
                "errors      " + errorText(counts, "  "),
                "last frame  " + lastFrameText(),
            };
            if (context.forwarder) {
                const std::vector<std::string> forwarding = context.forwarder->destinationLines();
                lines.insert(lines.end(), forwarding.begin(), forwarding.end());
            }
            block.draw(out, lines);
            next_refresh_s = now + terminal_refresh_s;
        } else {
            if (!final_refresh) {
                out << fmt::format("{:.1f} s: {} frames/s, {}; {} received, {}; errors {}; last "
                                   "frame {}",
                                   elapsed, stats.rate(now), intervalText(now), counts.received,
                                   lossText(stats, ", "), errorText(counts, ", "), lastFrameText())
                    << (context.forwarder ? "; " + context.forwarder->summary() : "") << "\n";
            }
            next_refresh_s = now + plain_refresh_s;
        }
        out.flush();
    }

    const std::string record_file; // empty when not recording
    struct LastFrame {
        unsigned counter;
        double timestamp;
        int bodies, skywands, tools, hands, markers;
    };
    std::optional<LastFrame> last_frame; // none yet
    TerminalBlock block;
    double next_refresh_s;
};

} // namespace

std::unique_ptr<FrameView> FrameView::summary(const std::string& record_file,
                                              const Context& context) {
    return std::make_unique<SummaryView>(record_file, context);
}

std::string closingLine(const StreamStats& stats, double elapsed, const std::string& record_file,
                        const Forwarder* forwarder) {
    const StreamStats::Figures& figures = stats.figures();
    const std::uint64_t received = figures.received;
    const double span = figures.last_arrival - figures.first_arrival;
    std::string line = fmt::format("ombrix-monitor: {} frame{} received in {:.1f} s", received,
                                   received == 1 ? "" : "s", elapsed);
    // A rate and a longest gap need two arrivals; the first opens the span, the later ones fall
    // inside it.
    if (received >= 2 && span > 0.0) {
        line += fmt::format(" ({:.1f} frames/s, longest gap {:.1f} ms)",
                            static_cast<double>(received - 1) / span,
                            figures.longest_interval * 1000.0);
    }
    line += fmt::format(", {}; errors: {}", lossText(stats, ", "), errorText(figures, ", "));
    if (!record_file.empty()) {
        const std::uint64_t recorded = figures.read;
        line += fmt::format("; {} frame{} recorded to {}", recorded, recorded == 1 ? "" : "s",
                            record_file);
    }
    return line + (forwarder ? "; " + forwarder->summary() : "");
}
