// ombrix-monitor's --find and --check: the search for the Skywand in the user's hand, or the
// guided check of one Skywand, fed with every frame the monitor parses. The check's checklist
// is redrawn in place on a terminal and printed as one plain line per change elsewhere; the
// outcome is the last line of the output and the exit status.

#include "Ombrix.h"
#include "checkitems.h"
#include "commandline.h"
#include "frameview.h"
#include "skywandcheck.h"
#include "skywandfinder.h"
#include "terminalblock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = SkywandCheck::Clock;

// The check's time limit when --duration does not set one.
constexpr double default_time_limit_s = 120;
// The terminal's checklist is redrawn at most this often.
constexpr auto redraw_interval = std::chrono::milliseconds(100);

// Waits for the first Skywand on which a button goes down and prints its name.
class FindView : public FrameView {
public:
    explicit FindView(const Context& context) : FrameView(context) {
        context.err << "ombrix-monitor: press a button of the Skywand in your hand\n";
    }

    void frame(const Ombrix& client, double, unsigned) override {
        records.clear();
        for (int i = 0; i < client.get_num_skywand(); ++i) {
            records.push_back(client.get_skywand(i));
        }
        finder.addFrame(records, client.get_num_skywand_carried());
    }

    bool tick(double) override { return finder.found().has_value(); }

    int finish(double now, bool stopped, bool) override {
        if (const std::optional<int> found = finder.found()) {
            out << "S" << *found + 1 << "\n";
            out.flush();
            return success;
        }
        const StreamStats::Figures& figures = context.stats.figures();
        const std::uint64_t frames = figures.read - figures.parse_errors;
        const std::string within = fmt::format(" within {:.1f} s", now - context.start_s);
        context.err << "ombrix-monitor: "
                    << (stopped       ? "stopped before a Skywand button went down"
                        : frames == 0 ? "no tracking frame arrived on UDP port " +
                                            std::to_string(context.port) + within
                                      : fmt::format("no Skywand button went down{} ({} frame{})",
                                                    within, frames, frames == 1 ? "" : "s"))
                    << "\n";
        return runtime_failure;
    }

private:
    SkywandFinder finder;
    std::vector<ombrix_skywand_type> records; // of the newest frame, kept to save allocations
};

// The check of one Skywand, on the frames' counters as the stream's figures count them.
class CheckView : public FrameView {
public:
    CheckView(const MonitorOptions& options, const Context& context)
        : FrameView(context), options(options), device("S" + std::to_string(options.check)),
          limit_s(options.duration.value_or(default_time_limit_s)),
          check(
              {device, context.port,
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit_s))},
              Clock::now(), std::chrono::system_clock::now()) {}

    // Creates the report's temporary file beside the report, so that a folder that cannot be
    // written fails now rather than after the check. False with a message when it cannot.
    bool start() {
        if (!options.report_file.empty()) {
            // Renamed over the report once complete: an existing report stays as it was until
            // then, whatever ends the run.
            report_temp = options.report_file + ".XXXXXX";
            const int fd = ::mkstemp(report_temp.data());
            if (fd < 0) {
                context.err << "ombrix-monitor: " << options.report_file
                            << ": cannot write beside it: " << std::strerror(errno) << "\n";
                return false;
            }
            // mkstemp makes it private to the user; a report gets the mode any new file would get.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
            ::close(fd);
        }
        context.err << "ombrix-monitor: checking " << device << " for at most "
                    << fmt::format("{:.0f}", limit_s)
                    << " s: press and release every button, push the stick to its edge in all "
                       "eight directions, then let it rest for a second\n";
        return true;
    }

    void datagramRead(std::optional<std::uint32_t> counter) override {
        check.datagramCounted(counter.has_value(), context.stats.counters(), Clock::now());
    }

    void frame(const Ombrix& client, double, unsigned) override {
        // A device missing from the frame gives the untracked record: a frame it was not seen in.
        check.addFrame({client.get_skywand(options.check - 1),
                        options.check <= client.get_num_skywand_carried(), client.get_timestamp()},
                       Clock::now());
    }

    void unparsed(std::string_view datagram, double, unsigned) override {
        check.frameUnparsed(datagram);
    }

    bool tick(double) override {
        const Clock::time_point now = Clock::now();
        check.tick(now);
        show(now, false);
        return check.finished();
    }

    // Even when the output failed (a closed terminal): the report is written all the same.
    int finish(double, bool stopped, bool) override {
        const Clock::time_point now = Clock::now();
        check.finish(now);
        show(now, true);
        const CheckReport report = check.report(now);
        out << verdictLine(report, stopped) << "\n";
        out.flush();
        const bool passed = writeReport(report) && report.verdict == CheckVerdict::pass;
        return passed ? success : runtime_failure;
    }

private:
    std::string verdictLine(const CheckReport& report, bool stopped) const {
        const std::string duration = fmt::format("{:.1f} s", report.durationS);
        if (report.verdict == CheckVerdict::pass) {
            return device + ": pass in " + duration;
        }
        // The check ends early only when stopped or when --frames ends the run.
        const std::string why = stopped                       ? "stopped"
                                : report.durationS >= limit_s ? "time limit"
                                                              : "the run ended";
        return device + ": fail after " + duration + " (" + why +
               "); open: " + joinedNames(report.openItems);
    }

    bool writeReport(const CheckReport& report) {
        if (report_temp.empty()) {
            return true;
        }
        std::ofstream file(report_temp, std::ios::trunc);
        file << reportJson(report);
        file.close();
        const bool written = !file.fail();
        const int write_errno = errno;
        if (!written || std::rename(report_temp.c_str(), options.report_file.c_str()) != 0) {
            context.err << "ombrix-monitor: " << options.report_file << ": "
                        << (written ? "cannot replace: " : "write error: ")
                        << std::strerror(written ? errno : write_errno) << "\n";
            std::remove(report_temp.c_str());
            return false;
        }
        context.err << "ombrix-monitor: report written to " << options.report_file << "\n";
        return true;
    }

    void show(Clock::time_point now, bool final_refresh) {
        if (!context.out_is_terminal) {
            printChanges(check.report(now));
        } else if (final_refresh || now >= next_redraw) {
            const CheckReport report = check.report(now);
            std::string state = verdictText(report.verdict);
            if (report.verdict == CheckVerdict::running) {
                state += fmt::format(", {:.1f} s of {:.0f} s", report.durationS, limit_s);
            }
            std::vector<std::string> lines{
                fmt::format("ombrix-monitor  {} on UDP port {}  {}", device, context.port, state)};
            for (const CheckItem& item : checkItems(report)) {
                lines.push_back(
                    fmt::format("  [{}] {:<15}{}", item.ok ? "x" : " ", item.name, item.text));
            }
            block.draw(out, lines);
            next_redraw = now + redraw_interval;
        }
        out.flush();
    }

    // A line when the device's data first arrives, and one for each item that passed or no
    // longer does since the lines last printed.
    void printChanges(const CheckReport& report) {
        const std::vector<CheckItem> items = checkItems(report);
        const std::string when = fmt::format("{:.1f} s: ", report.durationS);
        if (report.deviceSeen && !printed_seen) {
            std::vector<std::string> names;
            for (const CheckItem& item : items) {
                names.push_back(item.name);
            }
            out << when << device << " sends data; to check: " << joinedNames(names) << "\n";
        }
        for (const CheckItem& item : items) {
            const bool was_ok =
                std::any_of(printed.begin(), printed.end(),
                            [&](const CheckItem& b) { return b.name == item.name && b.ok; });
            if (item.ok != was_ok) {
                out << when << item.name << (item.ok ? " ok (" : " no longer ok (") << item.text
                    << ")\n";
            }
        }
        printed = items;
        printed_seen = report.deviceSeen;
    }

    const MonitorOptions& options;
    const std::string device; // "S2"
    const double limit_s;
    SkywandCheck check;
    std::string report_temp; // the report's temporary file while the check runs
    Clock::time_point next_redraw;
    TerminalBlock block;
    std::vector<CheckItem> printed; // the items as the plain lines last told them
    bool printed_seen = false;      // and whether the device's checklist was known then
};

} // namespace

std::unique_ptr<FrameView> FrameView::device(const MonitorOptions& options,
                                             const Context& context) {
    if (options.find) {
        return std::make_unique<FindView>(context);
    }
    auto view = std::make_unique<CheckView>(options, context);
    return view->start() ? std::move(view) : nullptr;
}
