// ombrix-monitor: shows the tracking stream arriving on a UDP port. See --help.

#include "monitor.h"
#include "monitoroptions.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {

std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void requestStop(int) {
    stop_requested.store(true);
}

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a waiting receive returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // a closed terminal ends a check with its report
    // A reader that goes away shows as a write error, so the run can end with its summary.
    std::signal(SIGPIPE, SIG_IGN);
}

// The summary is redrawn in place only where escape sequences are understood.
bool outputIsTerminal() {
    const char* term = std::getenv("TERM");
    return isatty(STDOUT_FILENO) == 1 && !(term != nullptr && std::strcmp(term, "dumb") == 0);
}

} // namespace

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
    installSignalHandlers();
    Monitor monitor(options, std::cout, std::cerr, outputIsTerminal());
    return monitor.run(stop_requested);
}
