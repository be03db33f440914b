// The command line: every option's effect, and a clear message for every bad argument.

#include "optionparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SimOptions parseOk(const std::vector<std::string>& args) {
    SimOptions options;
    std::string error;
    EXPECT_TRUE(OptionParser::parse(args, options, error)) << error;
    return options;
}

TEST(OptionParser, DefaultsPlayTwoNewerSkywandsAt60HzToPort5000) {
    const SimOptions options = parseOk({});
    EXPECT_EQ(options.host, "127.0.0.1");
    EXPECT_EQ(options.port, 5000);
    EXPECT_EQ(options.rate, 60.0);
    EXPECT_EQ(options.skywands, 2);
    EXPECT_EQ(options.layout, SkywandLayout::newer);
    EXPECT_FALSE(options.all_kinds);
    EXPECT_FALSE(options.frames);
    EXPECT_FALSE(options.duration);
    EXPECT_FALSE(options.command_port);
    EXPECT_TRUE(options.replay_file.empty());
}

TEST(OptionParser, EveryOptionTakesEffect) {
    const SimOptions options = parseOk({"--host",
                                        "tracker.local",
                                        "--port=6000",
                                        "--rate",
                                        "1000.5",
                                        "--frames",
                                        "10",
                                        "--duration=2.5",
                                        "--skywands",
                                        "0",
                                        "--layout",
                                        "old",
                                        "--all-kinds",
                                        "--line-end",
                                        "cr",
                                        "--first-frame",
                                        "4294967295",
                                        "--command-port",
                                        "--command-bind",
                                        "0.0.0.0",
                                        "--param",
                                        "tracking exposure=300 us",
                                        "--record",
                                        "out.replay",
                                        "--quiet"});
    EXPECT_EQ(options.host, "tracker.local");
    EXPECT_EQ(options.port, 6000);
    EXPECT_EQ(options.rate, 1000.5);
    EXPECT_EQ(options.frames, 10u);
    EXPECT_EQ(options.duration, 2.5);
    EXPECT_EQ(options.skywands, 0);
    EXPECT_EQ(options.layout, SkywandLayout::older);
    EXPECT_TRUE(options.all_kinds);
    EXPECT_EQ(options.line_end, LineEnd::cr);
    EXPECT_EQ(options.first_frame, 4294967295u);
    EXPECT_EQ(options.command_port, SimOptions::default_command_port);
    EXPECT_EQ(options.command_bind, "0.0.0.0");
    ASSERT_EQ(options.parameters.size(), 1u);
    EXPECT_EQ(options.parameters[0].first, "tracking exposure");
    EXPECT_EQ(options.parameters[0].second, "300 us");
    EXPECT_EQ(options.record_file, "out.replay");
    EXPECT_TRUE(options.quiet);

    const SimOptions replay = parseOk({"--replay", "walk.replay", "--loop", "--fast"});
    EXPECT_EQ(replay.replay_file, "walk.replay");
    EXPECT_TRUE(replay.loop);
    EXPECT_TRUE(replay.fast);
}

TEST(OptionParser, CommandPortNumberIsOptional) {
    EXPECT_EQ(parseOk({"--command-port"}).command_port, 50105);
    EXPECT_EQ(parseOk({"--command-port", "50200"}).command_port, 50200);
    EXPECT_EQ(parseOk({"--command-port=0"}).command_port, 0);
    // A following option is not taken as the port.
    const SimOptions options = parseOk({"--command-port", "--rate", "30"});
    EXPECT_EQ(options.command_port, 50105);
    EXPECT_EQ(options.rate, 30.0);
}

TEST(OptionParser, HelpDocumentsEveryOption) {
    EXPECT_TRUE(parseOk({"--help"}).help);
    EXPECT_TRUE(parseOk({"-h"}).help);
    EXPECT_TRUE(parseOk({"--version"}).version);
    const std::string help = OptionParser::helpText();
    for (const char* option :
         {"--host",         "--port",   "--rate",      "--frames",   "--duration",
          "--skywands",     "--layout", "--all-kinds", "--line-end", "--first-frame",
          "--replay",       "--fast",   "--loop",      "--record",   "--command-port",
          "--command-bind", "--param",  "--help",      "--version",  "--quiet",
          "Exit status"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

struct BadArguments {
    std::vector<std::string> args;
    const char* message;
};

void PrintTo(const BadArguments& c, std::ostream* os) {
    for (const std::string& arg : c.args) {
        *os << arg << ' ';
    }
}

class OptionParserRefuses : public testing::TestWithParam<BadArguments> {};

TEST_P(OptionParserRefuses, WithAMessageSayingWhy) {
    SimOptions options;
    std::string error;
    EXPECT_FALSE(OptionParser::parse(GetParam().args, options, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    BadArguments, OptionParserRefuses,
    testing::Values(
        BadArguments{{"--bogus"}, "unknown option --bogus"},
        BadArguments{{"stray"}, "unexpected argument \"stray\""},
        BadArguments{{"--port"}, "--port needs a value"},
        BadArguments{{"--port", "--rate", "5"}, "--port needs a value"},
        BadArguments{{"--port", "0"}, "--port needs a whole number from 1 to 65535"},
        BadArguments{{"--port", "50x"}, "not \"50x\""},
        BadArguments{{"--rate", "fast"}, "--rate needs frames per second"},
        BadArguments{{"--rate", "100001"}, "--rate needs"},
        BadArguments{{"--rate", "1e3"}, "--rate needs"},
        BadArguments{{"--frames", "0"}, "--frames needs a whole number from 1"},
        BadArguments{{"--frames", "99999999999999999999"}, "--frames needs"},
        BadArguments{{"--duration", "0"}, "--duration needs seconds greater than 0"},
        BadArguments{{"--duration", "nan"}, "--duration needs"},
        BadArguments{{"--skywands", "101"}, "--skywands needs a whole number from 0 to 100"},
        BadArguments{{"--layout", "older"}, "--layout needs \"new\" or \"old\""},
        BadArguments{{"--first-frame", "4294967296"}, "--first-frame needs"},
        BadArguments{{"--loop=yes"}, "--loop takes no value"},
        BadArguments{{"--loop"}, "--loop needs --replay"},
        BadArguments{{"--replay", "f", "--skywands", "3"}, "--skywands shapes the generated"},
        BadArguments{{"--replay="}, "--replay needs a file name"},
        BadArguments{{"--command-port=70000"}, "--command-port needs a whole number from 0"},
        BadArguments{{"--param", "a=1"}, "--param needs --command-port"},
        BadArguments{{"--command-bind", "0.0.0.0"}, "--command-bind needs --command-port"},
        BadArguments{{"--command-port", "--param", " =1"}, "--param needs NAME=VALUE"}));

} // namespace
