// pacing-probe: receives a stream of UDP datagrams on loopback and prints how steady its pace
// was, to measure the send rate of ombrix-sim from the receiving side.
//
// Usage: pacing-probe --port PORT --frames N [--timeout SECONDS]

#include "decimaltext.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

double nowSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int usage(const char* problem) {
    std::fprintf(stderr,
                 "pacing-probe: %s\nUsage: pacing-probe --port PORT --frames N "
                 "[--timeout SECONDS]\n",
                 problem);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t port = 0;
    std::uint64_t frames = 0;
    double timeout_s = 2.0; // wait for the first datagram, and at most this long between two
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        const bool ok = name == "--port" ? parseUnsigned(value, port) && port > 0 && port < 65536
                        : name == "--frames"  ? parseUnsigned(value, frames) && frames > 1
                        : name == "--timeout" ? parseDecimal(value, timeout_s) && timeout_s > 0
                                              : false;
        if (!ok) {
            return usage(("bad argument " + name + " " + value).c_str());
        }
    }
    if (port == 0 || frames == 0 || argc % 2 == 0) {
        return usage("--port and --frames are needed");
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int buffer_size = 4 << 20; // room for bursts while this process is not scheduled
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer_size, sizeof buffer_size);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "pacing-probe: cannot listen on port %llu: %s\n",
                     static_cast<unsigned long long>(port), std::strerror(errno));
        return 1;
    }

    std::vector<double> arrivals;
    arrivals.reserve(frames);
    std::vector<char> buffer(65536);
    while (arrivals.size() < frames) {
        pollfd watched{fd, POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(timeout_s * 1000)) <= 0) {
            break;
        }
        if (::recv(fd, buffer.data(), buffer.size(), 0) >= 0) {
            arrivals.push_back(nowSeconds());
        }
    }
    ::close(fd);
    if (arrivals.size() < 2) {
        std::fprintf(stderr, "pacing-probe: received %zu datagrams, too few to measure\n",
                     arrivals.size());
        return 1;
    }

    std::vector<double> intervals;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        intervals.push_back(arrivals[i] - arrivals[i - 1]);
    }
    const double span = arrivals.back() - arrivals.front();
    const double mean = span / static_cast<double>(intervals.size());
    double variance = 0;
    for (double interval : intervals) {
        variance += (interval - mean) * (interval - mean);
    }
    variance /= static_cast<double>(intervals.size());
    std::sort(intervals.begin(), intervals.end());
    const double p99 = intervals[intervals.size() * 99 / 100];
    std::printf("received %zu of %llu in %.3f s: %.3f Hz; interval mean %.1f us, sd %.1f us, "
                "p99 %.1f us, max %.1f us\n",
                arrivals.size(), static_cast<unsigned long long>(frames), span,
                static_cast<double>(intervals.size()) / span, mean * 1e6, std::sqrt(variance) * 1e6,
                p99 * 1e6, intervals.back() * 1e6);
    return arrivals.size() == frames ? 0 : 1;
}
