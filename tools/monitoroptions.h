// What one run of ombrix-monitor is asked to do.

#ifndef MONITOROPTIONS_H
#define MONITOROPTIONS_H

#include <cstdint>
#include <optional>
#include <string>

struct MonitorOptions {
    // What is printed for each datagram; the live summary stands alone only with none.
    enum class View { summary, skywand, raw, json };

    unsigned short port = 5000; // 0: a free port chosen by the system, printed at the start
    View view = View::summary;
    int skywand = 1; // --skywand: one-based device number, as the tester's selector counts

    std::string record_file;             // empty: no recording
    std::optional<std::uint64_t> frames; // stop after this many datagrams arrived
    std::optional<double> duration;      // stop after this many seconds

    bool help = false;
    bool version = false;
};

#endif // MONITOROPTIONS_H
