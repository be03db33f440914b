#include "framecounter.h"

FrameCounter::Step FrameCounter::add(std::uint32_t counter) {
    const bool first = !started;
    if (started) {
        const std::uint32_t ahead = counter - highest;
        const std::uint32_t behind = highest - counter;
        if (ahead == 0) {
            ++repeatedCount;
            return Step::repeated;
        }
        if (ahead <= maxGap) {
            lostCount += long(ahead - 1);
            arrived = ahead >= 64 ? 1 : (arrived << ahead) | 1;
            highest = counter;
            ++frameCount;
            return Step::next;
        }
        if (behind < reorderWindow) {
            const std::uint64_t bit = std::uint64_t(1) << behind;
            if (arrived & bit) {
                ++repeatedCount;
                return Step::repeated;
            }
            arrived |= bit;
            --lostCount;
            ++reorderedCount;
            ++frameCount;
            return Step::reordered;
        }
        ++restartCount;
    }
    started = true;
    highest = counter;
    arrived = ~std::uint64_t(0); // counters before the run's first were never counted lost
    ++frameCount;
    return first ? Step::first : Step::restarted;
}
