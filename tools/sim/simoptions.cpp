#include "simoptions.h"

#include "commandline.h"
#include "decimaltext.h"

#include <map>

namespace {

// An option whose value is one of the names, stored as what it names; listed names them all.
template <typename Value>
CLI::Option* choice(CLI::App& app, const std::string& option, Value& target,
                    const std::map<std::string, Value>& names, const char* listed) {
    const auto store = [&target, names](const std::string& text) { target = names.at(text); };
    return app.add_option_function<std::string>(option, store)
        ->check([names, listed](const std::string& text) {
            return names.count(text) ? std::string()
                                     : std::string("needs ") + listed + ", not \"" + text + "\"";
        });
}

} // namespace

bool SimOptions::parse(const std::vector<std::string>& args, std::string& error) {
    CommandLine line;
    CLI::App& app = line.app;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_flag("--quiet", quiet);
    line.text("--host", host, "a host name or address");
    line.count("--port", port, 1, 65535);
    const auto store_rate = [this](const std::string& text) { parseDecimal(text, rate); };
    app.add_option_function<std::string>("--rate", store_rate)->check([](const std::string& text) {
        // A positive rate below the least one would put the frames so far apart that their send
        // times no longer fit the schedule's nanosecond counter.
        double value = 0;
        return parseDecimal(text, value) && value <= max_rate && (value == 0 || value >= min_rate)
                   ? std::string()
                   : "needs frames per second from 0.001 to 100000, or 0 (as fast as possible), "
                     "not \"" +
                         text + "\"";
    });
    line.count("--frames", frames, 1, UINT64_MAX);
    line.seconds("--duration", duration);

    // The options that only shape the generated scene, which a replay sends as recorded.
    CLI::Option* replay = line.text("--replay", replay_file, "a file name");
    for (CLI::Option* scene :
         {line.count("--skywands", skywands, 0, 100),
          choice(app, "--layout", layout,
                 {{"new", SkywandLayout::newer}, {"old", SkywandLayout::older}},
                 "\"new\" or \"old\""),
          app.add_flag("--all-kinds", all_kinds),
          choice(app, "--line-end", line_end,
                 {{"crlf", LineEnd::crlf}, {"lf", LineEnd::lf}, {"cr", LineEnd::cr}},
                 "\"crlf\", \"lf\" or \"cr\""),
          line.count("--first-frame", first_frame, 0, UINT32_MAX)}) {
        scene->excludes(replay);
    }
    app.add_flag("--loop", loop)->needs(replay);
    app.add_flag("--fast", fast);

    // Without a port it answers on the usual one.
    const auto store_command_port = [this](const std::string& text) {
        command_port = text.empty() ? default_command_port
                                    : static_cast<unsigned short>(CommandLine::wholeNumberOf(text));
    };
    CLI::Option* command =
        app.add_option_function<std::string>("--command-port", store_command_port)
            ->expected(0, 1)
            ->check([](const std::string& text) {
                return text.empty() ? std::string() : CommandLine::wholeNumber(0, 65535)(text);
            });
    line.text("--command-bind", command_bind, "an address")->needs(command);
    std::vector<std::string> parameter_texts;
    app.add_option("--param", parameter_texts)
        ->check([](const std::string& text) {
            const std::size_t split = text.find('=');
            return split == std::string::npos || text.find_first_not_of(' ') >= split
                       ? "needs NAME=VALUE, not \"" + text + "\""
                       : std::string();
        })
        ->needs(command)
        ->allow_extra_args(false) // one NAME=VALUE per --param
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    if (!line.parse(args, error)) {
        return false;
    }

    for (const std::string& text : parameter_texts) {
        const std::size_t split = text.find('=');
        parameters.emplace_back(text.substr(0, split), text.substr(split + 1));
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

Ctrl+C (SIGINT), SIGTERM or SIGHUP stops the run; a one-line summary gives the frames sent
and the rate achieved.

Exit status: 0 when the run ended as asked (also by Ctrl+C), 1 on a run-time failure
(host not resolvable, command port in use, replay file not readable), 2 on a bad
argument or a malformed replay file.
)";
}
