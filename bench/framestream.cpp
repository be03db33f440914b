#include "framestream.h"

#include "frameparser.h"
#include "frameformatter.h"
#include "pacer.h"
#include "scenario.h"
#include "udpsender.h"

#include <cmath>

namespace {

constexpr std::int64_t ns_per_s = 1'000'000'000;

} // namespace

FrameStream::FrameStream(double rate, int skywands, int frames) : rate(rate) {
    const Scenario scenario(skywands, SkywandLayout::newer, false);
    // The client reads the joystick values exactly as the tester's client will.
    FrameRecords reader;
    datagrams.reserve(static_cast<size_t>(frames));
    joysticks.reserve(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        // Numbered and stamped as ombrix-sim numbers and stamps them: counter from 1, time
        // since the start.
        datagrams.push_back(FrameFormatter::format(
            scenario.frame(static_cast<std::uint32_t>(i + 1), i / rate), LineEnd::crlf));
        const std::string& text = datagrams.back();
        Joystick values;
        std::string parsed = text; // the parser works on a text of its own
        if (parse_frame(parsed.data(), reader) && reader.num_skywand > 0) {
            const ombrix_skywand_type& first = reader.skywands[0];
            values = {first.joystick[0], first.joystick[1]};
        }
        joysticks.push_back(values);
    }
    sendTimes.assign(static_cast<size_t>(frames), 0);
}

FrameStream::~FrameStream() {
    join();
}

std::int64_t FrameStream::nowNs() {
    return Pacer::nowNs();
}

bool FrameStream::start(unsigned short port, std::function<void(int, std::int64_t)> callback,
                        std::string& error) {
    UdpSender probe;
    if (!probe.open("127.0.0.1", port, error))
        return false;
    afterSend = std::move(callback);
    sender = std::thread([this, port] { send(port); });
    return true;
}

void FrameStream::join() {
    if (sender.joinable())
        sender.join();
}

void FrameStream::send(unsigned short port) {
    UdpSender udp;
    std::string error;
    if (!udp.open("127.0.0.1", port, error))
        return;
    Pacer pacer;
    const std::atomic<bool> never{false};
    pacer.start();
    for (int i = 0; i < frameCount(); ++i) {
        pacer.waitUntil(static_cast<std::int64_t>(std::llround(i * ns_per_s / rate)), never);
        // Counted as sent before it goes out: the tester may show it before send() returns.
        sendTimes[static_cast<size_t>(i)] = nowNs();
        sent.store(i + 1, std::memory_order_release);
        udp.send(datagrams[static_cast<size_t>(i)]);
        if (afterSend)
            afterSend(i, sendTimes[static_cast<size_t>(i)]);
    }
}

int FrameStream::newestFrameWith(const Joystick& values, int oldest) const {
    for (int i = sentCount() - 1; i >= oldest && i >= 0; --i) {
        if (joysticks[static_cast<size_t>(i)] == values)
            return i;
    }
    return -1;
}
