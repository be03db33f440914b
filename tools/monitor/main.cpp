// ombrix-monitor: shows the tracking stream arriving on a UDP port. See --help.

#include "commandline.h"
#include "monitor.h"
#include "monitoroptions.h"
#include "stopsignals.h"
#include "terminalblock.h"

#include <csignal>

int main(int argc, char** argv) {
    MonitorOptions options;
    if (const std::optional<int> status =
            CommandLine::start(options, argc, argv, "ombrix-monitor", Monitor::version())) {
        return *status;
    }
    const std::atomic<bool>& stop = stopOnSignals();
    // A reader that goes away shows as a write error, so the run can end with its summary.
    std::signal(SIGPIPE, SIG_IGN);
    Monitor monitor(options, std::cout, std::cerr, TerminalBlock::outputIsTerminal());
    return monitor.run(stop);
}
