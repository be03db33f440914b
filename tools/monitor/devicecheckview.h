// ombrix-monitor's --find and --check: the search for the Skywand in the user's hand, or the
// guided check of one Skywand, fed with every frame the monitor parses. The check's checklist
// is redrawn in place on a terminal and printed as one plain line per change elsewhere; the
// outcome is the last line of the output and the exit status.

#ifndef DEVICECHECKVIEW_H
#define DEVICECHECKVIEW_H

#include "checkitems.h"
#include "monitoroptions.h"
#include "skywandcheck.h"
#include "skywandfinder.h"
#include "terminalblock.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class Ombrix;

class DeviceCheckView {
public:
    using Clock = SkywandCheck::Clock;

    // The check's time limit when --duration does not set one.
    static constexpr auto default_time_limit = std::chrono::seconds(120);
    // The terminal's checklist is redrawn at most this often.
    static constexpr auto redraw_interval = std::chrono::milliseconds(100);

    // port: the port listened on, for the report and the messages. Both streams must outlive
    // the view.
    DeviceCheckView(const MonitorOptions& options, unsigned short port, std::ostream& out,
                    std::ostream& err, bool out_is_terminal);

    // Creates the report's temporary file beside the report, so that a folder that cannot be
    // written fails now rather than after the check, and says on err what the user is to do.
    // False with a message when it cannot be created.
    bool start();
    // Every datagram the client read, in arrival order, the ones it drained included.
    void datagramRead(std::string_view datagram);
    // Every frame the client parsed, in the order they arrived.
    void frameParsed(const Ombrix& client);
    // The newest datagram of a receive was not a frame.
    void frameUnparsed(std::string_view datagram);
    // After every receive, whatever it gave: the time limit runs and the view follows. True
    // once the device is found or the verdict is in, so that the run can end.
    bool tick();
    // The end of the run, stopped meaning by Ctrl+C or a signal: prints the outcome, writes the
    // report and returns the exit status (0 found or passed, 1 otherwise or when the report
    // failed).
    int finish(bool stopped);

private:
    void show(Clock::time_point now, bool final_refresh);
    void redraw(const CheckReport& report);
    void printChanges(const CheckReport& report);
    std::string findFailure(bool stopped) const;
    std::string verdictLine(const CheckReport& report, bool stopped) const;
    bool writeReport(const CheckReport& report);
    double timeLimitSeconds() const;

    const MonitorOptions& options;
    const unsigned short port;
    std::ostream& out;
    std::ostream& err;
    const bool out_is_terminal;
    const Clock::time_point started;

    std::optional<SkywandFinder> finder;
    std::vector<ombrix_skywand_type> records; // of the newest frame, kept to save allocations
    long frames = 0;

    std::optional<SkywandCheck> check;
    std::string device;      // "S2"
    std::string report_temp; // the report's temporary file while the check runs
    std::ofstream report_file;
    Clock::time_point next_redraw;
    TerminalBlock block;
    std::vector<CheckItem> printed; // the items as the plain lines last told them
    bool printed_seen = false;      // and whether the device's checklist was known then
};

#endif // DEVICECHECKVIEW_H
