// Frame parser speed against the floor set by the C library's number conversions,
// and heap allocations per frame in steady state.
//
//   parse/<size>    what receive() does with a datagram once it is read: the copy
//                   into the receive buffer and the parse
//   paired/<size>   parse and floor of the same frame timed back to back in every
//                   iteration, so that both meet the same load on a shared machine;
//                   the floor converts the frame's numbers one after the other with
//                   the client's reference conversions c_strtoll, c_strtoull and
//                   c_strtod (the C library's in the "C" locale), positions found
//                   beforehand; counters parse_ns, floor_ns and ratio are
//                   medians over iterations
//   receive/<size>  the real path: a datagram sent on loopback and receive()
//   receive-1khz/typical  the same with one frame a millisecond, timed as the thread's CPU
//                   time of send and receive (only with --paced-receive)
//
// Counters: bytes (frame length), numbers (numbers in the frame), allocs_per_frame.
//
// Built twice: parser_bench with the client linked statically, parser_bench_shared with
// receive() through libombrix.so.1 and the parser as compiled into it; bench/client-library
// compares the two. "--print-frame typical" prints that sample frame, and "--paced-receive"
// adds receive-1khz/typical, for the comparison with the Python module.
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
#include <cstdlib>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int buffer_size = 20000;

const FrameBuilder& frame_of(FrameSize size) {
    static const FrameBuilder frames[] = {sample_frame(FrameSize::single_skywand),
                                          sample_frame(FrameSize::typical),
                                          sample_frame(FrameSize::largest)};
    return frames[static_cast<int>(size)];
}

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

private:
    std::vector<char> buffer = std::vector<char>(buffer_size);
    FrameRecords records;
};

void report(benchmark::State& state, const FrameBuilder& frame, unsigned long long allocations) {
    const double iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(frame.text().size()));
    state.counters["bytes"] = static_cast<double>(frame.text().size());
    state.counters["numbers"] = static_cast<double>(frame.numbers().size());
    state.counters["allocs_per_frame"] =
        iterations > 0 ? static_cast<double>(allocations) / iterations : 0.0;
}

void parse(benchmark::State& state, FrameSize size) {
    const FrameBuilder& frame = frame_of(size);
    Parser parser;
    // The first frame sizes the record arrays; steady state begins after it.
    if (!parser.parse(frame.text())) {
        state.SkipWithError("the sample frame does not parse");
        return;
    }
    const unsigned long long before = allocation_counter::allocations();
    for (auto _ : state) {
        const bool parsed = parser.parse(frame.text());
        benchmark::DoNotOptimize(parsed);
    }
    report(state, frame, allocation_counter::allocations() - before);
}

double convert_all(char* text, const std::vector<FrameBuilder::Number>& numbers) {
    double sum = 0.0;
    char* end = nullptr;
    for (const FrameBuilder::Number& number : numbers) {
        char* start = text + number.offset;
        using Conversion = FrameBuilder::Conversion;
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
    if (samples.empty())
        return 0.0;
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

void paired(benchmark::State& state, FrameSize size) {
    using clock = std::chrono::steady_clock;
    constexpr std::size_t max_samples = 1 << 16;

    const FrameBuilder& frame = frame_of(size);
    Parser parser;
    std::vector<char> text(frame.text().begin(), frame.text().end());
    text.push_back('\0');
    if (!parser.parse(frame.text())) {
        state.SkipWithError("the sample frame does not parse");
        return;
    }
    std::vector<double> parse_ns, floor_ns;
    parse_ns.reserve(max_samples);
    floor_ns.reserve(max_samples);

    auto time_parse = [&] {
        const clock::time_point start = clock::now();
        const bool parsed = parser.parse(frame.text());
        benchmark::DoNotOptimize(parsed);
        return std::chrono::duration<double, std::nano>(clock::now() - start).count();
    };
    auto time_floor = [&] {
        const clock::time_point start = clock::now();
        const double sum = convert_all(text.data(), frame.numbers());
        benchmark::DoNotOptimize(sum);
        return std::chrono::duration<double, std::nano>(clock::now() - start).count();
    };

    bool parse_first = true; // alternates, so that neither always runs on warmer caches
    for (auto _ : state) {
        const double first = parse_first ? time_parse() : time_floor();
        const double second = parse_first ? time_floor() : time_parse();
        const double parse_time = parse_first ? first : second;
        const double floor_time = parse_first ? second : first;
        parse_first = !parse_first;
        if (parse_ns.size() < max_samples) {
            parse_ns.push_back(parse_time);
            floor_ns.push_back(floor_time);
        }
    }
    const double parse_median = median(parse_ns);
    const double floor_median = median(floor_ns);
    state.counters["bytes"] = static_cast<double>(frame.text().size());
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
void receive(benchmark::State& state, FrameSize size, bool paced) {
    const FrameBuilder& frame = frame_of(size);
    auto client = std::make_unique<Ombrix>("", 0, 0, buffer_size, 1000000, 1000000);
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(client->get_data_port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto send_frame = [&] {
        return ::sendto(sender, frame.text().data(), frame.text().size(), 0,
                        reinterpret_cast<const sockaddr*>(&address),
                        sizeof(address)) == static_cast<ssize_t>(frame.text().size());
    };
    // The first frame sizes the record arrays; steady state begins after it.
    const bool ok = sender >= 0 && send_frame() && client->receive();
    const unsigned long long before = allocation_counter::allocations();
    auto next_frame = std::chrono::steady_clock::now();
    for (auto _ : state) {
        double start = 0.0;
        if (paced) {
            next_frame += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next_frame);
            start = thread_cpu_seconds();
        }
        if (!ok || !send_frame() || !client->receive()) {
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
        benchmark::RegisterBenchmark("receive-1khz/typical", receive, FrameSize::typical, true)
            ->UseManualTime()
            ->Iterations(3000);
    }
    const FrameSize sizes[] = {FrameSize::single_skywand, FrameSize::typical, FrameSize::largest};
    for (FrameSize size : sizes) {
        const std::string name = frame_size_name(size);
        benchmark::RegisterBenchmark(("parse/" + name).c_str(), parse, size);
        benchmark::RegisterBenchmark(("paired/" + name).c_str(), paired, size);
        benchmark::RegisterBenchmark(("receive/" + name).c_str(), receive, size, false);
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
        for (FrameSize size : {FrameSize::single_skywand, FrameSize::typical, FrameSize::largest}) {
            if (std::string(frame_size_name(size)) == argv[2])
                std::fwrite(frame_of(size).text().data(), 1, frame_of(size).text().size(), stdout);
        }
        return 0;
    }
    // --paced-receive adds receive-1khz/typical (3 s), which bench/client-library runs.
    const bool paced_receive = argc > 1 && std::string(argv[1]) == "--paced-receive";
    if (paced_receive) {
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    register_all(paced_receive);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    FailureNotingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}
