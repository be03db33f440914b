// The display path: the real tester window in this process, fed over UDP on loopback with the
// simulated controller's frames at a fixed rate from a thread of its own.
//
//   display_bench [--rate HZ] [--frame typical|large] [--warmup S] [--seconds S]
//                 [--label NAME] [--out FILE]
//
// Over --seconds after the warm-up it measures the tester's CPU share of one core (the
// process's CPU time less the sending thread's), the lag from a frame's send to the screen
// showing it (p50 and p99 over the frames shown), and how far the resident memory grew.
// Once the stream has stopped, the screen must show the newest frame exactly as a full
// repaint of the window does; otherwise the exit status is 1. With --out it writes one
// Google Benchmark style run named "display/NAME" for bench/run's table.
#include "frameformatter.h"
#include "joystickwidget.h"
#include "scenario.h"
#include "skywandtester.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QBackingStore>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Frames are sent in turns of `turnLength` distinct frames; the first Skywand's joystick tells the
// slot: horizontal value (slot % 100) / 100, vertical value (slot / 100) / 100. So the stick moves
// and the horizontal value's text changes with every frame, as when a user moves it.
constexpr int turnLength = 1000;

int slotOf(double horizontal, double vertical) {
    return int(std::lround(horizontal * 100)) + 100 * int(std::lround(vertical * 100));
}

std::int64_t nowNs(clockid_t clock = CLOCK_MONOTONIC) {
    timespec t{};
    clock_gettime(clock, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t processCpuNs() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return (std::int64_t(use.ru_utime.tv_sec) + use.ru_stime.tv_sec) * 1000000000 +
           (std::int64_t(use.ru_utime.tv_usec) + use.ru_stime.tv_usec) * 1000;
}

long residentKb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// "typical": 4 Skywands with bodies, tools, hands and markers; "large": 40 bodies and 305
// markers more.
std::vector<std::string> makeFrames(const std::string& kind) {
    const Scenario scenario(4, SkywandLayout::newer, true);
    std::vector<std::string> frames;
    for (int slot = 0; slot < turnLength; ++slot) {
        FrameState frame = scenario.frame(std::uint32_t(slot + 1), slot / 1000.0);
        frame.skywands[0].joystick[0] = (slot % 100) / 100.0;
        frame.skywands[0].joystick[1] = (slot / 100) / 100.0;
        if (kind == "large") {
            for (int id = int(frame.bodies.size()); id < 40; ++id)
                frame.bodies.push_back(BodyState{id, 1.0, frame.bodies.front().pose});
            frame.calibrated_bodies = 40;
            for (int id = int(frame.markers.size()); id < 305; ++id)
                frame.markers.push_back(MarkerState{id, 1.0, {100.25 + id, -200.5, 300.75 - id}});
        }
        frames.push_back(FrameFormatter::format(frame));
    }
    return frames;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

// Counts the frames shown: after every repaint of the window, the slot of the frame whose
// values the indicator holds.
class ProbedApplication : public QApplication {
public:
    using QApplication::QApplication;
    std::function<void()> afterRepaint;
    QWidget* window = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        const bool repaint = receiver == window && event->type() == QEvent::UpdateRequest;
        const bool result = QApplication::notify(receiver, event);
        if (repaint && afterRepaint)
            afterRepaint();
        return result;
    }
};

} // namespace

int main(int argc, char** argv) {
    double rate = 1000, warmup = 3, seconds = 20;
    std::string kind = "typical", label, out;
    CLI::App options("The tester window fed with simulated frames at a fixed rate.");
    options.add_option("--rate", rate, "frames per second")->check(CLI::Range(1.0, 100000.0));
    options.add_option("--frame", kind, "typical or large")
        ->check(CLI::IsMember({"typical", "large"}));
    options.add_option("--warmup", warmup, "seconds before measuring")
        ->check(CLI::NonNegativeNumber);
    options.add_option("--seconds", seconds, "seconds measured")->check(CLI::PositiveNumber);
    options.add_option("--label", label, "row name (default: the platform)");
    options.add_option("--out", out, "JSON file for bench/run");
    CLI11_PARSE(options, argc, argv);

    ProbedApplication app(argc, argv);
    if (label.empty())
        label = QApplication::platformName().toStdString();
    const std::vector<std::string> frames = makeFrames(kind);

    // The tester reads its port from the file beside the executable: a port the system
    // just handed out and took back.
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    QFile config(QCoreApplication::applicationDirPath() + "/skywandtester.config");
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QByteArray::number(ntohs(address.sin_port))) <= 0)
        return std::fprintf(stderr, "display_bench: cannot write %s\n",
                            qPrintable(config.fileName())),
               2;
    config.close();

    // The sender: one frame per tick, its send time kept per slot.
    std::vector<std::atomic<std::int64_t>> sentAt(turnLength);
    std::atomic<int> sent{0};
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> senderCpuNs{0};
    std::thread sender([&] {
        const std::int64_t start = nowNs();
        for (int i = 0; !stop; ++i) {
            const std::int64_t due = start + std::int64_t(i * 1e9 / rate);
            const timespec at{time_t(due / 1000000000), long(due % 1000000000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            sentAt[size_t(i % turnLength)] = nowNs();
            sent = i + 1;
            const std::string& frame = frames[size_t(i % turnLength)];
            sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address);
            senderCpuNs = nowNs(CLOCK_THREAD_CPUTIME_ID);
        }
    });

    Skywandtester window;
    window.show();
    app.window = &window;
    const auto* indicator = window.findChild<JoystickWidget*>();
    int shownSlot = -1;
    bool measuring = false;
    std::vector<double> lagsMs;
    lagsMs.reserve(size_t(rate * seconds) + 1);
    app.afterRepaint = [&] {
        const int slot = slotOf(indicator->valueH(), indicator->valueV());
        if (slot == shownSlot || slot < 0 || slot >= turnLength)
            return;
        shownSlot = slot;
        if (measuring)
            lagsMs.push_back(double(nowNs() - sentAt[size_t(slot)]) / 1e6);
    };

    std::int64_t cpu0 = 0, senderCpu0 = 0, wall0 = 0;
    long rss0 = 0;
    QJsonObject run{{"run_type", "iteration"}, {"time_unit", "ns"}};
    run["name"] = run["run_name"] = QString::fromStdString("display/" + label);
    QTimer::singleShot(int(warmup * 1000), [&] {
        measuring = true;
        cpu0 = processCpuNs(), senderCpu0 = senderCpuNs, wall0 = nowNs(), rss0 = residentKb();
    });
    QTimer::singleShot(int((warmup + seconds) * 1000), [&] {
        const double cpuNs = double(processCpuNs() - cpu0 - (senderCpuNs - senderCpu0));
        const double wallNs = double(nowNs() - wall0);
        measuring = false;
        stop = true;
        run["cpu_time"] = cpuNs / (rate * wallNs / 1e9);
        run["cpu_percent"] = 100 * cpuNs / wallNs;
        run["lag_p50_ms"] = percentile(lagsMs, 0.5);
        run["lag_p99_ms"] = percentile(lagsMs, 0.99);
        run["rss_growth_kb"] = double(residentKb() - rss0);
        // The last frame sent must end up on the screen, exactly as a full repaint shows it.
        QTimer::singleShot(500, [&] { QCoreApplication::exit(0); });
    });
    app.exec();
    sender.join();
    const int lastSlot = (sent - 1) % turnLength;
    const auto* store = static_cast<const QImage*>(window.backingStore()->paintDevice());
    const bool screenRight =
        shownSlot == lastSlot && store->copy(window.rect()).convertToFormat(QImage::Format_RGB32) ==
                                     window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    run["screen_matches"] = screenRight;

    std::printf("display/%s: %s frames at %g Hz: cpu %.2f %% of one core, lag p50 %.2f ms, "
                "p99 %.2f ms over %zu frames shown, memory %+g kB%s\n",
                label.c_str(), kind.c_str(), rate, run["cpu_percent"].toDouble(),
                run["lag_p50_ms"].toDouble(), run["lag_p99_ms"].toDouble(), lagsMs.size(),
                run["rss_growth_kb"].toDouble(),
                screenRight ? "" : "; the screen is NOT on the newest frame");
    if (!out.empty()) {
        QFile file(QString::fromStdString(out));
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        file.write(QJsonDocument(QJsonObject{{"benchmarks", QJsonArray{run}}}).toJson());
    }
    close(fd);
    return screenRight && !lagsMs.empty() ? 0 : 1;
}
