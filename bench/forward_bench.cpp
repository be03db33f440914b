// ombrix-monitor --forward under load: frames paced at a rate go to SEND_PORT on loopback and
// are timed until they arrive at RECEIVE_PORT, where a monitor forwards them; prints the delay,
// the frames lost and, given its process id, the monitor's CPU share. With SEND_PORT equal to
// RECEIVE_PORT the frames go straight there: the loopback's own delay.
//   forward_bench single|typical|largest RATE SECONDS SEND_PORT RECEIVE_PORT [MONITOR_PID]

#include "sampleframes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

double cpuSeconds(const char* pid) { // user and system time: fields 14 and 15 of /proc/PID/stat
    std::ifstream stat(std::string("/proc/") + pid + "/stat");
    std::string field;
    double user = 0, system = 0;
    for (int i = 1; i <= 13; ++i)
        stat >> field;
    stat >> user >> system;
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int main(int argc, char** argv) {
    if (argc < 6)
        return std::fputs("usage: see the first lines of bench/forward_bench.cpp\n", stderr), 2;
    const double rate = std::stod(argv[2]), cpu_start = argc > 6 ? cpuSeconds(argv[6]) : 0;
    const std::size_t count = static_cast<std::size_t>(rate * std::stod(argv[3]));
    const std::string text = sample_frame(argv[1]).text;
    if (text.empty())
        return std::fputs("forward_bench: the frames are single, typical or largest\n", stderr), 2;
    const auto loopback = [](const char* port) {
        return sockaddr_in{AF_INET, htons(std::stoi(port)), {htonl(INADDR_LOOPBACK)}, {}};
    };
    const sockaddr_in to = loopback(argv[4]), at = loopback(argv[5]);
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0),
              receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int queue = 8 << 20;
    const timeval wait{1, 0};
    ::setsockopt(receiver, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);
    ::setsockopt(receiver, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::bind(receiver, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
        return std::perror("forward_bench: RECEIVE_PORT"), 1;
    std::vector<Clock::time_point> sent(count), arrived(count);
    std::thread receiving([&] { // the frame counter tells which frame arrived
        std::vector<char> buffer(65536);
        for (ssize_t n; (n = ::recv(receiver, buffer.data(), buffer.size() - 1, 0)) > 0;) {
            buffer[static_cast<std::size_t>(n)] = '\0';
            const std::size_t frame = std::strtoul(buffer.data() + 3, nullptr, 10);
            if (frame < count)
                arrived[frame] = Clock::now();
        }
    });
    const auto start = Clock::now();
    for (std::size_t frame = 0; frame < count; ++frame) {
        const std::string datagram = "fr " + std::to_string(frame) + text.substr(text.find('\n'));
        std::this_thread::sleep_until(start + std::chrono::duration<double>(frame / rate));
        sent[frame] = Clock::now();
        ::sendto(sender, datagram.data(), datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = argc > 6 ? cpuSeconds(argv[6]) - cpu_start : 0;
    receiving.join();
    std::vector<double> ms;
    for (std::size_t frame = 0; frame < count; ++frame)
        if (arrived[frame] != Clock::time_point{})
            ms.push_back(
                std::chrono::duration<double, std::milli>(arrived[frame] - sent[frame]).count());
    std::sort(ms.begin(), ms.end());
    const auto q = [&](double p) { return ms.empty() ? 0 : ms[std::size_t(p * (ms.size() - 1))]; };
    std::printf("%s frames (%zu bytes) at %.0f Hz: %zu sent, %zu lost; delay p50 %.3f ms, p99 %.3f "
                "ms, max %.3f ms; monitor CPU %.1f %% of one core\n",
                argv[1], text.size(), rate, count, count - ms.size(), q(0.5), q(0.99), q(1.0),
                100.0 * cpu / seconds);
}
