#include "pacer.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

namespace {

constexpr std::int64_t ns_per_s = 1'000'000'000;
constexpr std::int64_t stop_check_ns = 100'000'000;

timespec toTimespec(std::int64_t ns) {
    timespec ts;
    ts.tv_sec = static_cast<time_t>(ns / ns_per_s);
    ts.tv_nsec = static_cast<long>(ns % ns_per_s);
    return ts;
}

} // namespace

std::int64_t Pacer::nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * ns_per_s + ts.tv_nsec;
}

void Pacer::start() {
    // The kernel may let a sleep overrun by its timer slack (50 us by default) to batch
    // wake-ups; at 2000 Hz that is a tenth of the interval, so ask for the least slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    start_ns = nowNs();
    shift_ns = 0;
    resync_count = 0;
}

std::int64_t Pacer::elapsedNs() const {
    return nowNs() - start_ns;
}

std::int64_t Pacer::waitUntil(std::int64_t offset_ns, const std::atomic<bool>& stop) {
    const std::int64_t target = start_ns + shift_ns + offset_ns;
    std::int64_t now = nowNs();
    if (now - target > max_lag_ns) {
        shift_ns += now - target;
        ++resync_count;
        return now - start_ns;
    }
    // Sleep in steps so that a stop request is seen soon even when the signal that set it
    // arrived just before the sleep began.
    while (now < target) {
        if (stop.load()) {
            return -1;
        }
        const std::int64_t step_end = std::min(target, now + stop_check_ns);
        if (serve) {
            serve(step_end - now);
        } else {
            const timespec until = toTimespec(step_end);
            const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
            if (result != 0 && result != EINTR) {
                break; // cannot sleep: send now rather than spin
            }
        }
        now = nowNs();
    }
    if (stop.load()) {
        return -1;
    }
    return target - start_ns;
}
