// ombrix-sim: a stand-in for the Ombrix tracking controller. See --help.

#include "commandline.h"
#include "simoptions.h"
#include "simulator.h"
#include "stopsignals.h"

int main(int argc, char** argv) {
    SimOptions options;
    if (const std::optional<int> status =
            CommandLine::start(options, argc, argv, "ombrix-sim", OMBRIX_SIM_VERSION)) {
        return *status;
    }
    return simulate(options, stopOnSignals(), std::cout, std::cerr);
}
