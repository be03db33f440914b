#include "framecounter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

void FrameCounter::add(std::uint32_t counter) {
    if (started) {
        const std::uint32_t ahead = counter - highest;
        const std::uint32_t behind = highest - counter;
        if (ahead == 0) {
            ++repeatedCount;
            return;
        }
        if (ahead <= maxGap) {
            lostCount += long(ahead - 1);
            arrived = ahead >= 64 ? 1 : (arrived << ahead) | 1;
            highest = counter;
            ++frameCount;
            return;
        }
        if (behind < reorderWindow) {
            const std::uint64_t bit = std::uint64_t(1) << behind;
            if (arrived & bit) {
                ++repeatedCount;
                return;
            }
            arrived |= bit;
            --lostCount;
            ++reorderedCount;
            ++frameCount;
            return;
        }
        ++restartCount;
    }
    started = true;
    highest = counter;
    arrived = ~std::uint64_t(0); // counters before the run's first were never counted lost
    ++frameCount;
}

std::optional<std::uint32_t> FrameCounter::counterOf(std::string_view datagram) {
    for (std::size_t line = 0; line < datagram.size();) {
        if (datagram.compare(line, 3, "fr ") == 0) {
            // Copied, as the datagram need not end in a NUL: a counter takes a few characters.
            char number[32] = {};
            const std::string_view rest = datagram.substr(line + 3, sizeof number - 1);
            std::memcpy(number, rest.data(), rest.size());
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(number, &end, 0);
            if (end == number)
                return std::nullopt;
            // Beyond the 32-bit range the client saturates; a minus sign gives the two's
            // complement.
            if (errno == ERANGE || value > std::numeric_limits<std::uint32_t>::max())
                return std::numeric_limits<std::uint32_t>::max();
            if (value < std::numeric_limits<std::int32_t>::min())
                return std::uint32_t(std::numeric_limits<std::int32_t>::min());
            return static_cast<std::uint32_t>(value);
        }
        const std::size_t end = datagram.find_first_of("\r\n", line);
        if (end == std::string_view::npos)
            break;
        line = datagram.find_first_not_of("\r\n", end);
        if (line == std::string_view::npos)
            break;
    }
    return std::nullopt;
}
