// ombrix-monitor --forward under load: frames paced at a rate go to the monitor, which passes
// them on to a receiver on loopback. Prints the delay from send to forwarded arrival, the
// frames lost, and the monitor's CPU share. --direct sends to the receiver without the
// monitor, for the loopback's own delay.
//   forward_bench [typical|largest] [rate Hz] [seconds] [--direct]

#include "sampleframes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

int udpSocket(unsigned short& port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int buffer = 8 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

double cpuSeconds(pid_t pid) { // user and system time from /proc/PID/stat
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    for (int i = 1; i <= 13 && stat >> field; ++i) {
    }
    double user = 0, system = 0;
    stat >> user >> system;
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv) {
    const bool largest = argc > 1 && std::string(argv[1]) == "largest";
    const double rate = argc > 2 ? std::stod(argv[2]) : 1000.0;
    const double seconds = argc > 3 ? std::stod(argv[3]) : 10.0;
    const bool direct = argc > 4 && std::string(argv[4]) == "--direct";
    const std::string text = sample_frame(largest ? FrameSize::largest : FrameSize::typical).text();
    const std::string body = text.substr(text.find('\n'));

    unsigned short receiver_port = 0, sender_port = 0, monitor_port = 0;
    const int receiver = udpSocket(receiver_port), sender = udpSocket(sender_port);
    ::close(udpSocket(monitor_port)); // a free port for the monitor
    pid_t monitor = 0;
    const std::string forward = "127.0.0.1:" + std::to_string(receiver_port);
    const std::string port = std::to_string(monitor_port);
    const char* args[] = {OMBRIX_MONITOR_PATH, "--port",        port.c_str(),
                          "--forward",         forward.c_str(), nullptr};
    posix_spawn_file_actions_t quiet; // the monitor's summary would mix with the figures
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&quiet, 1, 2);
    if (!direct && ::posix_spawn(&monitor, args[0], &quiet, nullptr, const_cast<char* const*>(args),
                                 environ) != 0) {
        std::perror("forward_bench: cannot start ombrix-monitor");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1)); // the monitor binds and settles
    const std::size_t count = static_cast<std::size_t>(rate * seconds);
    std::vector<Clock::time_point> sent(count), arrived(count);
    std::thread receiving([&] {
        std::vector<char> buffer(65536);
        timeval wait{1, 0};
        ::setsockopt(receiver, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        for (ssize_t n; (n = ::recv(receiver, buffer.data(), buffer.size() - 1, 0)) > 0;) {
            const auto now = Clock::now();
            buffer[static_cast<std::size_t>(n)] = '\0';
            const std::size_t frame = std::strtoul(buffer.data() + 3, nullptr, 10);
            if (frame < count) {
                arrived[frame] = now;
            }
        }
    });
    const double cpu_start = direct ? 0 : cpuSeconds(monitor);
    const sockaddr_in to{
        AF_INET, htons(direct ? receiver_port : monitor_port), {htonl(INADDR_LOOPBACK)}, {}};
    const auto start = Clock::now();
    for (std::size_t frame = 0; frame < count; ++frame) {
        const std::string datagram = "fr " + std::to_string(frame) + body;
        std::this_thread::sleep_until(start + std::chrono::duration<double>(frame / rate));
        sent[frame] = Clock::now();
        ::sendto(sender, datagram.data(), datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = direct ? 0 : cpuSeconds(monitor) - cpu_start;
    receiving.join();
    if (!direct) {
        ::kill(monitor, SIGTERM);
        ::waitpid(monitor, nullptr, 0);
    }
    std::vector<double> delays_ms;
    for (std::size_t frame = 0; frame < count; ++frame) {
        if (arrived[frame] != Clock::time_point{}) {
            delays_ms.push_back(
                std::chrono::duration<double, std::milli>(arrived[frame] - sent[frame]).count());
        }
    }
    std::sort(delays_ms.begin(), delays_ms.end());
    const auto at = [&](double q) {
        return delays_ms.empty() ? 0.0
                                 : delays_ms[static_cast<std::size_t>(q * (delays_ms.size() - 1))];
    };
    std::printf("%s %s frames (%zu bytes) at %.0f Hz for %.0f s: %zu sent, %zu lost; delay "
                "p50 %.3f ms, p99 %.3f ms, max %.3f ms; monitor CPU %.1f %% of one core\n",
                direct ? "direct" : "forwarded", largest ? "largest" : "typical", text.size(), rate,
                seconds, count, count - delays_ms.size(), at(0.5), at(0.99), at(1.0),
                100.0 * cpu / wall);
    return 0;
}
