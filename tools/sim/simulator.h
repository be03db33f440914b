// One run of the simulated controller: frames out at a pace, the command port beside them.

#ifndef SIMULATOR_H
#define SIMULATOR_H

#include "simoptions.h"

#include <atomic>
#include <ostream>

// Runs until the frame count or duration is reached, the replay file ends (without --loop), or
// stop becomes true. out receives the start line and the summary, err the messages. Returns the
// process exit status: 0 when the run ended as asked, 1 on a run-time failure, 2 on bad input.
int simulate(const SimOptions& options, const std::atomic<bool>& stop, std::ostream& out,
             std::ostream& err);

#endif // SIMULATOR_H
