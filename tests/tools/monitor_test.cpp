// ombrix-monitor: its figures from a stream of receive outcomes, and the program itself run
// against ombrix-sim over loopback: its JSON and Skywand views and its recordings; the search
// for the device in hand and the device check against hand-made frames.

#include "childprocess.h"
#include "net.h"
#include "replaywriter.h"
#include "streamstats.h"
#include "tempdir.h"
#include "wandframes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using namespace std::string_literals;

// Every datagram read feeds the counter rules (tested with the check's counter): one skipped to
// reach a later one is not lost, one without a counter is a parse error, not a loss.
TEST(Monitor, LostFramesCountEveryDatagramRead) {
    StreamStats stats(0.0);
    for (const char* datagram : {"fr 1\n", "fr 2\n", "fr 4\n", "fr 3\n", "fr 9\n", "x\n"})
        stats.datagramRead(datagram);
    stats.arrived(0.1, 4, true);
    stats.arrived(0.2, 0, false);
    EXPECT_EQ(stats.counters().lost(), 4); // 5 to 8
    EXPECT_EQ(stats.figures().received, 6u);
    EXPECT_EQ(stats.figures().parse_errors, 1u);
}

// 100 frames 10 ms apart with one 50 ms pause: the last second's rate counts skipped
// datagrams too, the percentiles see the pause only at p99, and a silence counts one time-out
// per whole second, once.
TEST(Monitor, RateIntervalsAndTimeOuts) {
    StreamStats stats(0.0);
    double now = 0.0;
    for (std::uint32_t counter = 1; counter <= 100; ++counter) {
        now += counter == 50 ? 0.05 : 0.01;
        stats.arrived(now, counter == 100 ? 3 : 0, true);
    }
    EXPECT_EQ(stats.rate(now), 96u + 3u); // the first four arrived over a second ago
    const auto intervals = stats.intervals(now);
    ASSERT_TRUE(intervals);
    EXPECT_NEAR(intervals->p50_ms, 10.0, 1e-6);
    EXPECT_NEAR(intervals->p99_ms, 50.0, 1e-6);
    EXPECT_NEAR(stats.figures().longest_interval * 1000.0, 50.0, 1e-6);
    for (double wait : {0.9, 1.5, 2.2, 2.3})
        stats.waitedInVain(now + wait);
    EXPECT_EQ(stats.figures().timeouts, 2u);
    EXPECT_EQ(stats.rate(now + 2.3), 0u);
}

// A replay file of the datagrams, 20 ms apart.
std::string replayOf(const std::vector<std::string>& datagrams) {
    std::ostringstream replay;
    ReplayWriter writer(replay);
    for (const std::string& datagram : datagrams) {
        writer.writeFrame(datagram, 20.0);
    }
    return replay.str();
}

// The monitor with args, ended, after it took count datagrams that ombrix-sim replayed to it
// from the file. A busy machine can hold the monitor up so that it skips a datagram; such a run
// is repeated, up to three times in all. The summary is on the error output with a view.
std::unique_ptr<ChildProcess> monitor(std::vector<std::string> args, const std::string& file,
                                      std::size_t count) {
    const std::string port = std::to_string(freeUdpPort());
    args.insert(args.end(),
                {"--port", port, "--frames", std::to_string(count), "--duration", "20"});
    std::unique_ptr<ChildProcess> run;
    const auto complete = [&run] {
        return run && (run->output() + run->errors()).find(" 0 dropped, ") != std::string::npos;
    };
    for (int attempt = 0; attempt < 3 && !complete(); ++attempt) {
        run = std::make_unique<ChildProcess>(OMBRIX_MONITOR_PATH, args);
        EXPECT_TRUE(waitUntilUdpBound(std::stoi(port))) << run->errors();
        EXPECT_EQ(ChildProcess(OMBRIX_SIM_PATH, {"--port", port, "--replay", file}).wait(20000), 0);
        EXPECT_EQ(run->wait(25000), 0) << run->errors();
    }
    EXPECT_TRUE(complete()) << run->output() << run->errors();
    return run;
}

std::string monitorOutput(const std::vector<std::string>& args,
                          const std::vector<std::string>& datagrams) {
    TempDir folder;
    writeFile(folder.file("sent"), replayOf(datagrams));
    return monitor(args, folder.file("sent"), datagrams.size())->output();
}

TEST(Monitor, JsonLinesAreStrictAndHoldEveryRecord) {
    const std::string unparsable = "fr 78\r\nts \"quoted\\ \x01\xff\r\n";
    const std::string output = monitorOutput(
        {"--json"},
        {"fr 77\r\nts 12.5\r\n6df2 1 1 [0 0.5 6 2][-1.5 2.25 3][0 1 0 1 0 0 0 0 1][5 0.25 -1]\r\n"
         "gl 1 [0 1 1 1][7 8 9][1 0 0 0 1 0 0 0 1][1 2 3][1 0 0 0 1 0 0 0 1][0.5 40 10 30 20 25]"
         "\r\n3d 2 [3 1][1 2 3] [9 0.5][nan inf -inf]\r\n",
         unparsable});
    EXPECT_EQ(output,
              R"({"frame":77,"timestamp":12.5,"dropped":0,"bodies":[],"skywands":[{"id":0,)"
              R"("quality":0.5,"buttons":[1,0,1,0,0,0],"joystick":[0.25,-1],"position":[-1.5,)"
              R"(2.25,3],"rotation":[0,1,0,1,0,0,0,0,1]}],"tools":[],"hands":[{"id":0,"quality":)"
              R"(1,"handedness":1,"position":[7,8,9],"rotation":[1,0,0,0,1,0,0,0,1],"fingers":)"
              R"([{"position":[1,2,3],"rotation":[1,0,0,0,1,0,0,0,1],"tip_radius":0.5,)"
              R"("phalanx_length":[40,30,25],"phalanx_angle":[10,20]}]}],"markers":[{"id":3,)"
              R"("quality":1,"position":[1,2,3]},{"id":9,"quality":0.5,"position":[null,null,)"
              R"(null]}]})"
              "\n"
              R"({"error":"parse","bytes":23,"datagram":"fr 78\r\nts \"quoted\\ \u0001\u00ff\r\n"})"
              "\n");
}

TEST(Monitor, RecordReplayRecordRoundTripsByteForByte) {
    const std::vector<std::string> sent = {
        "fr 1\r\nts 0.005\r\n6df2 1 1 [0 1.000 2 2][1 2 3][1 0 0 0 1 0 0 0 1][1 0.5 -0.5]\r\n",
        "fr x\r\n",                            // not a frame: recorded all the same
        "fr 5\r\n\0after NUL\r\n"s,            // the parser stops at the NUL; the bytes stay
        "fr 9\r\n" + std::string(60000, 'z')}; // far beyond the tester's buffer
    TempDir folder;
    writeFile(folder.file("sent"), replayOf(sent));
    // Only arrival times and comments may differ: data lines never begin with "@" or "#".
    const auto frames = [](const std::string& file) {
        std::string kept;
        std::istringstream in(readFile(file));
        for (std::string line; std::getline(in, line);) {
            kept += line[0] == '@' || line[0] == '#' ? "" : line + "\n";
        }
        return kept;
    };
    std::string replayed = folder.file("sent");
    for (const char* name : {"first", "second"}) {
        const std::string summary = monitor({"--record", folder.file(name)}, replayed, 4)->output();
        EXPECT_EQ(summary.rfind("ombrix-monitor: 4 frames received in "), 0u) << summary;
        EXPECT_NE(summary.find("; 4 frames recorded to " + folder.file(name)), std::string::npos);
        EXPECT_EQ(frames(folder.file(name)), frames(folder.file("sent")));
        replayed = folder.file(name);
    }
}

TEST(Monitor, SkywandViewShowsEachDatagram) {
    const std::vector<std::string> sent = {"fr 2\r\nts 0.5\r\n6df 2 [0 1 1][0 0 0][1 0 0 0 1 0 0 0 "
                                           "1] [1 -1 16][0 0 0][0 0 0 0 0 0 0 0 0]\r\n",
                                           "fr x\r\n"};
    EXPECT_EQ(monitorOutput({"--skywand", "2"}, sent),
              "frame 2  ts 0.500  S2  quality -1.000 (not tracked)  buttons 0 0 0 0 1 0 0 0  "
              "joystick 0.000 -1.000\nparse error (6 bytes; --raw shows them)\n");
}

// The monitor with args on a free port, after the frames were sent to it in bursts of `burst`
// back-to-back datagrams 10 ms apart; S1 lies on its button 1 throughout.
std::unique_ptr<ChildProcess> monitorAfter(std::vector<std::string> args,
                                           const std::vector<std::string>& frames,
                                           std::size_t burst = 1) {
    const unsigned short port = freeUdpPort();
    args.insert(args.end(), {"--port", std::to_string(port)});
    auto run = std::make_unique<ChildProcess>(OMBRIX_MONITOR_PATH, args);
    EXPECT_TRUE(waitUntilUdpBound(port)) << run->errors();
    UdpSocket sender;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        sender.send(port, frames[i]);
        if ((i + 1) % burst == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return run;
}

TEST(Monitor, FindPrintsTheDeviceWhoseButtonGoesDownNotTheOneLyingOnIt) {
    std::vector<std::string> frames; // S1 lies on its button 1 throughout
    for (unsigned s2 : {0u, 0u, 0u, 2u, 2u}) {
        frames.push_back(wandFrame({{6, 1}, {6, s2}}, unsigned(frames.size()) + 1));
    }
    auto run = monitorAfter({"--find", "--duration", "20"}, frames);
    EXPECT_EQ(run->wait(), 0) << run->errors();
    EXPECT_EQ(run->output(), "S2\n");
}

// Bursts of 10 copies of each state: the receiver drains most of each, yet the check counts
// every datagram, loses no press, and runs to a pass with its report.
TEST(Monitor, CheckCountsTheDatagramsTheReceiverDrainsAndPasses) {
    TempDir folder;
    auto run =
        monitorAfter({"--check", "2", "--report", folder.file("r.json")}, passingCheck(10), 10);
    EXPECT_EQ(run->wait(), 0) << run->output() << run->errors();
    // Not a terminal: one line per item ticked, the verdict last.
    const std::string output = run->output();
    EXPECT_NE(output.find(" s: Joystick press ok (1 press)\n"), std::string::npos) << output;
    EXPECT_EQ(output.rfind("S2: pass in "), output.rfind('\n', output.size() - 2) + 1) << output;
    const auto report = nlohmann::json::parse(readFile(folder.file("r.json")));
    EXPECT_EQ(report["device"], "S2");
    EXPECT_EQ(report["buttons"].size(), 6u);
    EXPECT_EQ(report["tracking"]["lost_frames"], 0) << report;
}

// SIGHUP (a closed terminal) ends the check as a fail with its report; the report replaces an
// earlier one only then.
TEST(Monitor, HangUpEndsTheCheckWithItsReport) {
    TempDir folder;
    const std::string path = folder.file("r.json");
    writeFile(path, "earlier report");
    auto run = monitorAfter({"--check", "2", "--report", path},
                            std::vector<std::string>(20, wandFrame({{6, 1}, {6, 0}}, 7)));
    EXPECT_EQ(readFile(path), "earlier report");
    run->signal(SIGHUP);
    EXPECT_EQ(run->wait(), 1);
    EXPECT_NE(run->output().find("S2: fail after "), std::string::npos) << run->output();
    EXPECT_NE(run->output().find(" (stopped); open: "), std::string::npos) << run->output();
    const auto report = nlohmann::json::parse(readFile(path));
    EXPECT_EQ(report["verdict"], "fail");
    // The check's figures are the monitor's own count of every datagram read: 20 with counter 7.
    EXPECT_EQ(report["tracking"]["repeated_frames"], 19);
}

TEST(Monitor, FindAndCheckFailWhenTheTimeRunsOut) {
    const struct {
        std::vector<std::string> args;
        const char* reason; // in the output for the check, on the error output for the search
    } cases[] = {
        {{"--find", "--duration", "0.3"}, "ombrix-monitor: no tracking frame arrived on UDP port"},
        {{"--check", "1", "--duration", "0.3"}, "S1: fail after 0."},
    };
    for (const auto& c : cases) {
        auto run = monitorAfter(c.args, {});
        EXPECT_EQ(run->wait(), 1) << c.args[0];
        EXPECT_NE((run->output() + run->errors()).find(c.reason), std::string::npos)
            << run->output() << run->errors();
    }
}

} // namespace
