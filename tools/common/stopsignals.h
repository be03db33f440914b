// A clean stop on Ctrl+C, on `kill` and when the terminal goes away.

#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <atomic>

// Lets SIGINT, SIGTERM and SIGHUP set the returned flag instead of ending the process, so that
// a run can stop and print its summary. A wait under way (a sleep, a poll, a receive) returns
// at once with EINTR, since the calls are not restarted.
const std::atomic<bool>& stopOnSignals();

#endif // STOPSIGNALS_H
