// Frame parser speed against the floor set by the C library's number conversions, and heap
// allocations per frame in steady state (PERFORMANCE.md describes each figure):
//   parse/<size>    the copy into the receive buffer and the parse, as receive() does them
//   paired/<size>   parse and floor of the same frame timed back to back in every iteration,
//                   so that both meet the same load; the floor converts the frame's numbers
//                   with c_strtoll, c_strtoull and c_strtod, positions found beforehand;
//                   counters parse_ns, floor_ns and ratio are medians over iterations
//   receive/<size>  the real path: a datagram sent on loopback and receive()
//   receive-1khz/typical  one frame a millisecond, timed as the thread's CPU time of send and
//                   receive (only with --paced-receive, for bench/client-library)
// Counters: bytes, numbers (in the frame), allocs_per_frame. Built twice: parser_bench links
// the client statically, parser_bench_shared goes through libombrix.so.1 and the parser as
// compiled into it. "--print-frame NAME" prints a sample frame.
#include "allocationcounter.h"
#include "sampleframes.h"

#include "Ombrix.h"
#include "frameparser.h"
#include "textscan.h"

#include <algorithm>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int buffer_size = 20000;
constexpr const char* frame_names[] = {"single", "typical", "largest"};

// What receive() does after reading a datagram: copy, terminate, parse.
class Parser {
public:
    bool parse(const std::string& datagram) {
        std::memcpy(buffer.data(), datagram.data(), datagram.size());
        buffer[datagram.size()] = '\0';
        records.frame_counter = 0;
        records.timestamp = -1.0;
        return parse_frame(buffer.data(), records);
    }
    // The first frame sizes the record arrays; steady state begins after it.
    bool warm_up(const std::string& datagram, benchmark::State& state) {
        if (!parse(datagram))
            state.SkipWithError("the sample frame does not parse");
        return !state.error_occurred();
    }

private:
    std::vector<char> buffer = std::vector<char>(buffer_size);
    FrameRecords records;
};

void report(benchmark::State& state, const SampleFrame& frame, unsigned long long allocations) {
    state.counters["bytes"] = static_cast<double>(frame.text.size());
    state.counters["numbers"] = static_cast<double>(frame.numbers.size());
    state.counters["allocs_per_frame"] =
        static_cast<double>(allocations) / std::max(1.0, static_cast<double>(state.iterations()));
}

void parse(benchmark::State& state, const char* name) {
    const SampleFrame& frame = sample_frame(name);
    Parser parser;
    if (!parser.warm_up(frame.text, state))
        return;
    const unsigned long long before = allocation_counter::allocations();
    for (auto _ : state) {
        const bool parsed = parser.parse(frame.text);
        benchmark::DoNotOptimize(parsed);
    }
    report(state, frame, allocation_counter::allocations() - before);
}

double convert_all(char* text, const std::vector<SampleFrame::Number>& numbers) {
    double sum = 0.0;
    char* end = nullptr;
    for (const SampleFrame::Number& number : numbers) {
        char* start = text + number.offset;
        using Conversion = SampleFrame::Conversion;
        if (number.conversion == Conversion::signed_integer)
            sum += static_cast<double>(c_strtoll(start, &end));
        else if (number.conversion == Conversion::unsigned_integer)
            sum += static_cast<double>(c_strtoull(start, &end));
        else
            sum += c_strtod(start, &end);
        benchmark::DoNotOptimize(end);
    }
    return sum;
}

double median(std::vector<double>& samples) {
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return samples.empty() ? 0.0 : *middle;
}

void paired(benchmark::State& state, const char* name) {
    const SampleFrame& frame = sample_frame(name);
    Parser parser;
    std::vector<char> text(frame.text.begin(), frame.text.end());
    text.push_back('\0');
    if (!parser.warm_up(frame.text, state))
        return;
    const auto time_ns = [](auto work) {
        const auto start = std::chrono::steady_clock::now();
        auto result = work();
        benchmark::DoNotOptimize(result);
        return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
            .count();
    };
    const auto parse = [&] { return parser.parse(frame.text); };
    const auto floor = [&] { return convert_all(text.data(), frame.numbers); };
    constexpr std::size_t max_samples = 1 << 16;
    std::vector<double> parse_ns, floor_ns;
    parse_ns.reserve(max_samples);
    floor_ns.reserve(max_samples);
    bool parse_first = true; // alternates, so that neither always runs on warmer caches
    for (auto _ : state) {
        double parse_time = 0, floor_time = 0;
        if (parse_first)
            parse_time = time_ns(parse), floor_time = time_ns(floor);
        else
            floor_time = time_ns(floor), parse_time = time_ns(parse);
        parse_first = !parse_first;
        if (parse_ns.size() < max_samples) {
            parse_ns.push_back(parse_time);
            floor_ns.push_back(floor_time);
        }
    }
    const double parse_median = median(parse_ns);
    const double floor_median = median(floor_ns);
    state.counters["bytes"] = static_cast<double>(frame.text.size());
    state.counters["parse_ns"] = parse_median;
    state.counters["floor_ns"] = floor_median;
    state.counters["ratio"] = floor_median > 0.0 ? parse_median / floor_median : 0.0;
}

// CPU time of the calling thread, in seconds.
double thread_cpu_seconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// paced: one frame every millisecond, as a lab program at 1 kHz meets them (caches cool down
// in between), each iteration timed as the thread's CPU time of its send and receive.
void receive(benchmark::State& state, const char* name, bool paced) {
    const SampleFrame& frame = sample_frame(name);
    Ombrix client("", 0, 0, buffer_size, 1000000, 1000000);
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in address{AF_INET, htons(client.get_data_port()), {htonl(INADDR_LOOPBACK)}, {}};
    auto send_frame = [&] {
        return ::sendto(sender, frame.text.data(), frame.text.size(), 0,
                        reinterpret_cast<const sockaddr*>(&address),
                        sizeof(address)) == static_cast<ssize_t>(frame.text.size());
    };
    // The first frame sizes the record arrays; steady state begins after it.
    const bool ok = sender >= 0 && send_frame() && client.receive();
    const unsigned long long before = allocation_counter::allocations();
    auto next_frame = std::chrono::steady_clock::now();
    for (auto _ : state) {
        double start = 0.0;
        if (paced) {
            next_frame += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next_frame);
            start = thread_cpu_seconds();
        }
        if (!ok || !send_frame() || !client.receive()) {
            state.SkipWithError("a frame did not arrive on loopback or did not parse");
            break;
        }
        if (paced)
            state.SetIterationTime(thread_cpu_seconds() - start);
    }
    report(state, frame, allocation_counter::allocations() - before);
    ::close(sender);
}

void register_all(bool paced_receive) {
    if (paced_receive) {
        benchmark::RegisterBenchmark("receive-1khz/typical", receive, "typical", true)
            ->UseManualTime()
            ->Iterations(3000);
    }
    for (const char* name : frame_names) { // kept by the benchmarks: a pointer to a literal
        const auto named = [name](const char* path) { return std::string(path) + name; };
        benchmark::RegisterBenchmark(named("parse/").c_str(), parse, name);
        benchmark::RegisterBenchmark(named("paired/").c_str(), paired, name);
        benchmark::RegisterBenchmark(named("receive/").c_str(), receive, name, false);
    }
}

// The console output as usual, remembering whether any benchmark failed, so that
// the exit status tells a smoke run that a sample frame no longer parses.
class FailureNotingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            failed = failed || run.error_occurred;
        ConsoleReporter::ReportRuns(runs);
    }
    bool failed = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--print-frame") {
        const std::string& text = sample_frame(argv[2]).text;
        return text.empty() ? 2 : std::fputs(text.c_str(), stdout) < 0;
    }
    // --paced-receive adds receive-1khz/typical (3 s), which bench/client-library runs.
    const bool paced_receive = argc > 1 && std::string(argv[1]) == "--paced-receive";
    if (paced_receive)
        argv[1] = argv[0], --argc, ++argv;
    register_all(paced_receive);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    FailureNotingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}
