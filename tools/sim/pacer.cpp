#include "pacer.h"

#include <algorithm>
#include <chrono>
#include <sys/prctl.h>

namespace {

constexpr std::int64_t stop_check_ns = 100'000'000;

std::int64_t nowNs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

} // namespace

Pacer::Pacer(std::function<void(std::int64_t)> wait) : wait(std::move(wait)), start_ns(nowNs()) {
    // A wait ends on the command server's timer, which the kernel fires on time. Should no
    // timer be had, it ends on the poll's own timeout, which may overrun by the timer slack
    // (50 us by default) to batch wake-ups; at 2000 Hz that is a tenth of the interval, so ask
    // for the least slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

std::int64_t Pacer::elapsedNs() const {
    return nowNs() - start_ns;
}

bool Pacer::waitUntil(std::int64_t offset_ns, const std::atomic<bool>& stop) {
    const std::int64_t target = start_ns + shift_ns + offset_ns;
    std::int64_t now = nowNs();
    if (now - target > max_lag_ns) {
        shift_ns += now - target;
        ++resync_count;
        return true;
    }
    // Wait in steps so that a stop request is seen soon even when the signal that set it
    // arrived just before the wait began.
    while (now < target) {
        if (stop.load()) {
            return false;
        }
        wait(std::min(target - now, stop_check_ns));
        now = nowNs();
    }
    return !stop.load();
}
