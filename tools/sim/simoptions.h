// What one run of the simulated controller is asked to do.

#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include "frameformatter.h"
#include "framestate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SimOptions {
    std::string host = "127.0.0.1";
    unsigned short port = 5000;
    double rate = 60.0; // frames per second; 0 = as fast as possible
    std::optional<std::uint64_t> frames;
    std::optional<double> duration; // seconds

    int skywands = 2;
    SkywandLayout layout = SkywandLayout::newer;
    bool all_kinds = false;
    LineEnd line_end = LineEnd::crlf;
    std::uint32_t first_frame = 1;

    std::string replay_file; // empty: the generated scene
    bool loop = false;
    bool fast = false;

    std::optional<unsigned short> command_port; // none: no command port; 0: any free port
    std::string command_bind = "127.0.0.1";
    std::vector<std::pair<std::string, std::string>> parameters; // name, value

    bool quiet = false;

    bool help = false;
    bool version = false;

    // args without the program name. False with a one-line message naming the option on a bad
    // argument; the options are then partly filled and must not be used.
    bool parse(const std::vector<std::string>& args, std::string& error);
    static std::string helpText();

    static constexpr unsigned short default_command_port = 50105;
    static constexpr double max_rate = 100000.0;
    static constexpr double min_rate = 0.001; // one frame in about 17 minutes
};

#endif // SIMOPTIONS_H
