// The ombrix-sim program itself: what it sends, how it replays, how it serves its command port,
// how it stops, and how it refuses bad arguments.

#include "Ombrix.h"
#include "childprocess.h"
#include "commandserver.h"
#include "replayreader.h"
#include "replaywriter.h"
#include "net.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;

const std::string sim_program = OMBRIX_SIM_PATH;

std::string port(unsigned short number) {
    return std::to_string(number);
}

// A file in /tmp removed at the end of the test.
class TempFile {
public:
    TempFile() {
        char pattern[] = "/tmp/ombrix_sim_test_XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) {
            close(fd);
        }
        path = pattern;
    }
    ~TempFile() { std::remove(path.c_str()); }
    void write(const std::string& content) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    std::string path;
};

// Up to count datagrams, each awaited at most timeout_ms.
std::vector<std::string> receiveAll(UdpSocket& receiver, std::size_t count,
                                    int timeout_ms = 2000) {
    std::vector<std::string> datagrams;
    while (datagrams.size() < count) {
        std::optional<std::string> datagram = receiver.receive(timeout_ms);
        if (!datagram) {
            break;
        }
        datagrams.push_back(*datagram);
    }
    return datagrams;
}

TEST(SimProgram, HelpDocumentsTheOptions) {
    ChildProcess sim(sim_program, {"--help"});
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_EQ(sim.output().rfind("Usage: ombrix-sim", 0), 0u) << sim.output();
    EXPECT_NE(sim.output().find("--command-port"), std::string::npos);
    EXPECT_EQ(sim.errors(), "");
}

TEST(SimProgram, BadArgumentsExitWithStatus2AndAMessage) {
    UdpSocket receiver;
    const std::vector<std::vector<std::string>> cases = {
        {"--port", port(receiver.port()), "--bogus"},
        {"--port", port(receiver.port()), "--rate", "-5"},
        {"--port", port(receiver.port()), "--loop"},
        {"--port", port(receiver.port()), "extra"},
        {"--port", "0"},
    };
    for (const auto& args : cases) {
        ChildProcess sim(sim_program, args);
        EXPECT_EQ(sim.wait(), 2) << args.back();
        EXPECT_EQ(sim.errors().rfind("ombrix-sim: ", 0), 0u) << sim.errors();
        EXPECT_NE(sim.errors().find("Try 'ombrix-sim --help'"), std::string::npos);
        EXPECT_EQ(sim.output(), "");
    }
    EXPECT_FALSE(receiver.receive(100)) << "a refused run sent a frame";
}

TEST(SimProgram, SendsTheAskedNumberOfFramesWithCountingFrameNumbers) {
    UdpSocket receiver;
    ChildProcess sim(sim_program, {"--port", port(receiver.port()), "--rate", "500", "--frames",
                                   "4", "--first-frame", "4294967294"});
    const std::vector<std::string> frames = receiveAll(receiver, 4);
    ASSERT_EQ(sim.wait(), 0) << sim.errors();
    ASSERT_EQ(frames.size(), 4u);
    const char* expected_starts[] = {"fr 4294967294\r\nts 0.000000\r\n6df2 2 2 [",
                                     "fr 4294967295\r\nts 0.002000\r\n6df2 2 2 [",
                                     "fr 0\r\nts 0.004000\r\n", "fr 1\r\nts 0.006000\r\n"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(frames[i].rfind(expected_starts[i], 0), 0u) << frames[i];
    }
    EXPECT_FALSE(receiver.receive(100)) << "more frames than asked for";
    EXPECT_NE(sim.output().find("ombrix-sim: 4 frames sent in "), std::string::npos)
        << sim.output();
}

TEST(SimProgram, FramesReachTheClient) {
    Ombrix client("", 0, 0, 20000, 2000000, 1000000);
    ASSERT_TRUE(client.valid());
    ChildProcess sim(sim_program, {"--port", port(client.get_data_port()), "--frames", "1",
                                   "--layout", "old", "--skywands", "5", "--all-kinds"});
    ASSERT_TRUE(client.receive()) << "parse error: " << client.data_parseerror();
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_EQ(client.get_framecounter(), 1u);
    EXPECT_EQ(client.get_num_skywand(), 5);
    EXPECT_EQ(client.get_skywand(4).num_button, 8);
    EXPECT_EQ(client.get_num_body(), 3);
    EXPECT_EQ(client.get_num_hand(), 2);
    EXPECT_EQ(client.get_num_marker(), 4);
}

TEST(SimProgram, DurationEndsTheRunAfterTheFramesDueInIt) {
    UdpSocket receiver;
    ChildProcess sim(sim_program,
                     {"--port", port(receiver.port()), "--rate", "100", "--duration", "0.3"});
    EXPECT_EQ(sim.wait(), 0);
    // Frames are due at 0, 10, ..., 290 ms; all of them wait in the socket by now.
    EXPECT_EQ(receiveAll(receiver, 31, 100).size(), 30u);
    EXPECT_NE(sim.output().find("30 frames sent"), std::string::npos) << sim.output();
}

TEST(SimProgram, ReplaySendsTheFileFramesUnchanged) {
    const std::vector<std::string> datagrams = {
        "fr 1\r\nts 0.0\r\n",    "",      "no line end", "\n\n", "#@\\\0\r\t\x7f\xff"s,
        std::string(60000, 'z'), "last\n"};
    TempFile file;
    {
        std::ofstream out(file.path, std::ios::binary);
        ReplayWriter writer(out);
        for (const std::string& datagram : datagrams) {
            writer.writeFrame(datagram, 2.0);
        }
    }
    UdpSocket receiver;
    ChildProcess sim(sim_program, {"--port", port(receiver.port()), "--replay", file.path});
    const std::vector<std::string> received = receiveAll(receiver, datagrams.size());
    EXPECT_EQ(sim.wait(), 0) << sim.errors();
    EXPECT_EQ(received, datagrams);
    EXPECT_NE(sim.output().find("7 frames sent"), std::string::npos) << sim.output();
}

TEST(SimProgram, ReplayLoopsUntilTheFrameCount) {
    TempFile file;
    file.write("# three frames\na\n\nb\n\n@delay 1\nc\n");
    UdpSocket receiver;
    ChildProcess sim(sim_program, {"--port", port(receiver.port()), "--replay", file.path, "--loop",
                                   "--frames", "7", "--fast"});
    EXPECT_EQ(sim.wait(), 0) << sim.errors();
    const std::vector<std::string> received = receiveAll(receiver, 8, 100);
    EXPECT_EQ(received,
              (std::vector<std::string>{"a\n", "b\n", "c\n", "a\n", "b\n", "c\n", "a\n"}));
}

TEST(SimProgram, BadReplayFilesAreRefusedBeforeAnythingIsSent) {
    UdpSocket receiver;
    TempFile malformed;
    malformed.write("a\n\nb\nc \\q\n");
    ChildProcess refused(sim_program,
                         {"--port", port(receiver.port()), "--replay", malformed.path});
    EXPECT_EQ(refused.wait(), 2);
    EXPECT_NE(refused.errors().find(malformed.path + ":4: column 3: unknown escape \\q"),
              std::string::npos)
        << refused.errors();

    TempFile empty;
    empty.write("# nothing but a comment\n\n");
    ChildProcess nothing(sim_program, {"--port", port(receiver.port()), "--replay", empty.path});
    EXPECT_EQ(nothing.wait(), 2);
    EXPECT_NE(nothing.errors().find("holds no frame"), std::string::npos) << nothing.errors();

    ChildProcess missing(sim_program,
                         {"--port", port(receiver.port()), "--replay", "/nonexistent/x.replay"});
    EXPECT_EQ(missing.wait(), 1);
    EXPECT_NE(missing.errors().find("/nonexistent/x.replay: cannot open"), std::string::npos)
        << missing.errors();
    EXPECT_FALSE(receiver.receive(100));
}

TEST(SimProgram, RecordWritesWhatWasSent) {
    TempFile record;
    UdpSocket receiver;
    ChildProcess sim(sim_program, {"--port", port(receiver.port()), "--rate", "200", "--frames",
                                   "3", "--all-kinds", "--record", record.path});
    const std::vector<std::string> sent = receiveAll(receiver, 3);
    ASSERT_EQ(sim.wait(), 0) << sim.errors();
    ReplayReader reader;
    ASSERT_TRUE(reader.open(record.path));
    ReplayFrame frame;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(reader.next(frame), ReplayReader::Result::frame) << reader.error();
        EXPECT_EQ(frame.datagram, sent[i]);
        EXPECT_EQ(frame.delay_ms, i == 0 ? std::nullopt : std::optional<double>(5.0));
    }
    EXPECT_EQ(reader.next(frame), ReplayReader::Result::end);
}

// Truncating the file for the recording would destroy the replay before it is read.
TEST(SimProgram, RecordingOverTheReplayedFileIsRefused) {
    TempFile file;
    file.write("a\n");
    ChildProcess sim(sim_program, {"--port", "9", "--replay", file.path, "--record",
                                   "/tmp/../tmp/" + file.path.substr(5)});
    EXPECT_EQ(sim.wait(), 2);
    EXPECT_NE(sim.errors().find("would overwrite the file being replayed"), std::string::npos)
        << sim.errors();
    std::ifstream in(file.path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a\n");
}

class SimProgramStops : public testing::TestWithParam<int> {};

TEST_P(SimProgramStops, CleanlyOnTheSignalWithASummary) {
    UdpSocket receiver;
    // The command port's thread must not swallow the signal.
    ChildProcess sim(sim_program,
                     {"--port", port(receiver.port()), "--rate", "100", "--command-port=0"});
    ASSERT_EQ(receiveAll(receiver, 3).size(), 3u) << sim.errors();
    sim.signal(GetParam());
    EXPECT_EQ(sim.wait(3000), 0) << sim.errors();
    EXPECT_NE(sim.output().find(" frames sent"), std::string::npos) << sim.output();
    EXPECT_EQ(sim.errors(), "");
}

INSTANTIATE_TEST_SUITE_P(IntAndTerm, SimProgramStops, testing::Values(SIGINT, SIGTERM));

TEST(SimProgram, CommandPortServesTheRunningSimulator) {
    UdpSocket receiver;
    ChildProcess sim(sim_program, {"--port", port(receiver.port()), "--rate", "50",
                                   "--command-port=0", "--param", "lab room=3 west"});
    const std::string start = sim.firstOutputLine();
    const std::size_t at = start.find("command port 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << start << sim.errors();
    const unsigned short command_port =
        static_cast<unsigned short>(std::stoi(start.substr(at + 23)));

    Ombrix client("127.0.0.1", command_port, 0, 20000, 100000, 2000000);
    ASSERT_FALSE(client.server_noconnection());
    std::string value;
    ASSERT_TRUE(client.get_parameter("output", "port", value));
    EXPECT_EQ(value, port(receiver.port()));
    ASSERT_TRUE(client.get_parameter("lab", "room", value));
    EXPECT_EQ(value, "3 west");
    ASSERT_TRUE(client.get_message());
    EXPECT_EQ(client.get_message_msg(), "simulated controller started");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
}

TEST(SimProgram, RunTimeFailuresAreClearErrors) {
    UdpSocket receiver;
    CommandServer occupant{CommandProtocol()};
    std::string error;
    ASSERT_TRUE(occupant.start("127.0.0.1", 0, error)) << error;
    ChildProcess in_use(
        sim_program, {"--port", port(receiver.port()), "--command-port=" + port(occupant.port())});
    EXPECT_EQ(in_use.wait(), 1);
    EXPECT_NE(in_use.errors().find("cannot listen on command port " + port(occupant.port()) +
                                   ": Address already in use"),
              std::string::npos)
        << in_use.errors();

    ChildProcess no_host(sim_program, {"--host", "no-such-host.invalid"});
    EXPECT_EQ(no_host.wait(), 1);
    EXPECT_NE(no_host.errors().find("cannot resolve host \"no-such-host.invalid\""),
              std::string::npos)
        << no_host.errors();
    EXPECT_FALSE(receiver.receive(100));
}

} // namespace
