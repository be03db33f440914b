// One run of the simulated controller: frames out at a pace, the command port beside them.

#ifndef SIMULATOR_H
#define SIMULATOR_H

#include "simoptions.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>

class Simulator {
public:
    enum ExitStatus { success = 0, runtime_failure = 1, bad_input = 2 };

    // out receives the start line and the summary, err the messages; both must outlive run().
    Simulator(const SimOptions& options, std::ostream& out, std::ostream& err);

    // Runs until the frame count or duration is reached, the replay file ends (without
    // --loop), or stop becomes true. Returns the process exit status.
    int run(const std::atomic<bool>& stop);

    static const char* version();

private:
    struct Counters {
        std::uint64_t sent = 0;
        std::uint64_t failed = 0;
        std::int64_t first_send_ns = -1;
        std::int64_t last_send_ns = -1;
        std::map<int, bool> reported_errors; // errno values already reported
    };

    std::string pace(const char* verb) const;
    std::string summary(const Counters& counters, unsigned resyncs) const;

    const SimOptions& options;
    std::ostream& out;
    std::ostream& err;
};

#endif // SIMULATOR_H
