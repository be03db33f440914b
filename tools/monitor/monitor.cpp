#include "monitor.h"

#include "Ombrix.h"
#include "forwarder.h"
#include "frameview.h"
#include "hostlookup.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fmt/chrono.h>
#include <fmt/format.h>
#include <thread>

#ifndef OMBRIX_MONITOR_VERSION
#define OMBRIX_MONITOR_VERSION "unknown"
#endif

namespace {

// The in-place summary is redrawn this often on a terminal; elsewhere a line per second.
constexpr double terminal_refresh_s = 0.25;
constexpr double plain_refresh_s = 1.0;

// The receive queue asked for while forwarding: about 200 of the largest frames.
constexpr int forward_queue_bytes = 4 * 1024 * 1024;

// After a receive that failed at once, so that a broken socket does not spin the processor.
constexpr auto error_pause = std::chrono::milliseconds(10);

std::string utcNow() {
    return fmt::format("{:%Y-%m-%d %H:%M:%S} UTC", fmt::gmtime(std::time(nullptr)));
}

} // namespace

Monitor::Monitor(const MonitorOptions& options, std::ostream& out, std::ostream& err,
                 bool out_is_terminal)
    : options(options), out(out), err(err), out_is_terminal(out_is_terminal) {}

Monitor::~Monitor() = default;

const char* Monitor::version() {
    return OMBRIX_MONITOR_VERSION;
}

double Monitor::seconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool Monitor::openRecording(unsigned short port) {
    if (options.record_file.empty()) {
        return true;
    }
    record_file.open(options.record_file, std::ios::binary | std::ios::trunc);
    if (!record_file.is_open()) {
        err << "ombrix-monitor: " << options.record_file
            << ": cannot open for writing: " << std::strerror(errno) << "\n";
        return false;
    }
    recorder = std::make_unique<ReplayWriter>(record_file);
    recorder->writeComment(std::string("Recorded by ombrix-monitor ") + version() +
                           " on UDP port " + std::to_string(port) + ", " + utcNow());
    return true;
}

int Monitor::run(const std::atomic<bool>& stop) {
    std::string forward_error;
    if (!options.forward.empty()) {
        forwarder = std::make_unique<Forwarder>();
        if (!forwarder->open(options.forward, forward_error)) {
            err << "ombrix-monitor: " << forward_error
                << "\nTry 'ombrix-monitor --help' for more.\n";
            return bad_input;
        }
    }
    errno = 0;
    client = std::make_unique<Ombrix>("", 0, options.port, receive_buffer_size, receive_timeout_us,
                                      1000000);
    if (!client->valid()) {
        // The client closes the socket whose bind failed and frees its block, neither of which
        // changes errno; 0 means it failed before reaching the system.
        const int bind_errno = errno;
        err << "ombrix-monitor: "
            << (bind_errno != 0 ? bindFailure("port", options.port, bind_errno)
                                : "cannot open UDP port " + std::to_string(options.port))
            << "\n"
            << "Stop that program, or listen on another port with --port.\n";
        return runtime_failure;
    }
    const unsigned short port = client->get_data_port();
    if (forwarder && !openForwarding(port)) {
        return bad_input;
    }
    if (!openRecording(port)) {
        return runtime_failure;
    }
    if (options.view == MonitorOptions::View::device) {
        device_check.emplace(options, port, out, err, out_is_terminal);
        if (!device_check->start()) {
            return runtime_failure;
        }
    }
    if (options.check) {
        // Room for a burst while the machine holds the monitor up: the check counts every one.
        client->set_data_queue_size(forward_queue_bytes);
    }
    // Every datagram read, the drained ones too: forwarded before the newest is parsed, and
    // its frame counter counted, so that lost frames are the controller's, not ours.
    client->set_datagram_observer([this](std::string_view datagram) {
        if (forwarder) {
            forwarder->forward(datagram);
        }
        stats->datagramRead(datagram);
        if (device_check) {
            device_check->datagramRead(datagram);
        }
    });
    start_s = seconds();
    stats.emplace(start_s);
    view.emplace(port, options.record_file);
    frame_view = FrameView::create(options, out);
    // A terminal shows the block at once; a plain line first comes when there is a second to
    // report.
    next_refresh_s = out_is_terminal ? start_s : start_s + plain_refresh_s;
    err << "ombrix-monitor: listening on UDP port " << port << "; Ctrl+C ends\n";
    err.flush();

    while (!finished && !stop.load()) {
        // A check keeps its own time limit, on the controller's clock where the frames have one.
        if (options.duration && !options.check && seconds() - start_s >= *options.duration) {
            break;
        }
        receiveOnce(stop);
        if (device_check && device_check->tick()) {
            finished = true;
        }
        if (options.frames && stats->received() >= *options.frames) {
            finished = true;
        }
        if (options.view == MonitorOptions::View::summary && seconds() >= next_refresh_s) {
            showSummary(seconds(), false);
        }
        reportForwarding(seconds());
        if (!checkStreams()) {
            break;
        }
    }

    const double end_s = seconds();
    if (options.view == MonitorOptions::View::summary && status == success) {
        showSummary(end_s, true);
    }
    if (recorder) {
        record_file.flush();
        checkStreams();
    }
    if (device_check) {
        // Before the summary, which would otherwise land inside the checklist's block. Even
        // when the output failed (a closed terminal): the report is written all the same.
        const int check_status = device_check->finish(stop.load());
        status = status == success ? check_status : status;
    }
    std::ostream& summary_out = options.view == MonitorOptions::View::summary ? out : err;
    summary_out << view->finalLine(*stats, end_s - start_s, recorded)
                << (forwarder ? "; " + forwarder->summary() : "") << "\n";
    summary_out.flush();
    return status;
}

// The client hands over each datagram as it reads it, so that every one is passed on before
// the newest is parsed, and parsing or printing never delays a forwarded frame.
bool Monitor::openForwarding(unsigned short port) {
    if (forwarder->loopsTo(port)) {
        err << "ombrix-monitor: --forward: a destination reaches the monitor's own port " << port
            << " on this host; each datagram would come back\n"
            << "Try 'ombrix-monitor --help' for more.\n";
        return false;
    }
    // Every datagram is wanted now, not only the newest: room for a burst while the output or
    // the machine holds the monitor up.
    client->set_data_queue_size(forward_queue_bytes);
    next_forward_report_s = seconds() + plain_refresh_s;
    return true;
}

// The summary shows the destinations itself; with a per-frame view on the output, failing
// destinations are told on the error output, once a second at most.
void Monitor::reportForwarding(double now) {
    if (!forwarder || options.view == MonitorOptions::View::summary ||
        now < next_forward_report_s) {
        return;
    }
    next_forward_report_s = now + plain_refresh_s;
    if (forwarder->errorsGrew()) {
        err << "ombrix-monitor: " << forwarder->summary() << "\n";
        err.flush();
    }
}

void Monitor::receiveOnce(const std::atomic<bool>& stop) {
    const bool parsed = client->receive();
    const double now = seconds();
    if (parsed) {
        frameParsed(now);
        return;
    }
    if (stop.load()) {
        return; // the wait was cut short by the stop signal, which is no receive error
    }
    if (client->data_timeout()) {
        stats->waitedInVain(now);
        if (frame_view && stats->timeouts() > silence_reported) {
            silence_reported = stats->timeouts();
            frame_view->silence(now - stats->silenceStart());
        }
        return;
    }
    const unsigned dropped = client->get_num_dropped();
    const std::string_view datagram = client->get_datagram();
    if (client->data_parseerror() && !datagram.empty()) {
        datagramUnparsed(now, datagram, dropped);
        return;
    }
    stats->receiveFailed(now, dropped);
    if (frame_view) {
        frame_view->receiveError(now - start_s);
    }
    std::this_thread::sleep_for(error_pause);
}

void Monitor::frameParsed(double now) {
    const unsigned dropped = client->get_num_dropped();
    const StreamStats::RecordCounts counts{client->get_num_body(), client->get_num_skywand(),
                                           client->get_num_meatool(), client->get_num_hand(),
                                           client->get_num_marker()};
    stats->frameParsed(now, client->get_framecounter(), dropped, counts, client->get_timestamp());
    const std::string_view datagram = client->get_datagram();
    record(now, datagram, dropped);
    if (device_check) {
        device_check->frameParsed(*client);
    }
    if (frame_view) {
        frame_view->frame(*client, now - start_s, dropped);
    }
}

void Monitor::datagramUnparsed(double now, std::string_view datagram, unsigned dropped) {
    stats->parseFailed(now, dropped);
    if (device_check) {
        device_check->frameUnparsed(datagram);
    }
    record(now, datagram, dropped);
    if (frame_view) {
        frame_view->unparsed(datagram, now - start_s, dropped);
    }
}

void Monitor::record(double now, std::string_view datagram, unsigned dropped) {
    if (!recorder) {
        return;
    }
    if (dropped > 0) {
        // Skipped datagrams never leave the client, so the file can only say where they were.
        recorder->writeComment(std::to_string(dropped) +
                               (dropped == 1 ? " datagram" : " datagrams") +
                               " dropped here: arrived while an older one waited");
    }
    std::optional<double> delay_ms;
    if (last_recorded_s) {
        delay_ms = (now - *last_recorded_s) * 1000.0;
    }
    recorder->writeFrame(std::string(datagram), delay_ms);
    last_recorded_s = now;
    ++recorded;
}

void Monitor::showSummary(double now, bool final_refresh) {
    const double elapsed = now - start_s;
    if (out_is_terminal) {
        std::vector<std::string> lines = view->liveLines(*stats, now, elapsed);
        if (forwarder) {
            const std::vector<std::string> forwarding = forwarder->destinationLines();
            lines.insert(lines.end(), forwarding.begin(), forwarding.end());
        }
        live_block.draw(out, lines);
        next_refresh_s = now + terminal_refresh_s;
    } else {
        if (!final_refresh) {
            out << view->plainLine(*stats, now, elapsed)
                << (forwarder ? "; " + forwarder->summary() : "") << "\n";
        }
        next_refresh_s = now + plain_refresh_s;
    }
    out.flush();
    if (recorder) {
        record_file.flush(); // so that a recording cut short by a crash keeps most of it
    }
}

bool Monitor::checkStreams() {
    if (options.view != MonitorOptions::View::summary) {
        out.flush(); // each frame's line reaches a pipe at once
    }
    if (!out.good()) {
        // A reader that went away (ombrix-monitor --json | head) ends the run quietly.
        if (errno != EPIPE) {
            err << "ombrix-monitor: cannot write the output: " << std::strerror(errno) << "\n";
            status = runtime_failure;
        }
        finished = true;
        return false;
    }
    if (recorder && !recorder->good()) {
        err << "ombrix-monitor: " << options.record_file
            << ": write error: " << std::strerror(errno) << "\n";
        status = runtime_failure;
        finished = true;
        recorder.reset();
        return false;
    }
    return true;
}
