// The command lines of ombrix-sim and ombrix-monitor: what the options set, and one table of bad
// arguments, each refused by the program itself with status 2 and a line naming the option.

#include "childprocess.h"
#include "monitoroptions.h"
#include "simoptions.h"

#include <gtest/gtest.h>

namespace {

TEST(Options, ValuesTakeEffect) {
    SimOptions sim;
    std::string error;
    ASSERT_TRUE(
        sim.parse({"--port=6000", "--rate", "59.94", "--layout", "old", "--line-end", "cr",
                   "--command-port", "--param", "a b=1 2", "--param", "c=", "--port", "6001"},
                  error))
        << error;
    EXPECT_EQ(sim.port, 6001); // the last one counts
    EXPECT_EQ(sim.rate, 59.94);
    EXPECT_EQ(sim.layout, SkywandLayout::older);
    EXPECT_EQ(sim.line_end, LineEnd::cr);
    EXPECT_EQ(sim.command_port, SimOptions::default_command_port);
    EXPECT_EQ(sim.parameters, (decltype(sim.parameters){{"a b", "1 2"}, {"c", ""}}));
    ASSERT_TRUE(sim.parse({"--command-port", "0", "--replay", "f", "--loop"}, error)) << error;
    EXPECT_EQ(sim.command_port, 0);
    MonitorOptions monitor;
    ASSERT_TRUE(monitor.parse({"--port", "0", "--skywand", "3"}, error)) << error;
    EXPECT_EQ(monitor.view, MonitorOptions::View::skywand);
    EXPECT_EQ(monitor.skywand, 3);
}

TEST(Options, BadArgumentsExitWith2NamingTheOption) {
    const struct {
        const char* program;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {OMBRIX_SIM_PATH, {"--bogus"}, "--bogus"},
        {OMBRIX_SIM_PATH, {"--port"}, "--port"},
        {OMBRIX_SIM_PATH, {"--port", "0"}, "--port: needs a whole number from 1 to 65535"},
        {OMBRIX_SIM_PATH, {"--port", "0x10"}, "--port"},
        // Regression: a rate so low that one frame interval did not fit the schedule's
        // nanosecond counter made the program stop after one frame and report success.
        {OMBRIX_SIM_PATH, {"--rate", "0.0009"}, "--rate: needs frames per second from 0.001"},
        {OMBRIX_SIM_PATH, {"--duration", "0"}, "--duration: needs seconds greater than 0"},
        {OMBRIX_SIM_PATH, {"--layout", "New"}, "--layout: needs \"new\" or \"old\""},
        {OMBRIX_SIM_PATH, {"--replay", ""}, "--replay: needs a file name"},
        {OMBRIX_SIM_PATH, {"--replay", "f", "--skywands", "1"}, "--skywands"},
        {OMBRIX_SIM_PATH, {"--loop"}, "--loop requires --replay"},
        {OMBRIX_SIM_PATH, {"--command-port=65536"}, "--command-port"},
        {OMBRIX_SIM_PATH, {"--param", "a=1"}, "--param requires --command-port"},
        {OMBRIX_SIM_PATH, {"--command-port", "--param", " =1"}, "--param: needs NAME=VALUE"},
        {OMBRIX_SIM_PATH, {"--record", "f"}, "--record"},
        {OMBRIX_MONITOR_PATH, {"--port", "65536"}, "--port: needs a whole number from 0"},
        {OMBRIX_MONITOR_PATH, {"--skywand", "0"}, "--skywand"},
        {OMBRIX_MONITOR_PATH, {"--raw", "--json"}, "--raw excludes --json"},
        {OMBRIX_MONITOR_PATH, {"--skywand", "1", "--json"}, "--json excludes --skywand"},
        {OMBRIX_MONITOR_PATH, {"--frames", "18446744073709551616"}, "--frames"},
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
