// The display path at a high frame rate: the real tester window, fed over UDP on loopback with
// the frames ombrix-sim sends, watched from the event dispatch.
//
//   display_bench [--rate HZ] [--skywands N] [--warmup SECONDS] [--seconds SECONDS]
//                 [--label NAME] [--out FILE]
//
// After the warm-up, for --seconds it measures
//   - the tester's CPU share: the process's CPU time less the sending thread's, split into
//     the GUI thread and the receiver thread;
//   - the lag from a frame's send to the screen showing it (see DisplayProbe), p50, p99 and
//     max over the frames the screen showed, and the share of frames it showed;
//   - the wait from a frame's send to the screen showing it or a newer frame, over all frames;
//   - the backlog: notifications the receiver thread has emitted and the window has not yet
//     handled, sampled at every send; its largest value and its trend (least-squares slope);
//   - heap allocations per frame in the whole tester (the sending thread allocates nothing);
// and at the end, once the stream has stopped, whether the screen holds exactly what a fresh
// rendering of the window shows (no repaint that would change a pixel was left out).
//
// Prints a summary and, with --out, one Google Benchmark style JSON run named
// "display/NAME" (NAME defaults to the platform plugin's name) for bench/run's table.
// Exit status 1 when the tester fell behind for good (frames never shown) or the screen
// differs from a fresh rendering.
#include "allocationcounter.h"
#include "displayprobe.h"
#include "framestream.h"
#include "skywandtester.h"
#include "trackreceiver.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    double rate = 1000;
    int skywands = 4;
    double warmup = 3;
    double seconds = 20;
    QString name;
    QString out;
};

[[noreturn]] void usage(const char* message) {
    std::fprintf(stderr,
                 "display_bench: %s\nusage: display_bench [--rate HZ] [--skywands N] "
                 "[--warmup SECONDS] [--seconds SECONDS] [--label NAME] [--out FILE]\n",
                 message);
    std::exit(2);
}

Options parseOptions(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (i + 1 >= arguments.size())
            usage("every option takes a value");
        const QString value = arguments[++i];
        bool ok = true;
        if (option == QLatin1String("--rate"))
            options.rate = value.toDouble(&ok);
        else if (option == QLatin1String("--skywands"))
            options.skywands = value.toInt(&ok);
        else if (option == QLatin1String("--warmup"))
            options.warmup = value.toDouble(&ok);
        else if (option == QLatin1String("--seconds"))
            options.seconds = value.toDouble(&ok);
        else if (option == QLatin1String("--label"))
            options.name = value;
        else if (option == QLatin1String("--out"))
            options.out = value;
        else
            usage("unknown option");
        if (!ok)
            usage("not a number");
    }
    if (options.rate <= 0 || options.rate > 10000 || options.skywands < 1 ||
        options.skywands > 100 || options.warmup < 0 || options.seconds <= 0)
        usage("value out of range");
    return options;
}

quint16 freeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

std::int64_t cpuNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t processCpuNs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ns = [](const timeval& tv) {
        return static_cast<std::int64_t>(tv.tv_sec) * 1'000'000'000 + tv.tv_usec * 1000;
    };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// Nanoseconds thread `tid` of this process has spent waiting for a CPU while runnable (the
// second figure of its schedstat); 0 when unknown. Reads without allocating.
std::int64_t runQueueWaitNs(pid_t tid) {
    if (tid <= 0)
        return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/schedstat", static_cast<int>(tid));
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0)
        return 0;
    char text[128];
    const ssize_t length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (length <= 0)
        return 0;
    text[length] = '\0';
    long long running = 0, waiting = 0;
    return std::sscanf(text, "%lld %lld", &running, &waiting) == 2 ? waiting : 0;
}

// Counters taken by the sending thread at the start and at the end of the measured span.
struct Reading {
    std::int64_t wallNs = 0;
    std::int64_t processNs = 0;
    std::int64_t senderNs = 0;
    std::int64_t guiNs = 0;
    std::int64_t receiverNs = 0;
    std::int64_t guiWaitNs = 0;
    std::int64_t receiverWaitNs = 0;
    unsigned long long allocations = 0;
    unsigned long long emitted = 0;
    unsigned long long handled = 0;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t index =
        std::min(values.size() - 1,
                 static_cast<size_t>(std::ceil(fraction * values.size())) - (fraction > 0 ? 1 : 0));
    return values[index];
}

// Least-squares slope of evenly spaced samples, per sample.
double slope(const std::vector<long long>& samples) {
    const double n = static_cast<double>(samples.size());
    if (n < 2)
        return 0;
    double sumX = 0, sumY = 0, sumXY = 0, sumXX = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double x = static_cast<double>(i), y = static_cast<double>(samples[i]);
        sumX += x;
        sumY += y;
        sumXY += x * y;
        sumXX += x * x;
    }
    return (n * sumXY - sumX * sumY) / (n * sumXX - sumX * sumX);
}

double mean(std::vector<long long>::const_iterator first,
            std::vector<long long>::const_iterator last) {
    if (first == last)
        return 0;
    double sum = 0;
    for (auto it = first; it != last; ++it)
        sum += static_cast<double>(*it);
    return sum / static_cast<double>(last - first);
}

// True when the window's backing store, whose pixels every repaint goes through on its way to
// the screen, holds exactly what a fresh rendering of the window gives.
bool screenMatchesRendering(QWidget& window) {
    QBackingStore* store = window.backingStore();
    if (!store || store->paintDevice()->devType() != QInternal::Image)
        return false;
    const QImage& backing = *static_cast<const QImage*>(store->paintDevice());
    const QImage onScreen =
        backing.copy(QRect(QPoint(0, 0), window.size())).convertToFormat(QImage::Format_RGB32);
    const QImage rendered = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    return !onScreen.isNull() && onScreen == rendered;
}

} // namespace

int main(int argc, char** argv) {
    DisplayProbe app(argc, argv);
    const Options options = parseOptions(QCoreApplication::arguments());
    const QString name = options.name.isEmpty() ? QGuiApplication::platformName() : options.name;

    // The tester reads its port beside the executable.
    const quint16 port = freeUdpPort();
    {
        QFile config(QCoreApplication::applicationDirPath() +
                     QStringLiteral("/skywandtester.config"));
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            config.write(QByteArray::number(port)) < 0) {
            std::fprintf(stderr, "display_bench: cannot write %s\n", qPrintable(config.fileName()));
            return 1;
        }
    }

    const int warmupFrames = static_cast<int>(std::lround(options.warmup * options.rate));
    const int frames = warmupFrames + static_cast<int>(std::lround(options.seconds * options.rate));
    std::fprintf(stderr, "display_bench: generating %d frames ...\n", frames);
    FrameStream stream(options.rate, options.skywands, frames);

    std::atomic<unsigned long long> emitted{0};
    std::atomic<pthread_t> receiverThread{pthread_t{}};
    std::atomic<bool> receiverKnown{false};
    std::atomic<pid_t> receiverTid{0};
    const pthread_t guiThread = pthread_self();
    const pid_t guiTid = gettid();
    std::vector<long long> backlog; // emitted less handled, at every send of the measured span
    backlog.reserve(static_cast<size_t>(frames - warmupFrames) + 1);
    Reading start, end;

    auto threadCpuNs = [](pthread_t thread) {
        clockid_t clock;
        return pthread_getcpuclockid(thread, &clock) == 0 ? cpuNs(clock) : 0;
    };
    auto read = [&](std::int64_t now) {
        Reading r;
        r.wallNs = now;
        r.processNs = processCpuNs();
        r.senderNs = cpuNs(CLOCK_THREAD_CPUTIME_ID);
        r.guiNs = threadCpuNs(guiThread);
        r.receiverNs = receiverKnown ? threadCpuNs(receiverThread.load()) : 0;
        r.guiWaitNs = runQueueWaitNs(guiTid);
        r.receiverWaitNs = runQueueWaitNs(receiverTid.load());
        r.allocations = allocation_counter::allocations();
        r.emitted = emitted.load();
        r.handled = app.handledNotifications();
        return r;
    };
    auto afterSend = [&](int index, std::int64_t now) {
        if (index == warmupFrames)
            start = read(now);
        if (index >= warmupFrames)
            backlog.push_back(static_cast<long long>(emitted.load()) -
                              static_cast<long long>(app.handledNotifications()));
        if (index == frames - 1)
            end = read(now);
    };

    std::string error;
    if (!stream.start(port, afterSend, error)) {
        std::fprintf(stderr, "display_bench: %s\n", error.c_str());
        return 1;
    }

    Skywandtester window;
    window.show();
    app.watch(&window, &stream);
    auto* receiver = window.findChild<TrackReceiver*>();
    if (!receiver) {
        std::fprintf(stderr, "display_bench: the window has no receiver thread\n");
        return 1;
    }
    auto count = [&] {
        if (!receiverKnown.load(std::memory_order_relaxed)) {
            receiverThread = pthread_self();
            receiverTid = gettid();
            receiverKnown = true;
        }
        ++emitted;
    };
    QObject::connect(receiver, &TrackReceiver::sendMessageDataArrived, receiver, count,
                     Qt::DirectConnection);
    QObject::connect(receiver, &TrackReceiver::sendMessageDataError, receiver, count,
                     Qt::DirectConnection);

    // Once every frame is out, the window gets time to show the last one (the newest datagram
    // always reaches the tester), then the run stops.
    constexpr qint64 settleLimitMs = 5000;
    QElapsedTimer settling;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stream.sentCount() < stream.frameCount())
            return;
        if (!settling.isValid())
            settling.start();
        if (app.newestShownFrame() == stream.frameCount() - 1 ||
            settling.elapsed() > settleLimitMs) {
            poll.stop();
            app.quit();
        }
    });
    poll.start(20);
    app.exec();
    stream.join();

    // Notifications emitted before the counting began were handled all the same; with the
    // stream stopped and the window idle the backlog is zero, which gives that offset.
    const long long uncounted =
        static_cast<long long>(app.handledNotifications()) - static_cast<long long>(emitted.load());
    for (long long& value : backlog)
        value += uncounted;

    const bool screenMatches = screenMatchesRendering(window);

    // Lag: from send to the screen showing the frame, over the frames the screen showed.
    // Wait: from send to the screen showing the frame or a newer one, over every frame.
    const std::vector<std::int64_t>& shown = app.shownTimes();
    const std::vector<std::int64_t> shownOrReplaced = app.shownOrReplacedTimes();
    std::vector<double> lagsMs, waitsMs;
    int notShown = 0;
    for (int i = warmupFrames; i < frames; ++i) {
        const auto index = static_cast<size_t>(i);
        if (shown[index] != 0)
            lagsMs.push_back((shown[index] - stream.sendNs(i)) / 1e6);
        if (shownOrReplaced[index] == 0)
            ++notShown;
        else
            waitsMs.push_back((shownOrReplaced[index] - stream.sendNs(i)) / 1e6);
    }
    const int measured = frames - warmupFrames;
    const double wallS = (end.wallNs - start.wallNs) / 1e9;
    const double testerNs =
        static_cast<double>((end.processNs - start.processNs) - (end.senderNs - start.senderNs));
    const double guiNs = static_cast<double>(end.guiNs - start.guiNs);
    const double receiverNs = static_cast<double>(end.receiverNs - start.receiverNs);
    const double handled = static_cast<double>(end.handled - start.handled);
    const double allocations = static_cast<double>(end.allocations - start.allocations);
    const double half = backlog.size() / 2.0;
    const auto middle = backlog.begin() + static_cast<std::ptrdiff_t>(half);
    const long long backlogMax =
        backlog.empty() ? 0 : *std::max_element(backlog.begin(), backlog.end());
    const double growthPerS = slope(backlog) * options.rate;
    double bytes = 0;
    for (int i = 0; i < frames; ++i)
        bytes += static_cast<double>(stream.datagram(i).size());
    bytes /= frames;

    const double cpuPercent = 100.0 * testerNs / 1e9 / wallS;
    const double lagP50 = percentile(lagsMs, 0.50);
    const double lagP99 = percentile(lagsMs, 0.99);
    const double lagMax = percentile(lagsMs, 1.0);
    const double waitP50 = percentile(waitsMs, 0.50);
    const double waitP99 = percentile(waitsMs, 0.99);
    const double shownPercent = 100.0 * static_cast<double>(lagsMs.size()) / measured;

    std::printf("display/%s: %d frames of %.0f bytes at %.0f Hz, %d Skywands, %.1f s measured\n",
                qPrintable(name), measured, bytes, options.rate, options.skywands, wallS);
    std::printf("  CPU            %.1f %% of one core (GUI thread %.1f %%, receiver thread "
                "%.1f %%), %.0f ns per frame\n",
                cpuPercent, 100.0 * guiNs / 1e9 / wallS, 100.0 * receiverNs / 1e9 / wallS,
                testerNs / measured);
    std::printf("  notifications  %.0f handled (%.2f per frame), %.1f repaints flushed per "
                "second\n",
                handled, handled / measured, app.flushedRepaints() / (wallS + options.warmup));
    std::printf("  lag            p50 %.2f ms, p99 %.2f ms, max %.2f ms over the %.1f %% of frames "
                "the screen showed\n",
                lagP50, lagP99, lagMax, shownPercent);
    std::printf("  wait           until the frame or a newer one showed: p50 %.2f ms, p99 %.2f "
                "ms; %d frames never shown\n",
                waitP50, waitP99, notShown);
    std::printf("  backlog        max %lld, mean %.2f in the first half and %.2f in the second, "
                "trend %+.3f per second\n",
                backlogMax, mean(backlog.begin(), middle), mean(middle, backlog.end()), growthPerS);
    std::printf("  allocations    %.2f per frame\n", allocations / measured);
    std::printf("  waiting        for a CPU while runnable: GUI thread %.1f %% of the time, "
                "receiver thread %.1f %%\n",
                100.0 * (end.guiWaitNs - start.guiWaitNs) / 1e9 / wallS,
                100.0 * (end.receiverWaitNs - start.receiverWaitNs) / 1e9 / wallS);
    auto durations = [](const std::vector<std::int64_t>& ns) {
        std::vector<double> us;
        for (std::int64_t value : ns)
            us.push_back(value / 1e3);
        return us;
    };
    const std::vector<double> notificationUs = durations(app.notificationDurations());
    const std::vector<double> repaintUs = durations(app.repaintDurations());
    std::printf("  handling       notification p50 %.0f us, p99 %.0f us, max %.0f us; repaint "
                "p50 %.0f us, p99 %.0f us, max %.0f us\n",
                percentile(notificationUs, 0.5), percentile(notificationUs, 0.99),
                percentile(notificationUs, 1.0), percentile(repaintUs, 0.5),
                percentile(repaintUs, 0.99), percentile(repaintUs, 1.0));
    std::printf("  screen         %s\n",
                screenMatches ? "equals a fresh rendering" : "DIFFERS from a fresh rendering");

    if (!options.out.isEmpty()) {
        QJsonObject run{{"name", "display/" + name},
                        {"run_name", "display/" + name},
                        {"run_type", "iteration"},
                        {"iterations", measured},
                        {"real_time", wallS * 1e9 / measured},
                        {"cpu_time", testerNs / measured},
                        {"time_unit", "ns"},
                        {"bytes", bytes},
                        {"allocs_per_frame", allocations / measured},
                        {"cpu_percent", cpuPercent},
                        {"gui_cpu_percent", 100.0 * guiNs / 1e9 / wallS},
                        {"receiver_cpu_percent", 100.0 * receiverNs / 1e9 / wallS},
                        {"lag_p50_ms", lagP50},
                        {"lag_p99_ms", lagP99},
                        {"lag_max_ms", lagMax},
                        {"shown_percent", shownPercent},
                        {"wait_p50_ms", waitP50},
                        {"wait_p99_ms", waitP99},
                        {"backlog_max", static_cast<double>(backlogMax)},
                        {"backlog_growth_per_s", growthPerS},
                        {"frames_not_shown", notShown},
                        {"screen_matches", screenMatches}};
        QFile file(options.out);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(QJsonDocument(QJsonObject{{"benchmarks", QJsonArray{run}}}).toJson()) < 0) {
            std::fprintf(stderr, "display_bench: cannot write %s\n", qPrintable(options.out));
            return 1;
        }
    }
    return notShown == 0 && screenMatches ? 0 : 1;
}
