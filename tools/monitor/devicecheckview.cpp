#include "devicecheckview.h"

#include "Ombrix.h"
#include "monitor.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

DeviceCheckView::DeviceCheckView(const MonitorOptions& options, unsigned short port,
                                 std::ostream& out, std::ostream& err, bool out_is_terminal)
    : options(options), port(port), out(out), err(err), out_is_terminal(out_is_terminal),
      started(Clock::now()), next_redraw(started) {
    if (options.find) {
        finder.emplace();
        return;
    }
    device = "S" + std::to_string(options.check);
    const auto limit = std::chrono::duration<double>(timeLimitSeconds());
    check.emplace(
        SkywandCheck::Settings{device, port, std::chrono::duration_cast<Clock::duration>(limit)},
        started, std::chrono::system_clock::now());
}

double DeviceCheckView::timeLimitSeconds() const {
    return options.duration.value_or(std::chrono::duration<double>(default_time_limit).count());
}

bool DeviceCheckView::start() {
    if (finder) {
        err << "ombrix-monitor: press a button of the Skywand in your hand\n";
        return true;
    }
    if (!options.report_file.empty()) {
        // A temporary file in the same folder, renamed over the report once it is complete:
        // an existing report stays as it was until then, whatever ends the run.
        std::string name = options.report_file + ".XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0) {
            err << "ombrix-monitor: " << options.report_file
                << ": cannot write beside it: " << std::strerror(errno) << "\n";
            return false;
        }
        // mkstemp makes it private to the user; a report gets the mode any new file would get.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        report_temp = name;
        report_file.open(report_temp, std::ios::trunc);
    }
    err << "ombrix-monitor: checking " << device << " for at most "
        << fmt::format("{:.0f}", timeLimitSeconds())
        << " s: press and release every button, push the stick to its edge in all eight "
           "directions, then let it rest for a second\n";
    return true;
}

void DeviceCheckView::datagramRead(std::string_view datagram) {
    if (check) {
        check->datagramRead(datagram, Clock::now());
    }
}

void DeviceCheckView::frameUnparsed(std::string_view datagram) {
    if (check) {
        check->frameUnparsed(datagram);
    }
}

void DeviceCheckView::frameParsed(const Ombrix& client) {
    ++frames;
    if (finder) {
        records.clear();
        for (int i = 0; i < client.get_num_skywand(); ++i) {
            records.push_back(client.get_skywand(i));
        }
        finder->addFrame(records, client.get_num_skywand_carried());
        return;
    }
    // A device missing from the frame gives the untracked record: a frame it was not seen in.
    SkywandCheck::Frame frame;
    frame.record = client.get_skywand(options.check - 1);
    frame.carried = options.check <= client.get_num_skywand_carried();
    frame.timestamp = client.get_timestamp();
    check->addFrame(frame, Clock::now());
}

bool DeviceCheckView::tick() {
    if (finder) {
        return finder->found().has_value();
    }
    const Clock::time_point now = Clock::now();
    check->tick(now);
    show(now, false);
    return check->finished();
}

int DeviceCheckView::finish(bool stopped) {
    if (finder) {
        if (const std::optional<int> found = finder->found()) {
            out << "S" << *found + 1 << "\n";
            out.flush();
            return Monitor::success;
        }
        err << "ombrix-monitor: " << findFailure(stopped) << "\n";
        return Monitor::runtime_failure;
    }
    const Clock::time_point now = Clock::now();
    check->finish(now);
    show(now, true);
    const CheckReport report = check->report(now);
    out << verdictLine(report, stopped) << "\n";
    out.flush();
    if (!writeReport(report)) {
        return Monitor::runtime_failure;
    }
    return report.verdict == CheckVerdict::pass ? Monitor::success : Monitor::runtime_failure;
}

std::string DeviceCheckView::findFailure(bool stopped) const {
    if (stopped) {
        return "stopped before a Skywand button went down";
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    const std::string within = " within " + fmt::format("{:.1f}", elapsed) + " s";
    if (frames == 0) {
        return "no tracking frame arrived on UDP port " + std::to_string(port) + within;
    }
    return fmt::format("no Skywand button went down{} ({} frame{})", within, frames,
                       frames == 1 ? "" : "s");
}

std::string DeviceCheckView::verdictLine(const CheckReport& report, bool stopped) const {
    const std::string duration = fmt::format("{:.1f}", report.durationS) + " s";
    if (report.verdict == CheckVerdict::pass) {
        return device + ": pass in " + duration;
    }
    // The check ends early only when stopped or when --frames ends the run.
    const std::string why = stopped                                  ? "stopped"
                            : report.durationS >= timeLimitSeconds() ? "time limit"
                                                                     : "the run ended";
    return device + ": fail after " + duration + " (" + why +
           "); open: " + joinedNames(report.openItems);
}

bool DeviceCheckView::writeReport(const CheckReport& report) {
    if (report_temp.empty()) {
        return true;
    }
    report_file << reportJson(report);
    report_file.close();
    const bool written = !report_file.fail();
    const int write_errno = errno;
    if (!written || std::rename(report_temp.c_str(), options.report_file.c_str()) != 0) {
        err << "ombrix-monitor: " << options.report_file << ": "
            << (written ? "cannot replace: " : "write error: ")
            << std::strerror(written ? errno : write_errno) << "\n";
        std::remove(report_temp.c_str());
        return false;
    }
    err << "ombrix-monitor: report written to " << options.report_file << "\n";
    return true;
}

void DeviceCheckView::show(Clock::time_point now, bool final_refresh) {
    if (out_is_terminal && !final_refresh && now < next_redraw) {
        return;
    }
    const CheckReport report = check->report(now);
    if (out_is_terminal) {
        redraw(report);
        next_redraw = now + redraw_interval;
    } else {
        printChanges(report);
    }
    out.flush();
}

void DeviceCheckView::redraw(const CheckReport& report) {
    std::string state = verdictText(report.verdict);
    if (report.verdict == CheckVerdict::running) {
        state += ", " + fmt::format("{:.1f}", report.durationS) + " s of " +
                 fmt::format("{:.0f}", timeLimitSeconds()) + " s";
    }
    std::vector<std::string> lines{"ombrix-monitor  " + device + " on UDP port " +
                                   std::to_string(port) + "  " + state};
    for (const CheckItem& item : checkItems(report)) {
        lines.push_back(fmt::format("  [{}] {:<15}{}", item.ok ? "x" : " ", item.name, item.text));
    }
    block.draw(out, lines);
}

void DeviceCheckView::printChanges(const CheckReport& report) {
    const std::vector<CheckItem> items = checkItems(report);
    const std::string when = fmt::format("{:.1f}", report.durationS) + " s: ";
    if (report.deviceSeen && !printed_seen) {
        std::vector<std::string> names;
        for (const CheckItem& item : items) {
            names.push_back(item.name);
        }
        out << when << device << " sends data; to check: " << joinedNames(names) << "\n";
    }
    for (const CheckItem& item : items) {
        if (!report.deviceSeen && item.name == deviceDataItem) {
            continue;
        }
        bool was_ok = false;
        for (const CheckItem& before : printed) {
            was_ok = was_ok || (before.name == item.name && before.ok);
        }
        if (item.ok != was_ok) {
            out << when << item.name << (item.ok ? " ok (" : " no longer ok (") << item.text
                << ")\n";
        }
    }
    printed = items;
    printed_seen = report.deviceSeen;
}
