// What one run of ombrix-monitor is asked to do.

#ifndef MONITOROPTIONS_H
#define MONITOROPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MonitorOptions {
    unsigned short port = 5000; // 0: a free port chosen by the system, printed at the start
    bool raw = false;
    bool json = false;
    std::optional<int> skywand; // --skywand: one-based device number, as the tester's selector

    std::string record_file;             // empty: no recording
    std::optional<std::uint64_t> frames; // stop after this many datagrams arrived
    std::optional<double> duration;      // stop after this many seconds
    std::vector<std::string> forward;    // HOST:PORT each datagram is passed on to

    bool find = false;       // --find: wait for the device in hand and print its name
    int check = 0;           // --check: one-based number of the device to check; 0 for none
    std::string report_file; // --report: the check's report as JSON; empty for none

    bool help = false;
    bool version = false;

    // The live summary is the output only when no view of its own was asked for; otherwise
    // the closing summary goes to the error output.
    bool summaryOnly() const { return !raw && !json && !skywand && !find && !check; }

    // args without the program name. False with a one-line message naming the option on a bad
    // argument; the options are then partly filled and must not be used.
    bool parse(const std::vector<std::string>& args, std::string& error);
    static std::string helpText();
};

#endif // MONITOROPTIONS_H
