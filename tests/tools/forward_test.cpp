// ombrix-monitor --forward: the real program between a sender and two receivers on loopback.

#include "childprocess.h"
#include "net.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::string_literals;

struct ForwardRun {
    UdpSocket sender, first;
    unsigned short monitor_port = freeUdpPort();
    std::unique_ptr<ChildProcess> monitor;

    ForwardRun(const std::string& second_port, std::size_t frames) {
        monitor = std::make_unique<ChildProcess>(
            OMBRIX_MONITOR_PATH,
            std::vector<std::string>{"--port", std::to_string(monitor_port), "--frames",
                                     std::to_string(frames), "--duration", "20", "--json",
                                     "--forward", "127.0.0.1:" + std::to_string(first.port()),
                                     "--forward", second_port});
        EXPECT_TRUE(waitUntilUdpBound(monitor_port)) << monitor->errors();
    }
    // The datagrams that arrive at socket, until none came for a while.
    static std::vector<std::string> received(UdpSocket& socket) {
        std::vector<std::string> datagrams;
        while (const std::optional<std::string> datagram = socket.receive(500)) {
            datagrams.push_back(*datagram);
        }
        return datagrams;
    }
};

// The monitor reads a burst faster than it prints, so its views skip to the newest datagram;
// every one must still be passed on, unparsable ones and the empty one included.
TEST(Forward, EveryDatagramReachesEachDestinationUnchangedAndInOrder) {
    std::vector<std::string> sent;
    for (int i = 1; i <= 40; ++i) {
        sent.push_back("fr " + std::to_string(i) +
                       "\r\nts 0.5\r\n6df2 1 1 [0 1 2 2][1 2 3]"
                       "[1 0 0 0 1 0 0 0 1][0 0 0]\r\n");
    }
    const std::vector<std::string> hostile = {"", "fr 5\r\n\0after NUL\r\n"s, "\xff\xfe\x01\r",
                                              "6df2 99999999 [", std::string(60000, 'z')};
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        sent.insert(sent.begin() + static_cast<long>(8 * i + 3), hostile[i]);
    }
    UdpSocket second;
    ForwardRun run("localhost:" + std::to_string(second.port()), sent.size());
    for (const std::string& datagram : sent) {
        ASSERT_TRUE(run.sender.send(run.monitor_port, datagram));
    }
    EXPECT_EQ(run.monitor->wait(20000), 0) << run.monitor->errors();
    EXPECT_EQ(ForwardRun::received(run.first), sent);
    EXPECT_EQ(ForwardRun::received(second), sent);
    EXPECT_NE(run.monitor->errors().find("; 45 forwarded ("), std::string::npos)
        << run.monitor->errors();
}

TEST(Forward, RefusedDestinationIsReportedWhileTheOtherKeepsReceiving) {
    const std::string refused = "127.0.0.1:" + std::to_string(freeUdpPort());
    ForwardRun run(refused, 25);
    std::vector<std::string> sent;
    for (int i = 1; i <= 25; ++i) {
        sent.push_back("fr " + std::to_string(i) + "\r\n");
        ASSERT_TRUE(run.sender.send(run.monitor_port, sent.back()));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(run.monitor->wait(20000), 0) << run.monitor->errors();
    EXPECT_EQ(ForwardRun::received(run.first), sent);
    // Once during the run, a second in, and in the final summary.
    const std::string errors = run.monitor->errors();
    const std::string report = refused + ": 25 sent, 24 errors, last: Connection refused)";
    EXPECT_NE(errors.find(refused + ": "), errors.rfind(report)) << errors;
    EXPECT_NE(errors.rfind(report), std::string::npos) << errors;
}

} // namespace
