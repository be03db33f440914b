#include "simulator.h"

#include "commandline.h"
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
#include <set>

namespace {

constexpr double ns_per_ms = 1e6;
constexpr double ns_per_s = 1e9;
// How often the command port is looked at while frames go out without a wait between them.
constexpr std::int64_t serve_interval_ns = 1'000'000;

// The whole file, read and checked before anything is sent.
int loadReplayFile(ReplayReader& reader, const std::string& path, std::ostream& err) {
    const ReplayReader::Result result = reader.load(path);
    if (result != ReplayReader::Result::ok) {
        err << "ombrix-sim: " << reader.error() << "\n";
        return result == ReplayReader::Result::io_error ? runtime_failure : bad_input;
    }
    if (reader.frames().empty()) {
        err << "ombrix-sim: " << path << ": the file holds no frame\n";
        return bad_input;
    }
    return success;
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

// "as fast as possible", "<verb> 60 Hz" or "at the file's pace".
std::string pace(const SimOptions& options, bool fast, const char* verb) {
    if (fast) {
        return "as fast as possible";
    }
    if (!options.replay_file.empty()) {
        return "at the file's pace";
    }
    return fmt::format("{} {} Hz", verb, formatDecimal(options.rate, 3));
}

} // namespace

int simulate(const SimOptions& options, const std::atomic<bool>& stop, std::ostream& out,
             std::ostream& err) {
    const bool fast = options.fast || options.rate <= 0; // no waits between frames
    ReplayReader reader;
    if (!options.replay_file.empty()) {
        const int status = loadReplayFile(reader, options.replay_file, err);
        if (status != success) {
            return status;
        }
    }
    const std::vector<ReplayFrame>& replay = reader.frames();

    UdpSender sender;
    std::string error;
    if (!sender.open(options.host, options.port, error)) {
        err << "ombrix-sim: " << error << "\n";
        return runtime_failure;
    }

    CommandProtocol protocol = makeProtocol(options);
    for (const auto& [name, value] : options.parameters) {
        if (!protocol.defineParameter(name, value, true)) {
            err << "ombrix-sim: --param \"" << name << "=" << value
                << "\": too long for one reply\n";
            return bad_input;
        }
    }
    // Without a command port the server watches no socket, and serving it is a plain wait.
    CommandServer server(std::move(protocol));
    if (options.command_port && !server.start(options.command_bind, *options.command_port, error)) {
        err << "ombrix-sim: " << error << "\n";
        return runtime_failure;
    }

    if (!options.quiet) {
        const std::string what =
            replay.empty()
                ? fmt::format("{} Skywand{} ({}){}", options.skywands,
                              options.skywands == 1 ? "" : "s",
                              options.layout == SkywandLayout::newer ? "6df2" : "6df",
                              options.all_kinds ? " and all other kinds" : "")
                : fmt::format("{} ({} frame{}{})", options.replay_file, replay.size(),
                              replay.size() == 1 ? "" : "s", options.loop ? ", looped" : "");
        out << "ombrix-sim: sending " << what << " " << pace(options, fast, "at") << " to "
            << sender.destination()
            << (options.command_port
                    ? fmt::format("; command port {}:{}", options.command_bind, server.port())
                    : "")
            << "; Ctrl+C stops" << std::endl;
    }

    const Scenario scenario(options.skywands, options.layout, options.all_kinds);
    const std::int64_t interval_ns = fast ? 0 : std::llround(ns_per_s / options.rate);
    // -1: no duration asked for. (A plain value keeps GCC from seeing an uninitialised optional.)
    const std::int64_t duration_ns =
        options.duration ? std::llround(*options.duration * ns_per_s) : -1;
    std::string scene_frame;
    std::int64_t offset_ns = 0; // when the frame is due, since the start
    std::uint64_t sent = 0;
    std::int64_t first_send_ns = -1;
    std::int64_t last_send_ns = -1;
    std::int64_t served_ns = 0;
    std::set<int> reported_errors; // errno values already reported
    Pacer pacer([&server](std::int64_t wait_ns) { server.serve(wait_ns); });
    std::uint64_t index = 0; // frames sent or failed so far
    for (; !stop.load() && !(options.frames && index >= *options.frames); ++index) {
        std::string_view datagram;
        if (replay.empty()) {
            if (!fast) { // each due time from the start, so that rounding never adds up
                offset_ns = std::llround(static_cast<double>(index) * ns_per_s / options.rate);
            }
            // Stamped with the time the frame is due, or without waits with the time it is made.
            const std::int64_t stamp_ns = fast ? pacer.elapsedNs() : offset_ns + pacer.shiftNs();
            scene_frame = FrameFormatter::format(
                scenario.frame(options.first_frame + static_cast<std::uint32_t>(index),
                               static_cast<double>(stamp_ns) / ns_per_s),
                options.line_end);
            datagram = scene_frame;
        } else {
            if (index == replay.size() && !options.loop) {
                break;
            }
            const ReplayFrame& frame = replay[index % replay.size()];
            if (index > 0 && !fast) {
                offset_ns +=
                    frame.delay_ms ? std::llround(*frame.delay_ms * ns_per_ms) : interval_ns;
            }
            datagram = frame.datagram;
        }
        if (duration_ns >= 0 && (fast ? pacer.elapsedNs() : offset_ns) >= duration_ns) {
            if (!fast) {
                pacer.waitUntil(duration_ns, stop); // the run lasts as long as asked
            }
            break;
        }
        if (!fast && !pacer.waitUntil(offset_ns, stop)) {
            break;
        }
        // The number of the frame being sent; a replay (which takes no --first-frame) counts
        // its frames from 1.
        server.setFrameCounter(options.first_frame + static_cast<std::uint32_t>(index));
        const int failure = sender.send(datagram);
        const std::int64_t now_ns = pacer.elapsedNs();
        // A run that never waits (--fast, or one that cannot keep up) still answers requests.
        if (options.command_port && now_ns - served_ns >= serve_interval_ns) {
            server.serve(0);
            served_ns = now_ns;
        }
        if (failure == 0) {
            ++sent;
            first_send_ns = first_send_ns < 0 ? now_ns : first_send_ns;
            last_send_ns = now_ns;
        } else if (reported_errors.insert(failure).second) {
            err << "ombrix-sim: sending to " << sender.destination()
                << " failed: " << std::strerror(failure) << " (going on)\n";
        }
    }

    if (!options.quiet) {
        out << "ombrix-sim: " << sent << " frame" << (sent == 1 ? "" : "s") << " sent";
        if (sent >= 2 && last_send_ns > first_send_ns) {
            const double seconds = static_cast<double>(last_send_ns - first_send_ns) / ns_per_s;
            out << fmt::format(" in {:.3f} s, {:.2f} Hz", seconds,
                               static_cast<double>(sent - 1) / seconds);
        }
        out << " (" << pace(options, fast, "asked") << ")";
        if (index > sent) {
            out << ", " << index - sent << " failed";
        }
        if (pacer.resyncs() > 0) {
            out << ", fell behind " << pacer.resyncs() << " time"
                << (pacer.resyncs() == 1 ? "" : "s");
        }
        out << std::endl;
    }
    return success;
}
