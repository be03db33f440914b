#include "simoptions.h"

#include "decimaltext.h"

#include <CLI/CLI.hpp>

namespace {

// The checks return CLI11's validator result: empty when the text is good, else the reason,
// which CLI11 puts after the option's name.
std::function<std::string(const std::string&)> wholeNumber(std::uint64_t low, std::uint64_t high) {
    return [low, high](const std::string& text) {
        std::uint64_t value = 0;
        if (parseUnsigned(text, value) && value >= low && value <= high) {
            return std::string();
        }
        return "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not \"" + text + "\"";
    };
}

std::uint64_t wholeNumberOf(const std::string& text) {
    std::uint64_t value = 0;
    parseUnsigned(text, value); // already checked
    return value;
}

std::function<std::string(const std::string&)> notEmpty(const char* what) {
    return [what](const std::string& text) {
        return text.empty() ? std::string("needs ") + what : std::string();
    };
}

std::function<std::string(const std::string&)> oneOf(std::vector<std::string> words,
                                                     const char* listed) {
    return [words, listed](const std::string& text) {
        return std::find(words.begin(), words.end(), text) != words.end()
                   ? std::string()
                   : std::string("needs ") + listed + ", not \"" + text + "\"";
    };
}

} // namespace

bool SimOptions::parse(const std::vector<std::string>& args, std::string& error) {
    CLI::App app;
    app.set_help_flag();
    // As with GNU tools, a repeated option counts with its last value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_flag("--quiet", quiet);
    app.add_option("--host", host)->check(notEmpty("a host name or address"));
    app.add_option_function<std::string>("--port",
                                         [this](const std::string& text) {
                                             port =
                                                 static_cast<unsigned short>(wholeNumberOf(text));
                                         })
        ->check(wholeNumber(1, 65535));
    app.add_option_function<std::string>(
           "--rate", [this](const std::string& text) { parseDecimal(text, rate); })
        ->check([](const std::string& text) {
            // A positive rate below the least one would put the frames so far apart that their
            // send times no longer fit the schedule's nanosecond counter.
            double value = 0;
            if (parseDecimal(text, value) && value <= max_rate &&
                (value == 0 || value >= min_rate)) {
                return std::string();
            }
            return "needs frames per second from 0.001 to 100000, or 0 (as fast as possible), not "
                   "\"" +
                   text + "\"";
        });
    app.add_option_function<std::string>(
           "--frames", [this](const std::string& text) { frames = wholeNumberOf(text); })
        ->check(wholeNumber(1, UINT64_MAX));
    app.add_option_function<std::string>("--duration",
                                         [this](const std::string& text) {
                                             double seconds = 0;
                                             parseDecimal(text, seconds);
                                             duration = seconds;
                                         })
        ->check([](const std::string& text) {
            double seconds = 0;
            return parseDecimal(text, seconds) && seconds > 0 && seconds <= 1e9
                       ? std::string()
                       : "needs seconds greater than 0, not \"" + text + "\"";
        });

    // The options that only shape the generated scene, which a replay sends as recorded.
    CLI::Option* replay = app.add_option("--replay", replay_file)->check(notEmpty("a file name"));
    const std::vector<CLI::Option*> scene = {
        app.add_option_function<std::string>("--skywands",
                                             [this](const std::string& text) {
                                                 skywands = static_cast<int>(wholeNumberOf(text));
                                             })
            ->check(wholeNumber(0, 100)),
        app.add_option_function<std::string>("--layout",
                                             [this](const std::string& text) {
                                                 layout = text == "old" ? SkywandLayout::older
                                                                        : SkywandLayout::newer;
                                             })
            ->check(oneOf({"new", "old"}, "\"new\" or \"old\"")),
        app.add_flag("--all-kinds", all_kinds),
        app.add_option_function<std::string>("--line-end",
                                             [this](const std::string& text) {
                                                 line_end = text == "lf"   ? LineEnd::lf
                                                            : text == "cr" ? LineEnd::cr
                                                                           : LineEnd::crlf;
                                             })
            ->check(oneOf({"crlf", "lf", "cr"}, "\"crlf\", \"lf\" or \"cr\"")),
        app.add_option_function<std::string>("--first-frame",
                                             [this](const std::string& text) {
                                                 first_frame = static_cast<std::uint32_t>(
                                                     wholeNumberOf(text));
                                             })
            ->check(wholeNumber(0, UINT32_MAX))};
    for (CLI::Option* option : scene) {
        option->excludes(replay);
    }
    app.add_flag("--loop", loop)->needs(replay);
    app.add_flag("--fast", fast);

    // Without a port it answers on the usual one.
    CLI::Option* command =
        app.add_option_function<std::string>("--command-port", [this](const std::string& text) {
            command_port = static_cast<unsigned short>(text.empty() ? default_command_port
                                                                    : wholeNumberOf(text));
        });
    command->expected(0, 1)->check([](const std::string& text) {
        return text.empty() ? std::string() : wholeNumber(0, 65535)(text);
    });
    app.add_option("--command-bind", command_bind)->check(notEmpty("an address"))->needs(command);
    app.add_option_function<std::string>("--param",
                                         [this](const std::string& text) {
                                             const std::size_t split = text.find('=');
                                             parameters.emplace_back(text.substr(0, split),
                                                                     text.substr(split + 1));
                                         })
        ->check([](const std::string& text) {
            const std::size_t split = text.find('=');
            return split == std::string::npos || text.find_first_not_of(' ') >= split
                       ? "needs NAME=VALUE, not \"" + text + "\""
                       : std::string();
        })
        ->needs(command)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->trigger_on_parse();

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend()); // as CLI11 reads them
        app.parse(reversed);
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

std::string SimOptions::helpText() {
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
(host not resolvable, command port in use, replay file not readable), 2 on a bad
argument or a malformed replay file.
)";
}
