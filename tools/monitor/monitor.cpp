#include "monitor.h"

#include "hostlookup.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fmt/chrono.h>
#include <fmt/format.h>
#include <thread>

namespace {

// The receive queue asked for while forwarding or checking: about 200 of the largest frames.
constexpr int forward_queue_bytes = 4 * 1024 * 1024;

// After a receive that failed at once, so that a broken socket does not spin the processor.
constexpr auto error_pause = std::chrono::milliseconds(10);

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

Monitor::Monitor(const MonitorOptions& options, std::ostream& out, std::ostream& err,
                 bool out_is_terminal)
    : options(options), out(out), err(err), out_is_terminal(out_is_terminal) {}

const char* Monitor::version() {
    return OMBRIX_MONITOR_VERSION;
}

std::optional<int> Monitor::open() {
    if (!options.forward.empty()) {
        forwarder = std::make_unique<Forwarder>();
        std::string error;
        if (!forwarder->open(options.forward, error)) {
            err << "ombrix-monitor: " << error << "\nTry 'ombrix-monitor --help' for more.\n";
            return bad_input;
        }
    }
    client = std::make_unique<Ombrix>("", 0, options.port, receive_buffer_size, receive_timeout_us,
                                      1000000);
    if (!client->valid()) {
        // 0 when it failed before reaching the system.
        const int bind_errno = client->get_data_bind_errno();
        err << "ombrix-monitor: "
            << (bind_errno != 0 ? bindFailure("port", options.port, bind_errno)
                                : "cannot open UDP port " + std::to_string(options.port))
            << "\n"
            << "Stop that program, or listen on another port with --port.\n";
        return runtime_failure;
    }
    const unsigned short port = client->get_data_port();
    if (forwarder && forwarder->loopsTo(port)) {
        err << "ombrix-monitor: --forward: a destination reaches the monitor's own port " << port
            << " on this host; each datagram would come back\n"
            << "Try 'ombrix-monitor --help' for more.\n";
        return bad_input;
    }
    if (forwarder || options.check) {
        // Every datagram is wanted, not only the newest: room for a burst while the output or
        // the machine holds the monitor up. A check counts every one.
        client->set_data_queue_size(forward_queue_bytes);
    }
    if (!options.record_file.empty()) {
        record_file.open(options.record_file, std::ios::binary | std::ios::trunc);
        if (!record_file.is_open()) {
            err << "ombrix-monitor: " << options.record_file
                << ": cannot open for writing: " << std::strerror(errno) << "\n";
            return runtime_failure;
        }
        recorder = std::make_unique<ReplayWriter>(record_file);
        recorder->writeComment(fmt::format("Recorded by ombrix-monitor {} on UDP port {}, "
                                           "{:%Y-%m-%d %H:%M:%S} UTC",
                                           version(), port, fmt::gmtime(std::time(nullptr))));
    }
    return std::nullopt;
}

int Monitor::run(const std::atomic<bool>& stop) {
    if (const std::optional<int> failed = open()) {
        return *failed;
    }
    const unsigned short port = client->get_data_port();
    start_s = seconds();
    stats.emplace(start_s);
    view = FrameView::create(options,
                             {out, err, out_is_terminal, port, start_s, *stats, forwarder.get()});
    if (!view) {
        return runtime_failure;
    }
    // Every datagram read, the drained ones too: forwarded before the newest is parsed, and
    // its frame counter counted, so that lost frames are the controller's, not ours. The
    // client hands each one over as it reads it, so parsing or printing never delays one.
    client->set_datagram_observer([this](std::string_view datagram) {
        if (forwarder) {
            forwarder->forward(datagram);
        }
        view->datagramRead(stats->datagramRead(datagram));
    });
    next_second_s = start_s + 1.0;
    err << "ombrix-monitor: listening on UDP port " << port << "; Ctrl+C ends\n";
    err.flush();

    while (!stop.load()) {
        // A check keeps its own time limit, on the controller's clock where the frames have one.
        if (options.duration && !options.check && seconds() - start_s >= *options.duration) {
            break;
        }
        receiveOnce(stop);
        const double now = seconds();
        const bool done =
            view->tick(now) || (options.frames && stats->figures().received >= *options.frames);
        // Once a second the recording reaches its file, so that one cut short by a crash keeps
        // most of it, and with a view of its own on the output, failing forwarding destinations
        // are told on the error output (the summary shows them itself).
        if (now >= next_second_s) {
            next_second_s = now + 1.0;
            if (recorder) {
                record_file.flush();
            }
            if (forwarder && !options.summaryOnly() && forwarder->errorsGrew()) {
                err << "ombrix-monitor: " << forwarder->summary() << "\n";
                err.flush();
            }
        }
        if (!checkStreams() || done) {
            break;
        }
    }

    const double end_s = seconds();
    if (recorder) {
        record_file.flush();
        checkStreams();
    }
    // Told of a recording that failed only now, so that the summary is not redrawn over its
    // message; before the closing line, which would otherwise land inside a checklist's block.
    const int view_status = view->finish(end_s, stop.load(), status != success);
    status = status == success ? view_status : status;
    std::ostream& summary_out = options.summaryOnly() ? out : err;
    summary_out << closingLine(*stats, end_s - start_s, options.record_file, forwarder.get())
                << "\n";
    summary_out.flush();
    return status;
}

void Monitor::receiveOnce(const std::atomic<bool>& stop) {
    const bool parsed = client->receive();
    const double now = seconds();
    const unsigned dropped = client->get_num_dropped();
    const std::string_view datagram = client->get_datagram();
    if (!parsed && stop.load()) {
        return; // the wait was cut short by the stop signal, which is no receive error
    }
    if (!parsed && client->data_timeout()) {
        stats->waitedInVain(now);
        view->waited(now);
        return;
    }
    if (!parsed && (!client->data_parseerror() || datagram.empty())) {
        stats->receiveFailed(now, dropped);
        view->receiveError(now - start_s);
        std::this_thread::sleep_for(error_pause);
        return;
    }
    stats->arrived(now, dropped, parsed);
    if (recorder) {
        if (dropped > 0) {
            // Skipped datagrams never leave the client, so the file can only say where they were.
            recorder->writeComment(fmt::format("{} datagram{} dropped here: arrived while an "
                                               "older one waited",
                                               dropped, dropped == 1 ? "" : "s"));
        }
        std::optional<double> delay_ms;
        if (last_recorded_s) {
            delay_ms = (now - *last_recorded_s) * 1000.0;
        }
        recorder->writeFrame(std::string(datagram), delay_ms);
        last_recorded_s = now;
    }
    if (parsed) {
        view->frame(*client, now - start_s, dropped);
    } else {
        view->unparsed(datagram, now - start_s, dropped);
    }
}

bool Monitor::checkStreams() {
    out.flush(); // each frame's line reaches a pipe at once
    if (!out.good()) {
        // A reader that went away (ombrix-monitor --json | head) ends the run quietly.
        if (errno != EPIPE) {
            err << "ombrix-monitor: cannot write the output: " << std::strerror(errno) << "\n";
            status = runtime_failure;
        }
        return false;
    }
    if (recorder && !recorder->good()) {
        err << "ombrix-monitor: " << options.record_file
            << ": write error: " << std::strerror(errno) << "\n";
        status = runtime_failure;
        recorder.reset();
        return false;
    }
    return true;
}
