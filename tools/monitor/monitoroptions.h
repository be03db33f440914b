// What one run of ombrix-monitor is asked to do.

#ifndef MONITOROPTIONS_H
#define MONITOROPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MonitorOptions {
    // What is printed for each datagram; the live summary stands alone only with none. The
    // device check (--find, --check) prints its own view instead of the summary.
    enum class View { summary, skywand, raw, json, device };

    unsigned short port = 5000; // 0: a free port chosen by the system, printed at the start
    View view = View::summary;
    int skywand = 1; // --skywand: one-based device number, as the tester's selector counts

    std::string record_file;             // empty: no recording
    std::optional<std::uint64_t> frames; // stop after this many datagrams arrived
    std::optional<double> duration;      // stop after this many seconds
    std::vector<std::string> forward;    // HOST:PORT each datagram is passed on to

    bool find = false;  // --find: wait for the device in hand and print its name
    int check = 0;      // --check: one-based number of the device to check; 0 for none
    std::string report_file; // --report: the check's report as JSON; empty for none

    bool help = false;
    bool version = false;

    // args without the program name. False with a one-line message naming the option on a bad
    // argument; the options are then partly filled and must not be used.
    bool parse(const std::vector<std::string>& args, std::string& error);
    static std::string helpText();
};

#endif // MONITOROPTIONS_H
