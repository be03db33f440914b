// Keeps a schedule of absolute send times on the monotonic clock.

#ifndef PACER_H
#define PACER_H

#include <atomic>
#include <cstdint>
#include <functional>

// Each frame's send time is an offset from the start of the run, and the pacer waits until
// that absolute time, so that the time spent formatting and sending never adds up to drift.
// When the process falls far behind (suspended, starved of CPU), the schedule is moved on
// instead of sending the missed frames in a burst.
class Pacer {
public:
    // How late a frame may be before the schedule gives up catching up.
    static constexpr std::int64_t max_lag_ns = 200'000'000;

    // Starts the schedule now. The pacer waits by calling wait with the most it may wait in
    // nanoseconds (the command server's poll), and calls it again if it returns early.
    explicit Pacer(std::function<void(std::int64_t wait_ns)> wait);

    // Waits until the frame due at offset_ns (since the start, plus any shift of the schedule).
    // False when stop was set while waiting; the flag is checked at least every 100 ms.
    bool waitUntil(std::int64_t offset_ns, const std::atomic<bool>& stop);

    std::int64_t elapsedNs() const;
    // How far the schedule has been moved on, in nanoseconds.
    std::int64_t shiftNs() const { return shift_ns; }
    // How many times the schedule was moved on because of lag.
    unsigned resyncs() const { return resync_count; }

private:
    std::function<void(std::int64_t)> wait;
    std::int64_t start_ns;
    std::int64_t shift_ns = 0; // added to every offset after a resync
    unsigned resync_count = 0;
};

#endif // PACER_H
