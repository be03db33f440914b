// The command lines of ombrix-sim and ombrix-monitor: bad arguments are refused by the program
// with status 2 and a line naming the option. What good ones do shows in each program's tests.

#include "childprocess.h"
#include "net.h"

#include <gtest/gtest.h>

namespace {

TEST(Options, BadArgumentsExitWith2NamingTheOption) {
    const std::string own = std::to_string(freeUdpPort());
    const std::vector<std::string> nine(9, "--forward=127.0.0.1:9");
    const struct {
        const char* program;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {OMBRIX_SIM_PATH, {"--bogus"}, "--bogus"},
        {OMBRIX_SIM_PATH, {"--port", "0"}, "--port: needs a whole number from 1 to 65535"},
        {OMBRIX_SIM_PATH, {"--port", "0x10"}, "--port"},
        // Regression: a rate so low that one frame interval did not fit the schedule's
        // nanosecond counter made the program stop after one frame and report success.
        {OMBRIX_SIM_PATH, {"--rate", "0.0009"}, "--rate: needs frames per second from 0.001"},
        {OMBRIX_SIM_PATH, {"--replay", "f", "--skywands", "1"}, "--skywands"},
        {OMBRIX_SIM_PATH, {"--layout", "x"}, "--layout: needs \"new\" or \"old\", not \"x\""},
        {OMBRIX_SIM_PATH, {"--loop"}, "--loop requires --replay"},
        {OMBRIX_SIM_PATH, {"--command-port=65536"}, "--command-port"},
        {OMBRIX_SIM_PATH, {"--param", "a=1"}, "--param requires --command-port"},
        {OMBRIX_SIM_PATH, {"--command-port", "--param", " =1"}, "--param: needs NAME=VALUE"},
        {OMBRIX_SIM_PATH, {"--record", "f"}, "--record"},
        {OMBRIX_MONITOR_PATH, {"--port", "65536"}, "--port: needs a whole number from 0"},
        {OMBRIX_MONITOR_PATH, {"--skywand", "0"}, "--skywand"},
        {OMBRIX_MONITOR_PATH, {"--raw", "--json"}, "--raw excludes --json"},
        {OMBRIX_MONITOR_PATH, {"--skywand", "1", "--json"}, "--json excludes --skywand"},
        {OMBRIX_MONITOR_PATH, {"--check", "0"}, "--check: needs a whole number from 1"},
        {OMBRIX_MONITOR_PATH, {"--find", "--check", "2"}, "--find excludes --check"},
        {OMBRIX_MONITOR_PATH, {"--report", "r.json"}, "--report requires --check"},
        {OMBRIX_MONITOR_PATH, {"--raw", "--find"}, "--raw excludes --find"},
        {OMBRIX_MONITOR_PATH, {"--forward", "localhost"}, "--forward: needs HOST:PORT with a"},
        {OMBRIX_MONITOR_PATH, {"--forward", "10.0.0.1:65536"}, "--forward: needs HOST:PORT"},
        {OMBRIX_MONITOR_PATH, {"--forward", "nowhere.invalid:5000"}, "cannot resolve nowhere"},
        {OMBRIX_MONITOR_PATH,
         {"--port", own, "--forward", "127.0.0.1:" + own},
         "reaches the monitor's own port"},
        {OMBRIX_MONITOR_PATH, nine, "--forward: at most 8 destinations"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        ChildProcess program(c.program, c.args);
        EXPECT_EQ(program.wait(), 2);
        EXPECT_NE(program.errors().find(c.message), std::string::npos) << program.errors();
        EXPECT_NE(program.errors().find("--help"), std::string::npos);
        EXPECT_EQ(program.output(), "");
    }
}

} // namespace
