// The ombrix-monitor program, run as a user runs it against ombrix-sim over loopback: the
// figures it reports, its JSON, Skywand and raw views, its recordings, and how it refuses a
// taken port and bad arguments.

#include "childprocess.h"
#include "replayreader.h"
#include "replaywriter.h"
#include "net.h"
#include "net.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

using namespace std::string_literals;

const std::string monitor_program = OMBRIX_MONITOR_PATH;
const std::string sim_program = OMBRIX_SIM_PATH;

class TempFile {
public:
    TempFile() {
        char pattern[] = "/tmp/ombrix_monitor_test_XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) {
            close(fd);
        }
        path = pattern;
    }
    ~TempFile() { std::remove(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::string read() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string path;
};

// A replay file of the datagrams, each sent delay_ms after the one before.
void writeReplay(const TempFile& file, const std::vector<std::string>& datagrams, double delay_ms) {
    std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
    ReplayWriter writer(out);
    for (const std::string& datagram : datagrams) {
        writer.writeFrame(datagram, delay_ms);
    }
}

std::vector<std::string> readReplay(const std::string& path) {
    ReplayReader reader;
    std::vector<std::string> datagrams;
    if (!reader.open(path)) {
        ADD_FAILURE() << reader.error();
        return datagrams;
    }
    ReplayFrame frame;
    ReplayReader::Result result;
    while ((result = reader.next(frame)) == ReplayReader::Result::frame) {
        datagrams.push_back(frame.datagram);
    }
    EXPECT_EQ(result, ReplayReader::Result::end) << reader.error();
    return datagrams;
}

// The monitor on a free port, started and bound, and the simulator replaying a file to it.
struct MonitorRun {
    explicit MonitorRun(std::vector<std::string> args)
        : port(freeUdpPort()), monitor(monitor_program, withPort(std::move(args), port)) {
        bound = waitUntilUdpBound(port);
    }
    static std::vector<std::string> withPort(std::vector<std::string> args, unsigned short port) {
        args.insert(args.begin(), {"--port", std::to_string(port)});
        return args;
    }
    // Replays the file into the monitor and waits until it has ended.
    int replay(const std::string& path) {
        ChildProcess sim(sim_program, {"--port", std::to_string(port), "--replay", path});
        return sim.wait(20000);
    }
    unsigned short port;
    ChildProcess monitor;
    bool bound = false;
};

// The figures of the final summary line.
struct Figures {
    long received = -1, lost = -1, dropped = -1, restarts = -1;
    long timeouts = -1, receive_errors = -1, parse_errors = -1;
    double seconds = -1, rate = -1;
};

// The number that ends right before word in line, e.g. 5 for " lost," in "..., 5 lost, ..."; -1
// when the word or the number is missing.
double numberBefore(const std::string& line, const std::string& word) {
    const std::size_t end = line.find(word);
    if (end == std::string::npos) {
        return -1;
    }
    std::size_t start = end;
    while (start > 0 &&
           (std::isdigit(static_cast<unsigned char>(line[start - 1])) || line[start - 1] == '.')) {
        --start;
    }
    return start == end ? -1 : std::stod(line.substr(start, end - start));
}

Figures finalFigures(const std::string& text) {
    Figures figures;
    const std::string prefix = "ombrix-monitor: ";
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line) &&
           !(line.rfind(prefix, 0) == 0 && line.find(" received in ") != std::string::npos)) {
    }
    if (!in) {
        return figures;
    }
    const auto count = [&line](const std::string& word) {
        return static_cast<long>(numberBefore(line, word));
    };
    figures.received = std::stol(line.substr(prefix.size()));
    figures.seconds = numberBefore(line, " s");
    figures.rate =
        line.find(" frames/s, ") == std::string::npos ? 0.0 : numberBefore(line, " frames/s");
    figures.lost = count(" lost, ");
    figures.dropped = count(" dropped, ");
    figures.restarts = count(" restarts; ");
    figures.timeouts = count(" time-out, ");
    figures.receive_errors = count(" receive, ");
    figures.parse_errors = count(" parse");
    return figures;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// What one monitor run printed, and the figures of its final summary.
struct MonitorResult {
    int status = -1;
    std::string output;
    std::string errors;
    Figures figures;
};

// Runs the monitor with args while ombrix-sim replays the file into it; args must make the
// monitor stop by itself.
MonitorResult monitorReplay(const std::vector<std::string>& args, const std::string& replay) {
    MonitorRun run(args);
    MonitorResult result;
    if (!run.bound) {
        ADD_FAILURE() << "the monitor did not start: " << run.monitor.errors();
        return result;
    }
    EXPECT_EQ(run.replay(replay), 0);
    result.status = run.monitor.wait(25000);
    result.output = run.monitor.output();
    result.errors = run.monitor.errors();
    result.figures = finalFigures(result.output + result.errors);
    return result;
}

// As monitorReplay, for checks that need every datagram: the client skips datagrams that wait
// behind a newer one, which happens when a busy machine holds the monitor up for longer than
// the gap between two frames. Such a run is repeated, up to three times in all.
MonitorResult monitorReplayWithoutDrops(const std::vector<std::string>& args,
                                        const std::string& replay) {
    MonitorResult result;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        result = monitorReplay(args, replay);
        if (result.figures.dropped == 0) {
            break;
        }
        std::cout << "[ busy     ] the monitor dropped " << result.figures.dropped
                  << " datagrams in run " << attempt << "\n";
    }
    EXPECT_EQ(result.figures.dropped, 0) << result.output << result.errors;
    return result;
}

std::string simpleFrame(std::uint32_t counter) {
    return "fr " + std::to_string(counter) + "\r\nts " + std::to_string(counter * 0.005) +
           "\r\n6df2 1 1 [0 1.000 2 2][1 2 3][1 0 0 0 1 0 0 0 1][1 0.5 -0.5]\r\n";
}

TEST(MonitorProgram, RateAndLossMatchWhatTheSimulatorSent) {
    {
        // The generated scene at 200 Hz: every frame arrives, none is lost.
        MonitorRun run({"--frames", "300", "--duration", "20"});
        ASSERT_TRUE(run.bound) << run.monitor.errors();
        ChildProcess sim(sim_program, {"--port", std::to_string(run.port), "--rate", "200",
                                       "--frames", "300", "--all-kinds"});
        ASSERT_EQ(run.monitor.wait(25000), 0) << run.monitor.errors();
        ASSERT_EQ(sim.wait(), 0) << sim.errors();
        const Figures figures = finalFigures(run.monitor.output());
        EXPECT_EQ(figures.received, 300) << run.monitor.output();
        EXPECT_EQ(figures.lost, 0);
        EXPECT_EQ(figures.restarts, 0);
        EXPECT_EQ(figures.parse_errors, 0);
        EXPECT_EQ(figures.receive_errors, 0);
        std::cout << "[ figures  ] 300 frames sent at 200 Hz: monitor counted " << figures.received
                  << ", average " << figures.rate << " frames/s, " << figures.dropped
                  << " dropped\n";
    }
    {
        // A recorded stream whose counters skip 21 to 25, then restart at 1.
        std::vector<std::string> datagrams;
        for (std::uint32_t counter = 1; counter <= 40; ++counter) {
            if (counter < 21 || counter > 25) {
                datagrams.push_back(simpleFrame(counter));
            }
        }
        for (std::uint32_t counter = 1; counter <= 10; ++counter) {
            datagrams.push_back(simpleFrame(counter));
        }
        TempFile replay;
        writeReplay(replay, datagrams, 4.0);
        // Dropped datagrams are no loss: the figures hold whether the monitor kept up or not.
        const MonitorResult result = monitorReplay(
            {"--frames", std::to_string(datagrams.size()), "--duration", "20"}, replay.path);
        ASSERT_EQ(result.status, 0) << result.errors;
        const Figures& figures = result.figures;
        EXPECT_EQ(figures.received, 45) << result.output;
        EXPECT_EQ(figures.lost, 5);
        EXPECT_EQ(figures.restarts, 1);
        std::cout << "[ figures  ] 45 frames sent at 250 Hz: monitor counted " << figures.received
                  << ", average " << figures.rate << " frames/s\n";
    }
}

// A frame with one record of every kind, and the JSON line that must come of it.
const std::string every_kind_frame =
    "fr 77\r\n"
    "ts 12.5\r\n"
    "6dcal 2\r\n" // counts the measurement tool as well, which leaves one body
    "6d 1 [0 0.75][10 20 30][1 0 0 0 1 0 0 0 1]\r\n"
    "6df2 1 1 [0 0.5 6 2][-1.5 2.25 3][0 1 0 1 0 0 0 0 1][5 0.25 -1]\r\n"
    "6dmt 1 [0 1 1][4 5 6][1 0 0 0 1 0 0 0 1]\r\n"
    "gl 1 [0 1 1 1][7 8 9][1 0 0 0 1 0 0 0 1][1 2 3][1 0 0 0 1 0 0 0 1][0.5 40 10 30 20 25]\r\n"
    "3d 2 [3 1][1 2 3] [9 0.5][nan inf -inf]\r\n";

const std::string identity = "[1,0,0,0,1,0,0,0,1]";
const std::string every_kind_json =
    R"({"frame":77,"timestamp":12.5,"dropped":0,)"
    R"("bodies":[{"id":0,"quality":0.75,"position":[10,20,30],"rotation":)" +
    identity + "}]," +
    R"("skywands":[{"id":0,"quality":0.5,"buttons":[1,0,1,0,0,0],"joystick":[0.25,-1],)"
    R"("position":[-1.5,2.25,3],"rotation":[0,1,0,1,0,0,0,0,1]}],)"
    R"("tools":[{"id":0,"quality":1,"buttons":[1],"position":[4,5,6],"rotation":)" +
    identity + "}]," +
    R"("hands":[{"id":0,"quality":1,"handedness":1,"position":[7,8,9],"rotation":)" + identity +
    R"(,"fingers":[{"position":[1,2,3],"rotation":)" + identity +
    R"(,"tip_radius":0.5,"phalanx_length":[40,30,25],"phalanx_angle":[10,20]}]}],)"
    // Values that are not finite have no JSON number.
    R"("markers":[{"id":3,"quality":1,"position":[1,2,3]},)"
    R"({"id":9,"quality":0.5,"position":[null,null,null]}]})";

TEST(MonitorProgram, JsonLinesParseAndHoldEveryRecord) {
    const std::string unparsable = "fr 78\r\nts \"quoted\\ \x01\xff\r\n6df2 x\r\n";
    TempFile replay;
    writeReplay(replay, {every_kind_frame, unparsable}, 20.0);
    const MonitorResult result =
        monitorReplayWithoutDrops({"--json", "--frames", "2", "--duration", "20"}, replay.path);
    ASSERT_EQ(result.status, 0) << result.errors;

    const std::vector<std::string> output = lines(result.output);
    ASSERT_EQ(output.size(), 2u) << result.output;
    EXPECT_EQ(output[0], every_kind_json);
    EXPECT_EQ(output[1], R"({"error":"parse","bytes":)" + std::to_string(unparsable.size()) +
                             R"(,"datagram":"fr 78\r\nts \"quoted\\ \u0001\u00ff\r\n6df2 x\r\n"})");

    // A strict reader (no NaN and the like) takes every line, and the datagram comes back from
    // the JSON byte for byte.
    TempFile json_lines;
    std::ofstream(json_lines.path) << result.output;
    ChildProcess check("/usr/bin/python3", {"-c",
                                            "import json,sys\n"
                                            "def refuse(c): raise ValueError(c)\n"
                                            "for line in open(sys.argv[1], encoding='ascii'):\n"
                                            "    value = json.loads(line, parse_constant=refuse)\n"
                                            "print(value['datagram'].encode('latin-1').hex())\n",
                                            json_lines.path});
    EXPECT_EQ(check.wait(), 0) << check.errors();
    std::string hex;
    for (const unsigned char byte : unparsable) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    EXPECT_EQ(check.output(), hex + "\n");
}

TEST(MonitorProgram, RecordReplayRecordRoundTripsByteForByte) {
    const std::vector<std::string> sent = {
        simpleFrame(1),
        "fr 2\nts 0.010\n",                   // LF line ends
        "fr 3\rts 0.015",                     // CR alone, no line end at the end
        "#@\\\t\x7f\xff\r\n  \r\n\r\n"s,      // bytes a replay file must escape
        "fr 5\r\n\0after NUL\r\n"s,           // the parser stops at the NUL; the bytes stay
        "fr x\r\n",                           // not a frame: recorded all the same
        "fr 7\r\n" + std::string(60000, 'z'), // far beyond the tester's 19998 bytes
        simpleFrame(8)};
    TempFile original, first, second;
    writeReplay(original, sent, 20.0);
    const std::string count = std::to_string(sent.size());
    for (const TempFile* target : {&first, &second}) {
        const MonitorResult result = monitorReplayWithoutDrops(
            {"--record", target->path, "--frames", count, "--duration", "20"},
            target == &first ? original.path : first.path);
        ASSERT_EQ(result.status, 0) << result.errors;
        EXPECT_NE(result.output.find(count + " frames recorded to " + target->path),
                  std::string::npos)
            << result.output;
    }
    EXPECT_EQ(readReplay(first.path), sent);
    EXPECT_EQ(readReplay(second.path), sent);

    // Only the arrival times may differ between the two recordings.
    const auto withoutTimes = [](const std::string& text) {
        std::string kept;
        for (const std::string& line : lines(text)) {
            if (line.rfind("@delay ", 0) != 0 && line.rfind("# Recorded by", 0) != 0) {
                kept += line + "\n";
            }
        }
        return kept;
    };
    EXPECT_EQ(withoutTimes(first.read()), withoutTimes(second.read()));
    std::size_t delays = 0;
    for (const std::string& line : lines(second.read())) {
        delays += line.rfind("@delay ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(delays, sent.size() - 1) << "every frame but the first has its delay";
}

TEST(MonitorProgram, TakenPortIsReportedInPlainWords) {
    UdpSocket holder; // another program's socket on the port
    ASSERT_NE(holder.port(), 0);
    const std::string port = std::to_string(holder.port());
    ChildProcess monitor(monitor_program, {"--port", port, "--duration", "5"});
    EXPECT_EQ(monitor.wait(), 1);
    EXPECT_EQ(monitor.errors().rfind(
                  "ombrix-monitor: port " + port + " is already in use by another program\n", 0),
              0u)
        << monitor.errors();
    EXPECT_EQ(monitor.output(), "");
}

TEST(MonitorProgram, CtrlCAndTermEndTheRunWithTheSummary) {
    for (const int stop_signal : {SIGINT, SIGTERM}) {
        MonitorRun run({});
        ASSERT_TRUE(run.bound) << run.monitor.errors();
        run.monitor.signal(stop_signal);
        EXPECT_EQ(run.monitor.wait(), 0) << stop_signal;
        EXPECT_EQ(finalFigures(run.monitor.output()).received, 0) << run.monitor.output();
        EXPECT_EQ(run.monitor.errors().find("error"), std::string::npos) << run.monitor.errors();
    }
}

TEST(MonitorProgram, BadArgumentsExitWithStatus2AndAMessage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},          {"extra"},           {"--port", "65536"},
        {"--port", "-1"},     {"--port"},          {"--skywand", "0"},
        {"--skywand", "two"}, {"--raw", "--json"}, {"--json", "--skywand", "1"},
        {"--frames", "0"},    {"--duration", "0"}, {"--duration", "1e3"},
        {"--record="},        {"--raw=yes"},
    };
    for (const auto& args : cases) {
        ChildProcess monitor(monitor_program, args);
        EXPECT_EQ(monitor.wait(), 2) << args[0];
        EXPECT_EQ(monitor.errors().rfind("ombrix-monitor: ", 0), 0u) << monitor.errors();
        EXPECT_NE(monitor.errors().find("Try 'ombrix-monitor --help'"), std::string::npos);
        EXPECT_EQ(monitor.output(), "");
    }
    ChildProcess help(monitor_program, {"--help"});
    EXPECT_EQ(help.wait(), 0);
    EXPECT_EQ(help.output().rfind("Usage: ombrix-monitor", 0), 0u);
}

TEST(MonitorProgram, SkywandAndRawViewsShowEachFrame) {
    const std::vector<std::string> sent = {
        simpleFrame(1),
        "fr 2\r\nts 0.5\r\n6df 2 [0 1 161][0 0 0][1 0 0 0 1 0 0 0 1] "
        "[1 -1 16][0 0 0][0 0 0 0 0 0 0 0 0]\r\n",
        "fr x\r\n"};
    TempFile replay;
    writeReplay(replay, sent, 20.0);

    const MonitorResult skywand = monitorReplayWithoutDrops(
        {"--skywand", "2", "--frames", "3", "--duration", "20"}, replay.path);
    ASSERT_EQ(skywand.status, 0) << skywand.errors;
    const std::vector<std::string> expected = {
        "frame 1  ts 0.005  S2  not in this frame (1 Skywand)",
        "frame 2  ts 0.500  S2  quality -1.000 (not tracked)  buttons 0 0 0 0 1 0 0 0  "
        "joystick 0.000 -1.000",
        "parse error (6 bytes; --raw shows them)"};
    EXPECT_EQ(lines(skywand.output), expected);
    // The summary goes to the error output, out of the way of the frame lines.
    EXPECT_EQ(finalFigures(skywand.errors).received, 3) << skywand.errors;

    const MonitorResult raw =
        monitorReplayWithoutDrops({"--raw", "--frames", "3", "--duration", "20"}, replay.path);
    ASSERT_EQ(raw.status, 0) << raw.errors;
    EXPECT_NE(raw.output.find(" bytes, frame 1\nfr 1\\r\nts 0.005000\\r\n"), std::string::npos)
        << raw.output;
    EXPECT_NE(raw.output.find(" 6 bytes, parse error\nfr x\\r\n\n"), std::string::npos)
        << raw.output;
    // The raw view is itself a replay file that gives back the datagrams.
    TempFile raw_file;
    std::ofstream(raw_file.path, std::ios::binary) << raw.output;
    EXPECT_EQ(readReplay(raw_file.path), sent);
}

} // namespace
