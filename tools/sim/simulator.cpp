#include "simulator.h"

#include "commandserver.h"
#include "decimaltext.h"
#include "frameformatter.h"
#include "pacer.h"
#include "replayreader.h"
#include "scenario.h"
#include "udpsender.h"

#include <cmath>
#include <cstring>
#include <fmt/format.h>
#include <memory>

#ifndef OMBRIX_SIM_VERSION
#define OMBRIX_SIM_VERSION "unknown"
#endif

namespace {

constexpr double ns_per_ms = 1e6;
constexpr double ns_per_s = 1e9;
// How often the command port is looked at while frames go out without a wait between them.
constexpr std::int64_t serve_interval_ns = 1'000'000;

// Where the frames come from: the generated scene or a replay file.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // The next datagram and its send time as an offset from the start, in nanoseconds.
    // shift_ns is how far the pacer has moved the schedule; the scene stamps its frames with
    // the time they will really be sent. False when no frame is left or on error.
    // The datagram stays valid until the next call.
    virtual bool next(std::string_view& datagram, std::int64_t& offset_ns,
                      std::int64_t shift_ns) = 0;
    virtual std::uint32_t frameCounter() const = 0;
};

class SceneSource : public FrameSource {
public:
    explicit SceneSource(const SimOptions& options)
        : scenario(options.skywands, options.layout, options.all_kinds), line_end(options.line_end),
          rate(options.fast ? 0.0 : options.rate), counter(options.first_frame) {}

    bool next(std::string_view& datagram, std::int64_t& offset_ns, std::int64_t shift_ns) override {
        if (rate > 0) {
            offset_ns = std::llround(static_cast<double>(index) * ns_per_s / rate);
            timestamp_ns = offset_ns + shift_ns;
        } else {
            offset_ns = 0; // as fast as possible: no waiting, stamped with the real time
            timestamp_ns = shift_ns;
        }
        current = counter + static_cast<std::uint32_t>(index);
        text = FrameFormatter::format(
            scenario.frame(current, static_cast<double>(timestamp_ns) / ns_per_s), line_end);
        datagram = text;
        ++index;
        return true;
    }
    std::uint32_t frameCounter() const override { return current; }

private:
    Scenario scenario;
    std::string text;
    LineEnd line_end;
    double rate;
    std::uint32_t counter;
    std::uint64_t index = 0;
    std::uint32_t current = 0;
    std::int64_t timestamp_ns = 0;
};

class ReplaySource : public FrameSource {
public:
    ReplaySource(const std::vector<ReplayFrame>& frames, const SimOptions& options)
        : frames(frames), loop(options.loop), fast(options.fast || options.rate <= 0),
          interval_ns(options.rate > 0 ? std::llround(ns_per_s / options.rate) : 0) {}

    bool next(std::string_view& datagram, std::int64_t& offset_ns, std::int64_t) override {
        if (index == frames.size()) {
            if (!loop) {
                return false;
            }
            index = 0;
        }
        const ReplayFrame& frame = frames[index++];
        if (count > 0 && !fast) {
            schedule_ns += frame.delay_ms ? std::llround(*frame.delay_ms * ns_per_ms) : interval_ns;
        }
        offset_ns = schedule_ns;
        datagram = frame.datagram;
        ++count;
        return true;
    }
    std::uint32_t frameCounter() const override { return static_cast<std::uint32_t>(count); }

private:
    const std::vector<ReplayFrame>& frames;
    bool loop;
    bool fast;
    std::int64_t interval_ns;
    std::size_t index = 0;
    std::int64_t schedule_ns = 0;
    std::uint64_t count = 0;
};

// The whole file, read and checked before anything is sent.
int loadReplayFile(ReplayReader& reader, const std::string& path, std::ostream& err) {
    const ReplayReader::Result result = reader.load(path);
    if (result != ReplayReader::Result::ok) {
        err << "ombrix-sim: " << reader.error() << "\n";
        return result == ReplayReader::Result::io_error ? Simulator::runtime_failure
                                                        : Simulator::bad_input;
    }
    if (reader.frames().empty()) {
        err << "ombrix-sim: " << path << ": the file holds no frame\n";
        return Simulator::bad_input;
    }
    return Simulator::success;
}

CommandProtocol makeProtocol(const SimOptions& options) {
    CommandProtocol protocol;
    protocol.defineParameter("system version", std::string("ombrix-sim ") + OMBRIX_SIM_VERSION,
                             false);
    protocol.defineParameter("tracking active", "1", true);
    protocol.defineParameter("tracking exposure", "250", true);
    protocol.defineParameter("output host", options.host, false);
    protocol.defineParameter("output port", std::to_string(options.port), false);
    protocol.defineParameter("output rate", formatDecimal(options.rate, 3), false);
    protocol.defineParameter("skywand count",
                             options.replay_file.empty() ? std::to_string(options.skywands) : "-",
                             false);
    protocol.queueMessage("ombrix-sim", "info", 0, 0, "simulated controller started");
    return protocol;
}

} // namespace

const char* Simulator::version() {
    return OMBRIX_SIM_VERSION;
}

Simulator::Simulator(const SimOptions& options, std::ostream& out, std::ostream& err)
    : options(options), out(out), err(err) {}

int Simulator::run(const std::atomic<bool>& stop) {
    ReplayReader reader;
    if (!options.replay_file.empty()) {
        const int status = loadReplayFile(reader, options.replay_file, err);
        if (status != success) {
            return status;
        }
    }
    const std::size_t replay_frames = reader.frames().size();

    UdpSender sender;
    std::string error;
    if (!sender.open(options.host, options.port, error)) {
        err << "ombrix-sim: " << error << "\n";
        return runtime_failure;
    }

    std::unique_ptr<CommandServer> server;
    if (options.command_port) {
        CommandProtocol protocol = makeProtocol(options);
        for (const auto& [name, value] : options.parameters) {
            if (!protocol.defineParameter(name, value, true)) {
                err << "ombrix-sim: --param \"" << name << "=" << value
                    << "\": too long for one reply\n";
                return bad_input;
            }
        }
        server = std::make_unique<CommandServer>(std::move(protocol));
        if (!server->start(options.command_bind, *options.command_port, error)) {
            err << "ombrix-sim: " << error << "\n";
            return runtime_failure;
        }
    }

    const bool fast = options.fast || options.rate <= 0;
    std::unique_ptr<FrameSource> source;
    if (options.replay_file.empty()) {
        source = std::make_unique<SceneSource>(options);
    } else {
        source = std::make_unique<ReplaySource>(reader.frames(), options);
    }

    if (!options.quiet) {
        const std::string what =
            options.replay_file.empty()
                ? fmt::format("{} Skywand{} ({}){}", options.skywands,
                              options.skywands == 1 ? "" : "s",
                              options.layout == SkywandLayout::newer ? "6df2" : "6df",
                              options.all_kinds ? " and all other kinds" : "")
                : fmt::format("{} ({} frame{}{})", options.replay_file, replay_frames,
                              replay_frames == 1 ? "" : "s", options.loop ? ", looped" : "");
        out << "ombrix-sim: sending " << what << " " << pace("at") << " to " << sender.destination()
            << (server ? fmt::format("; command port {}:{}", options.command_bind, server->port())
                       : "")
            << "; Ctrl+C stops" << std::endl;
    }

    Pacer pacer;
    if (server) {
        pacer.serve = [&server](std::int64_t wait_ns) { server->serve(wait_ns); };
    }
    Counters counters;
    // -1: no duration asked for. (A plain value keeps GCC from seeing an uninitialised optional.)
    const std::int64_t duration_ns =
        options.duration ? std::llround(*options.duration * ns_per_s) : -1;
    std::string_view datagram;
    std::int64_t served_ns = 0;
    pacer.start();
    while (!stop.load()) {
        if (options.frames && counters.sent + counters.failed >= *options.frames) {
            break;
        }
        std::int64_t offset_ns = 0;
        const std::int64_t shift_ns = fast ? pacer.elapsedNs() : pacer.shiftNs();
        if (!source->next(datagram, offset_ns, shift_ns)) {
            break;
        }
        if (fast) {
            if (duration_ns >= 0 && pacer.elapsedNs() >= duration_ns) {
                break;
            }
        } else {
            if (duration_ns >= 0 && offset_ns >= duration_ns) {
                pacer.waitUntil(duration_ns, stop); // the run lasts as long as asked
                break;
            }
            if (pacer.waitUntil(offset_ns, stop) < 0) {
                break;
            }
        }
        if (server) {
            server->setFrameCounter(source->frameCounter());
        }
        const int failure = sender.send(datagram);
        const std::int64_t now_ns = pacer.elapsedNs();
        // A run that never waits (--fast, or one that cannot keep up) still answers requests.
        if (server && now_ns - served_ns >= serve_interval_ns) {
            server->serve(0);
            served_ns = now_ns;
        }
        if (failure == 0) {
            ++counters.sent;
            if (counters.first_send_ns < 0) {
                counters.first_send_ns = now_ns;
            }
            counters.last_send_ns = now_ns;
        } else {
            ++counters.failed;
            if (!counters.reported_errors[failure]) {
                counters.reported_errors[failure] = true;
                err << "ombrix-sim: sending to " << sender.destination()
                    << " failed: " << std::strerror(failure) << " (going on)\n";
            }
        }
    }

    if (!options.quiet) {
        out << summary(counters, pacer.resyncs()) << std::endl;
    }
    return success;
}

// "as fast as possible", "<verb> 60 Hz" or "at the file's pace".
std::string Simulator::pace(const char* verb) const {
    if (options.fast || options.rate <= 0) {
        return "as fast as possible";
    }
    if (!options.replay_file.empty()) {
        return "at the file's pace";
    }
    return fmt::format("{} {} Hz", verb, formatDecimal(options.rate, 3));
}

std::string Simulator::summary(const Counters& counters, unsigned resyncs) const {
    std::string text = "ombrix-sim: " + std::to_string(counters.sent) + " frame" +
                       (counters.sent == 1 ? "" : "s") + " sent";
    if (counters.sent >= 2 && counters.last_send_ns > counters.first_send_ns) {
        const double seconds =
            static_cast<double>(counters.last_send_ns - counters.first_send_ns) / ns_per_s;
        const double achieved = static_cast<double>(counters.sent - 1) / seconds;
        text += fmt::format(" in {:.3f} s, {:.2f} Hz", seconds, achieved);
    }
    text += " (" + pace("asked") + ")";
    if (counters.failed > 0) {
        text += ", " + std::to_string(counters.failed) + " failed";
    }
    if (resyncs > 0) {
        text += ", fell behind " + std::to_string(resyncs) + " time" + (resyncs == 1 ? "" : "s");
    }
    return text;
}
