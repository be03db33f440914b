// Frame parser speed against the floor set by its number conversions, and heap
// allocations per frame in steady state.
//
//   parse/<size>    the client's parser on one datagram (through the test seam,
//                   which first copies the datagram into the client's buffer)
//   floor/<size>    the same frame's numbers converted one after the other with
//                   the conversions the parser uses, positions found beforehand
//   copy/<size>     the seam's copy alone, to tell it apart from parsing
//   receive/<size>  the real path: a datagram sent on loopback and receive()
//
// Counters: bytes (frame length), numbers (numbers in the frame), allocs_per_frame.
#include "allocationcounter.h"
#include "sampleframes.h"

#include "Ombrix.h"
#include "OmbrixInternals.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int buffer_size = 20000;

const FrameBuilder& frame_of(FrameSize size) {
    static const FrameBuilder frames[] = {sample_frame(FrameSize::single_skywand),
                                          sample_frame(FrameSize::typical),
                                          sample_frame(FrameSize::largest)};
    return frames[static_cast<int>(size)];
}

std::unique_ptr<Ombrix> make_client() {
    return std::make_unique<Ombrix>("", 0, 0, buffer_size, 1000000, 1000000);
}

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
    std::unique_ptr<Ombrix> client = make_client();
    // The first frame sizes the record arrays; steady state begins after it.
    if (!OmbrixInternals::parse_datagram(*client, frame.text().data(), frame.text().size())) {
        state.SkipWithError("the sample frame does not parse");
        return;
    }
    const unsigned long long before = allocation_counter::allocations();
    for (auto _ : state) {
        const bool parsed =
            OmbrixInternals::parse_datagram(*client, frame.text().data(), frame.text().size());
        benchmark::DoNotOptimize(parsed);
    }
    report(state, frame, allocation_counter::allocations() - before);
}

// The conversions of client/Ombrix.cpp, called exactly as the parser calls them.
// Kept out of line so that an instruction profile can count it per frame.
__attribute__((noinline)) double
convert_all(char* text, const std::vector<FrameBuilder::Number>& numbers, locale_t c) {
    double sum = 0.0;
    char* end = nullptr;
    for (const FrameBuilder::Number& number : numbers) {
        char* start = text + number.offset;
        switch (number.conversion) {
        case FrameBuilder::Conversion::signed_integer:
            sum += static_cast<double>(::strtoll_l(start, &end, 0, c));
            break;
        case FrameBuilder::Conversion::unsigned_integer:
            sum += static_cast<double>(::strtoull_l(start, &end, 0, c));
            break;
        case FrameBuilder::Conversion::floating_point:
            sum += ::strtod_l(start, &end, c);
            break;
        }
        benchmark::DoNotOptimize(end);
    }
    return sum;
}

void floor(benchmark::State& state, FrameSize size) {
    const FrameBuilder& frame = frame_of(size);
    const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    std::vector<char> text(frame.text().begin(), frame.text().end());
    text.push_back('\0');
    const unsigned long long before = allocation_counter::allocations();
    for (auto _ : state) {
        const double sum = convert_all(text.data(), frame.numbers(), c);
        benchmark::DoNotOptimize(sum);
    }
    report(state, frame, allocation_counter::allocations() - before);
    ::freelocale(c);
}

void copy(benchmark::State& state, FrameSize size) {
    const FrameBuilder& frame = frame_of(size);
    std::vector<char> buffer(buffer_size);
    const unsigned long long before = allocation_counter::allocations();
    for (auto _ : state) {
        std::memcpy(buffer.data(), frame.text().data(), frame.text().size());
        buffer[frame.text().size()] = '\0';
        benchmark::ClobberMemory();
    }
    report(state, frame, allocation_counter::allocations() - before);
}

void receive(benchmark::State& state, FrameSize size) {
    const FrameBuilder& frame = frame_of(size);
    std::unique_ptr<Ombrix> client = make_client();
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (!client->valid() || sender < 0) {
        state.SkipWithError("no UDP sockets on loopback");
        if (sender >= 0)
            ::close(sender);
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(client->get_data_port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto send_frame = [&] {
        return ::sendto(sender, frame.text().data(), frame.text().size(), 0,
                        reinterpret_cast<const sockaddr*>(&address),
                        sizeof(address)) == static_cast<ssize_t>(frame.text().size());
    };
    if (!send_frame() || !client->receive()) {
        state.SkipWithError("the sample frame does not arrive or parse");
        ::close(sender);
        return;
    }
    const unsigned long long before = allocation_counter::allocations();
    for (auto _ : state) {
        if (!send_frame() || !client->receive()) {
            state.SkipWithError("a frame was lost on loopback");
            break;
        }
    }
    report(state, frame, allocation_counter::allocations() - before);
    ::close(sender);
}

void register_all() {
    const FrameSize sizes[] = {FrameSize::single_skywand, FrameSize::typical, FrameSize::largest};
    for (FrameSize size : sizes) {
        const std::string name = frame_size_name(size);
        benchmark::RegisterBenchmark(("parse/" + name).c_str(), parse, size);
        benchmark::RegisterBenchmark(("floor/" + name).c_str(), floor, size);
        benchmark::RegisterBenchmark(("copy/" + name).c_str(), copy, size);
        benchmark::RegisterBenchmark(("receive/" + name).c_str(), receive, size);
    }
}

} // namespace

int main(int argc, char** argv) {
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
