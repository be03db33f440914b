// ombrix-sim: a stand-in for the Ombrix tracking controller. See --help.

#include "simoptions.h"
#include "simulator.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> stop_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void requestStop(int) {
    stop_requested.store(true);
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a sleep ends at once with EINTR
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::cerr << "ombrix-sim: " << error << "\nTry 'ombrix-sim --help' for more.\n";
        return Simulator::bad_input;
    }
    if (options.help) {
        std::cout << SimOptions::helpText();
        return Simulator::success;
    }
    if (options.version) {
        std::cout << "ombrix-sim " << Simulator::version() << "\n";
        return Simulator::success;
    }
    installStopHandlers();
    Simulator simulator(options, std::cout, std::cerr);
    return simulator.run(stop_requested);
}
