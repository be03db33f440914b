// ombrix-monitor: shows the tracking stream arriving on a UDP port. See --help.

#include "monitor.h"
#include "monitoroptions.h"
#include "stopsignals.h"
#include "terminalblock.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    MonitorOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::cerr << "ombrix-monitor: " << error << "\nTry 'ombrix-monitor --help' for more.\n";
        return Monitor::bad_input;
    }
    if (options.help) {
        std::cout << MonitorOptions::helpText();
        return Monitor::success;
    }
    if (options.version) {
        std::cout << "ombrix-monitor " << Monitor::version() << "\n";
        return Monitor::success;
    }
    const std::atomic<bool>& stop = stopOnSignals();
    // A reader that goes away shows as a write error, so the run can end with its summary.
    std::signal(SIGPIPE, SIG_IGN);
    Monitor monitor(options, std::cout, std::cerr, TerminalBlock::outputIsTerminal());
    return monitor.run(stop);
}
