#include "optionparser.h"

#include "decimaltext.h"
#include "longoptions.h"

#include <cmath>
#include <set>

namespace {

bool readPort(const std::string& option, const std::string& text, unsigned short low,
              unsigned short& port, std::string& error) {
    std::uint64_t value = 0;
    if (!readCount(option, text, low, 65535, value, error)) {
        return false;
    }
    port = static_cast<unsigned short>(value);
    return true;
}

// The options that only shape the generated scene, which a replay sends as recorded.
const std::set<std::string> scene_options = {"--skywands", "--layout", "--all-kinds", "--line-end",
                                             "--first-frame"};

const std::set<std::string> flag_options = {"--all-kinds", "--loop", "--fast",
                                            "--quiet",     "--help", "--version"};

const std::set<std::string> value_options = {
    "--host",         "--port",   "--rate",     "--frames",      "--duration",
    "--skywands",     "--layout", "--line-end", "--first-frame", "--replay",
    "--command-bind", "--param",  "--record"};

} // namespace

bool OptionParser::parse(const std::vector<std::string>& args, SimOptions& options,
                         std::string& error) {
    std::set<std::string> given;
    LongOptions scanner(args, flag_options, value_options, {"--command-port"});
    while (!scanner.atEnd()) {
        LongOptions::Option option;
        if (!scanner.next(option, error)) {
            return false;
        }
        const std::string& name = option.name;
        const std::optional<std::string>& value = option.value;

        given.insert(name);

        std::uint64_t count = 0;
        if (name == "--help") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--all-kinds") {
            options.all_kinds = true;
        } else if (name == "--loop") {
            options.loop = true;
        } else if (name == "--fast") {
            options.fast = true;
        } else if (name == "--quiet") {
            options.quiet = true;
        } else if (name == "--host") {
            if (value->empty()) {
                error = "--host needs a host name or address";
                return false;
            }
            options.host = *value;
        } else if (name == "--port") {
            if (!readPort(name, *value, 1, options.port, error)) {
                return false;
            }
        } else if (name == "--rate") {
            double rate = 0;
            // A positive rate below the least one would put the frames so far apart that
            // their send times no longer fit the schedule's nanosecond counter.
            if (!parseDecimal(*value, rate) || rate > SimOptions::max_rate ||
                (rate > 0 && rate < SimOptions::min_rate)) {
                error = "--rate needs frames per second from 0.001 to 100000, or 0 (as fast as "
                        "possible), not \"" +
                        *value + "\"";
                return false;
            }
            options.rate = rate;
        } else if (name == "--frames") {
            if (!readCount(name, *value, 1, UINT64_MAX, count, error)) {
                return false;
            }
            options.frames = count;
        } else if (name == "--duration") {
            double seconds = 0;
            if (!parseDecimal(*value, seconds) || seconds <= 0 || seconds > 1e9) {
                error = "--duration needs seconds greater than 0, not \"" + *value + "\"";
                return false;
            }
            options.duration = seconds;
        } else if (name == "--skywands") {
            if (!readCount(name, *value, 0, 100, count, error)) {
                return false;
            }
            options.skywands = static_cast<int>(count);
        } else if (name == "--layout") {
            if (*value == "new") {
                options.layout = SkywandLayout::newer;
            } else if (*value == "old") {
                options.layout = SkywandLayout::older;
            } else {
                error = "--layout needs \"new\" or \"old\", not \"" + *value + "\"";
                return false;
            }
        } else if (name == "--line-end") {
            if (*value == "crlf") {
                options.line_end = LineEnd::crlf;
            } else if (*value == "lf") {
                options.line_end = LineEnd::lf;
            } else if (*value == "cr") {
                options.line_end = LineEnd::cr;
            } else {
                error = "--line-end needs \"crlf\", \"lf\" or \"cr\", not \"" + *value + "\"";
                return false;
            }
        } else if (name == "--first-frame") {
            if (!readCount(name, *value, 0, UINT32_MAX, count, error)) {
                return false;
            }
            options.first_frame = static_cast<std::uint32_t>(count);
        } else if (name == "--replay") {
            if (value->empty()) {
                error = "--replay needs a file name";
                return false;
            }
            options.replay_file = *value;
        } else if (name == "--command-port") {
            // Without a port it answers on the usual one.
            unsigned short port = SimOptions::default_command_port;
            if (value && !readPort(name, *value, 0, port, error)) {
                return false;
            }
            options.command_port = port;
        } else if (name == "--command-bind") {
            if (value->empty()) {
                error = "--command-bind needs an address";
                return false;
            }
            options.command_bind = *value;
        } else if (name == "--param") {
            const std::size_t split = value->find('=');
            if (split == std::string::npos || value->find_first_not_of(' ') >= split) {
                error = "--param needs NAME=VALUE, not \"" + *value + "\"";
                return false;
            }
            options.parameters.emplace_back(value->substr(0, split), value->substr(split + 1));
        } else if (name == "--record") {
            if (value->empty()) {
                error = "--record needs a file name";
                return false;
            }
            options.record_file = *value;
        }
    }

    if (options.help || options.version) {
        return true;
    }
    if (!options.replay_file.empty()) {
        for (const std::string& option : scene_options) {
            if (given.count(option) != 0) {
                error = option + " shapes the generated frames and does not apply to --replay";
                return false;
            }
        }
    } else if (options.loop) {
        error = "--loop needs --replay";
        return false;
    }
    if (!options.command_port && (given.count("--param") || given.count("--command-bind"))) {
        error = (given.count("--param") ? "--param" : "--command-bind") +
                std::string(" needs --command-port");
        return false;
    }
    return true;
}

std::string OptionParser::helpText() {
    return R"(Usage: ombrix-sim [OPTION]...
Plays an Ombrix tracking controller: sends tracking frames, one per UDP datagram, to a host
and port, and optionally answers the controller's TCP command protocol.

Without --replay it sends a generated scene: Skywands pressing their buttons in turn (buttons
1 to 5, then the joystick press), their joysticks going round a circle, each device with its
own phase and losing tracking for one second in every ten.

Destination and pace:
  --host HOST          destination host name or IPv4 address (default 127.0.0.1)
  --port PORT          destination UDP port (default 5000)
  --rate HZ            frames per second, decimals allowed, 0.001 to 100000 (default 60);
                       0 sends as fast as possible
  --frames N           stop after N frames
  --duration SECONDS   stop after this many seconds, decimals allowed
  --quiet              print neither the start line nor the summary

Generated scene:
  --skywands N         number of Skywands, 0 to 100 (default 2)
  --layout new|old     Skywand line: new = "6df2" with 6 buttons and an analogue joystick
                       (default), old = "6df" with 8 button bits, bits 4 to 7 giving the
                       joystick's direction
  --all-kinds          also send bodies ("6dcal", "6d"), a measurement tool ("6dmt"),
                       hands with fingers ("glcal", "gl") and single markers ("3d")
  --line-end crlf|lf|cr  line end inside a frame (default crlf)
  --first-frame N      frame counter of the first frame (default 1)

Replay:
  --replay FILE        send the frames of a replay file instead (format: see
                       doc/replay-format.md); frames keep the file's own pace given by
                       its @delay lines, frames without one follow the --rate interval
  --fast               ignore the file's delays and send as fast as possible
                       (the same as --rate 0)
  --loop               start the file again after its last frame
  --record FILE        also write every frame sent to FILE as a replay file

Command port:
  --command-port[=PORT]  answer the command protocol on this TCP port (default 50105
                       when given without a port; 0 picks a free port, which is printed)
  --command-bind ADDRESS  address the command port listens on (default 127.0.0.1)
  --param NAME=VALUE   add or change a parameter that "ombrix get"/"ombrix set" can
                       reach, e.g. --param "tracking exposure=300"; may be repeated

  -h, --help           show this help and exit
  --version            show the version and exit

Ctrl+C (SIGINT) or SIGTERM stops the run; a one-line summary gives the frames sent and the
rate achieved.

Exit status: 0 when the run ended as asked (also by Ctrl+C), 1 on a run-time failure
(host not resolvable, command port in use, file not readable or writable), 2 on a bad
argument or a malformed replay file.
)";
}
