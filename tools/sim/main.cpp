// ombrix-sim: a stand-in for the Ombrix tracking controller. See --help.

#include "simoptions.h"
#include "simulator.h"
#include "stopsignals.h"

#include <iostream>

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
    const std::atomic<bool>& stop = stopOnSignals();
    Simulator simulator(options, std::cout, std::cerr);
    return simulator.run(stop);
}
