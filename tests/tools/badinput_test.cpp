// ombrix-sim against input that no careful user gives: option values of every odd form, rates
// so low that the send schedule would overflow, replay files of binary content, without line
// ends, or endless. Each gets a message saying what is wrong, never a crash, a hang or a run
// that silently does something else.

#include "childprocess.h"
#include "optionparser.h"
#include "replayreader.h"
#include "net.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;

const std::string sim_program = OMBRIX_SIM_PATH;

struct OddArguments {
    const char* what;
    std::vector<std::string> args;
    const char* message; // part of the message
};

void PrintTo(const OddArguments& c, std::ostream* os) {
    *os << c.what;
}

std::string testName(const char* what) {
    std::string name = what;
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

class OddOptionValues : public testing::TestWithParam<OddArguments> {};

TEST_P(OddOptionValues, AreRefusedNamingTheOption) {
    SimOptions options;
    std::string error;
    EXPECT_FALSE(OptionParser::parse(GetParam().args, options, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OddOptionValues,
    testing::Values(
        OddArguments{"leading blank", {"--port", " 5000"}, "--port needs a whole number"},
        OddArguments{"trailing blank", {"--port", "5000 "}, "--port needs a whole number"},
        OddArguments{"trailing line feed", {"--port", "5000\n"}, "--port needs a whole number"},
        OddArguments{"plus sign", {"--port", "+5000"}, "--port needs a whole number"},
        OddArguments{"minus zero", {"--port", "-0"}, "--port needs a whole number"},
        OddArguments{"empty after equals", {"--port="}, "--port needs a whole number"},
        OddArguments{"second equals", {"--port=50=1"}, "not \"50=1\""},
        OddArguments{"hexadecimal", {"--port", "0x1388"}, "--port needs a whole number"},
        OddArguments{"fullwidth digits",
                     {"--port", "\xef\xbc\x95\xef\xbc\x90\xef\xbc\x90\xef\xbc\x90"},
                     "--port needs a whole number"},
        OddArguments{"Arabic-Indic digits",
                     {"--port", "\xd9\xa5\xd9\xa0\xd9\xa0\xd9\xa0"},
                     "--port needs a whole number"},
        OddArguments{"bytes that are not UTF-8", {"--port", "\xff\xfe"}, "--port needs"},
        OddArguments{"port beyond 64 bits", {"--port", std::string(100000, '9')}, "--port needs"},
        OddArguments{"NUL inside",
                     {"--port", "50\0"s
                                "00"},
                     "--port needs a whole number"},
        OddArguments{"rate just below the least", {"--rate", "0.0009"}, "--rate needs"},
        OddArguments{
            "rate far below the least", {"--rate", "0.00000000000000000001"}, "--rate needs"},
        OddArguments{"rate of a point alone", {"--rate", "."}, "--rate needs"},
        OddArguments{"rate with two points", {"--rate", "1.2.3"}, "--rate needs"},
        OddArguments{"rate inf", {"--rate", "inf"}, "--rate needs"},
        OddArguments{
            "rate with 5000 digits", {"--rate", "1" + std::string(5000, '0')}, "--rate needs"},
        OddArguments{"duration beyond its limit", {"--duration", "1000000001"}, "--duration"},
        OddArguments{"negative frame count", {"--frames", "-1"}, "--frames needs"},
        OddArguments{"fractional device count", {"--skywands", "1.5"}, "--skywands needs"},
        OddArguments{"layout in capitals", {"--layout", "NEW"}, "--layout needs"},
        OddArguments{"empty layout", {"--layout="}, "--layout needs"},
        OddArguments{"empty host", {"--host="}, "--host needs"},
        OddArguments{"empty option name", {"--=5"}, "unknown option --"},
        OddArguments{"single dash", {"-"}, "unexpected argument"}),
    [](const testing::TestParamInfo<OddArguments>& info) { return testName(info.param.what); });

TEST(OddOptionValues, RateLimitsThemselvesAreTaken) {
    for (const char* rate : {"0", "0.001", "100000", "100000.000"}) {
        SimOptions options;
        std::string error;
        EXPECT_TRUE(OptionParser::parse({"--rate", rate}, options, error)) << rate << ": " << error;
    }
}

// Regression: a rate so low that one frame interval did not fit the schedule's nanosecond
// counter made the program stop after one frame and report success.
TEST(OddOptionValues, TinyRateIsRefusedBeforeAnythingIsSent) {
    UdpSocket receiver;
    ChildProcess sim(sim_program, {"--port", std::to_string(receiver.port()), "--rate",
                                   "0.00000000000000000001", "--frames", "3"});
    EXPECT_EQ(sim.wait(), 2);
    EXPECT_NE(sim.errors().find("--rate needs frames per second from 0.001"), std::string::npos)
        << sim.errors();
    EXPECT_FALSE(receiver.receive(100));
}

ReplayReader::Result readAll(const std::string& content, std::vector<std::string>& datagrams,
                             std::string& error) {
    std::istringstream in(content);
    ReplayReader reader;
    reader.attach(in, "odd.replay");
    ReplayFrame frame;
    for (;;) {
        const ReplayReader::Result result = reader.next(frame);
        if (result != ReplayReader::Result::frame) {
            error = reader.error();
            return result;
        }
        datagrams.push_back(frame.datagram);
    }
}

// Random binary files: each either reads as frames or stops at a format error that names the
// file and a line; no frame is ever longer than a datagram can be.
TEST(OddReplayFiles, BinaryContentReadsOrIsRefusedNamingALine) {
    std::mt19937 random(31337);
    int refused = 0;
    int read = 0;
    for (int i = 0; i < 500; ++i) {
        std::string content(random() % 4096, '\0');
        for (char& c : content) {
            c = static_cast<char>(random() & 0xff);
        }
        std::vector<std::string> datagrams;
        std::string error;
        const ReplayReader::Result result = readAll(content, datagrams, error);
        ASSERT_TRUE(result == ReplayReader::Result::end ||
                    result == ReplayReader::Result::format_error)
            << "file " << i << ": " << error;
        for (const std::string& datagram : datagrams) {
            EXPECT_LE(datagram.size(), ReplayReader::max_datagram);
        }
        if (result == ReplayReader::Result::format_error) {
            ++refused;
            EXPECT_EQ(error.rfind("odd.replay:", 0), 0u) << error;
        } else {
            ++read;
        }
    }
    // Random bytes hold backslashes followed by anything, so most files are refused; files
    // that happen to hold no bad escape or directive are read.
    EXPECT_GT(refused, 0);
}

TEST(OddReplayFiles, LineLongerThanAnyFrameIsRefusedWithoutReadingItWhole) {
    // One line of a million bytes and no line end.
    std::vector<std::string> datagrams;
    std::string error;
    EXPECT_EQ(readAll(std::string(1000000, 'y'), datagrams, error),
              ReplayReader::Result::format_error);
    EXPECT_NE(error.find("odd.replay:1: a line longer than"), std::string::npos) << error;
    EXPECT_TRUE(datagrams.empty());

    // A comment of the same length is refused the same way.
    datagrams.clear();
    EXPECT_EQ(readAll("a\n\n#" + std::string(1000000, 'c') + "\n", datagrams, error),
              ReplayReader::Result::format_error);
    EXPECT_NE(error.find("odd.replay:3: a line longer than"), std::string::npos) << error;
    EXPECT_EQ(datagrams, std::vector<std::string>{"a\n"});
}

TEST(OddReplayFiles, LongestLineOfEscapesIsStillTaken) {
    // The largest datagram written with an escape for every byte: exactly the longest line.
    std::string line;
    for (std::size_t i = 0; i < ReplayReader::max_datagram; ++i) {
        line += "\\x41";
    }
    line += "\\";
    std::vector<std::string> datagrams;
    std::string error;
    EXPECT_EQ(readAll(line + "\r\n", datagrams, error), ReplayReader::Result::end) << error;
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0], std::string(ReplayReader::max_datagram, 'A'));
}

TEST(OddReplayFiles, LinesAcrossTheReadersChunksKeepEveryByte) {
    // Lines of lengths around the reader's 4096-byte chunks, NUL bytes among them.
    std::string content;
    std::vector<std::string> expected;
    for (std::size_t length : {4094u, 4095u, 4096u, 4097u, 8191u, 8192u, 1u}) {
        std::string line(length, 'z');
        line[length / 2] = '\0';
        content += line + "\n\n";
        expected.push_back(line + "\n");
    }
    std::vector<std::string> datagrams;
    std::string error;
    EXPECT_EQ(readAll(content, datagrams, error), ReplayReader::Result::end) << error;
    EXPECT_EQ(datagrams, expected);
}

struct OddReplay {
    const char* what;
    std::string text;
    const char* message;
};

void PrintTo(const OddReplay& c, std::ostream* os) {
    *os << c.what;
}

class OddReplayContent : public testing::TestWithParam<OddReplay> {};

TEST_P(OddReplayContent, IsAFormatError) {
    std::vector<std::string> datagrams;
    std::string error;
    EXPECT_EQ(readAll(GetParam().text, datagrams, error), ReplayReader::Result::format_error);
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OddReplayContent,
    testing::Values(OddReplay{"escape cut by the file's end", "fr 1\\x4", "two hexadecimal"},
                    OddReplay{"hex escape alone at the end", "fr 1\\x", "two hexadecimal"},
                    OddReplay{"delay nan", "@delay nan\na\n", "bad delay"},
                    OddReplay{"delay with plus sign", "@delay +5\na\n", "bad delay"},
                    OddReplay{"delay in hexadecimal", "@delay 0x10\na\n", "bad delay"},
                    OddReplay{"delay beyond 64 bits", "@delay 99999999999999999999999\na\n",
                              "bad delay"},
                    OddReplay{"delay with NUL",
                              "@delay 5\0"s
                              "0\na\n",
                              "delay"},
                    OddReplay{"escape of a non-ASCII byte", "a\\\xc3\xa9\n", "unknown escape"}),
    [](const testing::TestParamInfo<OddReplay>& info) { return testName(info.param.what); });

// Regression: an endless file without line ends made ombrix-sim read until memory ran out.
TEST(OddReplayFiles, EndlessDeviceIsRefusedPromptly) {
    UdpSocket receiver;
    ChildProcess sim(sim_program,
                     {"--port", std::to_string(receiver.port()), "--replay", "/dev/zero"});
    EXPECT_EQ(sim.wait(5000), 2);
    EXPECT_NE(sim.errors().find("/dev/zero:1: a line longer than"), std::string::npos)
        << sim.errors();
    EXPECT_FALSE(receiver.receive(100));
}

} // namespace
