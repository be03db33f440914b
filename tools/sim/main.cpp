// ombrix-sim: a stand-in for the Ombrix tracking controller. See --help.

#include "commandline.h"
#include "simoptions.h"
#include "simulator.h"
#include "stopsignals.h"

int main(int argc, char** argv) {
    SimOptions options;
    if (const std::optional<int> status =
            CommandLine::start(options, argc, argv, "ombrix-sim", Simulator::version())) {
        return *status;
    }
    Simulator simulator(options, std::cout, std::cerr);
    return simulator.run(stopOnSignals());
}
