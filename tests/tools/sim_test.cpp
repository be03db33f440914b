// ombrix-sim: the generated frames parse with the project's own client into the records of the
// scene, the command port answers on the wire, and the program runs and stops as a user runs it.

#include "Ombrix.h"
#include "childprocess.h"
#include "frameformatter.h"
#include "net.h"
#include "scenario.h"
#include "udpsender.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::string_literals;

TEST(Simulator, GeneratedFramesParseIntoTheRecordsOfTheScene) {
    for (const auto& [layout, line_end] : {std::pair(SkywandLayout::newer, LineEnd::crlf),
                                           std::pair(SkywandLayout::older, LineEnd::lf),
                                           std::pair(SkywandLayout::newer, LineEnd::cr)}) {
        Ombrix client("", 0, 0, 20000, 1000000, 1000000);
        UdpSender sender;
        std::string error;
        ASSERT_TRUE(sender.open("127.0.0.1", client.get_data_port(), error)) << error;
        const Scenario scenario(3, layout, true);
        std::uint32_t counter = 4294967294u; // wraps round like the controller's
        // Times at which each device, body and hand loses tracking in turn.
        for (double t : {0.0, 1.3, 2.5, 5.5, 6.5, 8.2, 10.25}) {
            SCOPED_TRACE(t);
            const FrameState frame = scenario.frame(counter, t);
            ASSERT_EQ(sender.send(FrameFormatter::format(frame, line_end)), 0);
            ASSERT_TRUE(client.receive()) << client.data_parseerror();
            EXPECT_EQ(client.get_framecounter(), counter++);
            ASSERT_EQ(client.get_num_skywand(), 3);
            for (const SkywandState& expected : frame.skywands) {
                const ombrix_skywand_type got = client.get_skywand(expected.id);
                EXPECT_NEAR(got.quality, expected.quality, 0.0006);
                EXPECT_EQ(std::vector<int>(got.button, got.button + got.num_button),
                          expected.buttons);
                EXPECT_NEAR(got.joystick[0], expected.joystick[0], 0.00006);
                EXPECT_NEAR(got.joystick[1], expected.joystick[1], 0.00006);
            }
            EXPECT_EQ(client.get_num_body(), frame.calibrated_bodies);
            EXPECT_EQ(client.get_num_meatool(), static_cast<int>(frame.tools.size()));
            EXPECT_EQ(client.get_num_hand(), frame.calibrated_hands);
            EXPECT_EQ(client.get_num_marker(), static_cast<int>(frame.markers.size()));
        }
    }
}

// Sends the pieces over one connection, 20 ms apart, and returns what came back until the
// given number of replies (each ends with a NUL) arrived or two seconds passed.
std::string exchange(unsigned short port, const std::vector<std::string>& pieces, long replies) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    const timeval limit{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string received;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        for (const std::string& piece : pieces) {
            send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        char buffer[512];
        for (ssize_t n = 1; n > 0 && std::count(received.begin(), received.end(), 0) < replies;) {
            n = recv(fd, buffer, sizeof buffer, 0);
            received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
    }
    close(fd);
    return received;
}

// The command port answers on the wire with exact bytes, one reply per request (text and one
// NUL) however they arrive, while frames go out as asked; every stop signal ends the run cleanly.
TEST(Simulator, ProgramServesItsCommandPortAndStopsOnSignals) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        UdpSocket receiver;
        ChildProcess sim(OMBRIX_SIM_PATH,
                         {"--port", std::to_string(receiver.port()), "--layout", "old",
                          "--line-end", "lf", "--command-port=0", "--param", "lab room=3 west"});
        const std::string start = sim.firstOutputLine();
        const std::size_t colon = start.find(':', start.find("command port"));
        ASSERT_NE(colon, std::string::npos) << start;
        EXPECT_EQ(exchange(std::stoi(start.substr(colon + 1)),
                           {"ombrix get lab room\0ombrix start\0ombrix set output p"s,
                            "ort 1\0hello\0ombrix "s + std::string(194, 'x') + "\0ombrix start\0"s},
                           6),
                  "ombrix set lab room 3 west\0ombrix ok\0ombrix err 12 \"parameter is "
                  "read-only\"\0ombrix err 1 \"requests begin with 'ombrix '\"\0ombrix err 2 "
                  "\"request longer than 200 characters\"\0ombrix ok\0"s);
        EXPECT_EQ(receiver.receive().value_or("").rfind("fr 1\nts 0.000000\n6df 2 [", 0), 0u);
        sim.signal(signal);
        EXPECT_EQ(sim.wait(), 0) << sim.errors();
        EXPECT_NE(sim.output().find(" sent in "), std::string::npos) << sim.output();
    }
}

} // namespace
