// Replay files: what a writer produces reads back byte for byte, hand-written files read as
// documented, and malformed files are refused with the file and line named.

#include "replayreader.h"
#include "replaywriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;

struct Recorded {
    std::string datagram;
    std::optional<double> delay_ms;
};

std::vector<Recorded> readAll(const std::string& text, std::string* error = nullptr,
                              ReplayReader::Result* last = nullptr) {
    std::istringstream in(text);
    ReplayReader reader;
    reader.attach(in, "test.replay");
    std::vector<Recorded> frames;
    ReplayFrame frame;
    ReplayReader::Result result;
    while ((result = reader.next(frame)) == ReplayReader::Result::frame) {
        frames.push_back({frame.datagram, frame.delay_ms});
    }
    if (error != nullptr) {
        *error = reader.error();
    }
    if (last != nullptr) {
        *last = result;
    }
    return frames;
}

std::string writeAll(const std::vector<Recorded>& frames) {
    std::ostringstream out;
    ReplayWriter writer(out);
    writer.writeComment("hostile datagrams\n\nsecond comment line");
    for (const Recorded& frame : frames) {
        writer.writeFrame(frame.datagram, frame.delay_ms);
    }
    EXPECT_TRUE(writer.good());
    return out.str();
}

void expectRoundTrip(const std::vector<Recorded>& frames) {
    const std::string file = writeAll(frames);
    std::string error;
    ReplayReader::Result last;
    const std::vector<Recorded> back = readAll(file, &error, &last);
    ASSERT_EQ(last, ReplayReader::Result::end) << error << "\n" << file;
    ASSERT_EQ(back.size(), frames.size()) << file;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(back[i].datagram, frames[i].datagram) << "frame " << i << " of\n" << file;
        ASSERT_EQ(back[i].delay_ms.has_value(), frames[i].delay_ms.has_value()) << "frame " << i;
        if (frames[i].delay_ms) {
            EXPECT_NEAR(*back[i].delay_ms, *frames[i].delay_ms, 0.0005) << "frame " << i;
        }
    }
}

std::string allBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

} // namespace

TEST(ReplayRoundTrip, HostileDatagramsComeBackByteForByte) {
    expectRoundTrip({
        {""s, std::nullopt},             // empty datagram
        {"\n"s, 5.0},                    // nothing but a line feed
        {"\n\n\n"s, std::nullopt},       // only empty lines
        {"fr 1\r\nts 0.5\r\n"s, 16.667}, // an ordinary frame
        {"fr 1"s, std::nullopt},         // no final line feed
        {"a\n\nb\n"s, 0.0},              // an empty line inside
        {"\nstarts with a line feed"s, std::nullopt},
        {"#not a comment\n@not a directive\n#\n@"s, 1.5},
        {"   \n \t \n "s, std::nullopt}, // lines that look blank
        {"\\\n\\\\\nends with a backslash\\"s, std::nullopt},
        {"\\"s, std::nullopt},
        {"cr only\rand more\r"s, std::nullopt},
        {"nul\0inside\0"s, std::nullopt},
        {"\0"s, std::nullopt},
        {"\\x41 and \\n stay as text\n"s, std::nullopt},
        {allBytes(), 1000.0},
        {std::string(20000, 'x') + "\n" + std::string(3, '\n'), std::nullopt},
    });
}

// Random datagrams made of the bytes that matter to the format, so that every neighbourhood
// of escapes, line feeds and blanks turns up.
TEST(ReplayRoundTrip, RandomDatagramsOfSpecialBytes) {
    const std::string alphabet = "\n\r\\\t\0 #@x0"s;
    std::mt19937 random(20240611);
    std::vector<Recorded> frames;
    for (int i = 0; i < 2000; ++i) {
        std::string datagram;
        const int length = static_cast<int>(random() % 12);
        for (int k = 0; k < length; ++k) {
            datagram += alphabet[random() % alphabet.size()];
        }
        frames.push_back({datagram, i % 3 == 0 ? std::optional<double>(i * 0.25) : std::nullopt});
    }
    expectRoundTrip(frames);
}

TEST(ReplayWriter, OutputLooksLikeTheFrames) {
    std::ostringstream out;
    ReplayWriter writer(out);
    writer.writeFrame("fr 1\r\nts 0.0\r\n");
    writer.writeFrame("fr 2\n", 16.6667);
    writer.writeFrame("#x", -3.0); // a negative delay cannot be replayed: written as 0
    EXPECT_EQ(out.str(), "fr 1\\r\nts 0.0\\r\n\n@delay 16.667\nfr 2\n\n@delay 0\n\\x23x\\\n");
}

TEST(ReplayReader, HandWrittenFile) {
    const std::string file = "# A hand-written replay file\r\n"
                             "\n"
                             "fr 1\n"
                             "ts 0.0\n"
                             "\n"
                             "  \t \n"
                             "@delay 20\n"
                             "fr 2\r\n"
                             "# a comment inside a frame is skipped\n"
                             "6df2 1 1 [0 1.0 6 2]\\\n"
                             "[0 0 0][1 0 0 0 1 0 0 0 1][1 0.5 -0.5]\n"
                             "\n"
                             "@delay .5\n"
                             "fr 3\\r\\n\\\n"
                             "\n"
                             "fr\\t4\\x41\\0\\\\\n";
    std::string error;
    ReplayReader::Result last;
    const std::vector<Recorded> frames = readAll(file, &error, &last);
    ASSERT_EQ(last, ReplayReader::Result::end) << error;
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].datagram, "fr 1\nts 0.0\n");
    EXPECT_FALSE(frames[0].delay_ms);
    EXPECT_EQ(frames[1].datagram,
              "fr 2\n6df2 1 1 [0 1.0 6 2][0 0 0][1 0 0 0 1 0 0 0 1][1 0.5 -0.5]\n");
    EXPECT_EQ(frames[1].delay_ms, 20.0);
    EXPECT_EQ(frames[2].datagram, "fr 3\r\n");
    EXPECT_EQ(frames[2].delay_ms, 0.5);
    EXPECT_EQ(frames[3].datagram, "fr\t4A\0\\\n"s);
    EXPECT_FALSE(frames[3].delay_ms);
}

TEST(ReplayReader, RewindStartsAgainWithTheFirstFrame) {
    std::istringstream in("@delay 5\na\n\nb\n");
    ReplayReader reader;
    reader.attach(in, "rewind");
    ReplayFrame frame;
    ASSERT_EQ(reader.next(frame), ReplayReader::Result::frame);
    ASSERT_EQ(reader.next(frame), ReplayReader::Result::frame);
    ASSERT_EQ(reader.next(frame), ReplayReader::Result::end);
    ASSERT_TRUE(reader.rewind());
    ASSERT_EQ(reader.next(frame), ReplayReader::Result::frame);
    EXPECT_EQ(frame.datagram, "a\n");
    EXPECT_EQ(frame.delay_ms, 5.0);
    EXPECT_EQ(frame.line, 2);
}

struct MalformedCase {
    const char* what;
    std::string text;
    int line;
    const char* message; // part of the message
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.what;
}

class MalformedReplay : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedReplay, IsRefusedNamingFileAndLine) {
    const MalformedCase& c = GetParam();
    std::string error;
    ReplayReader::Result last;
    readAll(c.text, &error, &last);
    EXPECT_EQ(last, ReplayReader::Result::format_error);
    EXPECT_NE(error.find("test.replay:" + std::to_string(c.line) + ": "), std::string::npos)
        << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedReplay,
    testing::Values(
        MalformedCase{"unknown escape", "fr 1\n\nts \\q\n", 3, "unknown escape \\q"},
        MalformedCase{"short hex escape", "a\\x4\n", 1, "two hexadecimal digits"},
        MalformedCase{"bad hex digits", "# c\na\\xZZ\n", 2, "two hexadecimal digits"},
        MalformedCase{"delay without value", "@delay\nfr 1\n", 1, "bad delay"},
        MalformedCase{"negative delay", "@delay -5\nfr 1\n", 1, "bad delay \"-5\""},
        MalformedCase{"delay with exponent", "@delay 1e3\nfr 1\n", 1, "bad delay"},
        MalformedCase{"delay not a number", "@delay soon\nfr 1\n", 1, "bad delay"},
        MalformedCase{"delay beyond a day", "@delay 86400001\nfr 1\n", 1, "bad delay"},
        MalformedCase{"text after the delay", "@delay 5 ms\nfr 1\n", 1, "unexpected text"},
        MalformedCase{"unknown directive", "a\n\n@wait 5\nb\n", 3, "unknown directive"},
        MalformedCase{"directive inside a frame", "a\n@delay 5\nb\n", 2, "inside a frame"},
        MalformedCase{"two delays for one frame", "@delay 1\n@delay 2\na\n", 2, "second @delay"},
        MalformedCase{"delay at the end", "a\n\n@delay 3\n\n", 3, "not followed by a frame"},
        MalformedCase{"frame too long for UDP", "x\n" + std::string(65507, 'y') + "\n", 1,
                      "longer than 65507"}),
    [](const testing::TestParamInfo<MalformedCase>& info) {
        std::string name = info.param.what;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(ReplayReader, LargestDatagramIsAccepted) {
    const std::vector<Recorded> frames =
        readAll(std::string(ReplayReader::max_datagram - 1, 'y') + "\n");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].datagram.size(), ReplayReader::max_datagram);
}

TEST(ReplayReader, UnreadableFilesAreIoErrors) {
    ReplayReader reader;
    EXPECT_FALSE(reader.open("/nonexistent/dir/file.replay"));
    EXPECT_NE(reader.error().find("/nonexistent/dir/file.replay"), std::string::npos);
    ReplayFrame frame;
    EXPECT_EQ(reader.next(frame), ReplayReader::Result::io_error);

    // A directory opens like a file on Linux but fails on the first read.
    ReplayReader directory;
    if (directory.open("/")) {
        EXPECT_EQ(directory.next(frame), ReplayReader::Result::io_error);
        EXPECT_NE(directory.error().find("read error"), std::string::npos) << directory.error();
    }
}

TEST(ReplayReader, ReadsAFileWrittenToDisk) {
    char path[] = "/tmp/replay_test_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        ReplayWriter writer(out);
        writer.writeFrame("one\r\n");
        writer.writeFrame("two", 2.5);
    }
    ReplayReader reader;
    ASSERT_TRUE(reader.open(path)) << reader.error();
    ReplayFrame frame;
    ASSERT_EQ(reader.next(frame), ReplayReader::Result::frame);
    EXPECT_EQ(frame.datagram, "one\r\n");
    ASSERT_EQ(reader.next(frame), ReplayReader::Result::frame);
    EXPECT_EQ(frame.datagram, "two");
    EXPECT_EQ(frame.delay_ms, 2.5);
    EXPECT_EQ(reader.next(frame), ReplayReader::Result::end);
    std::remove(path);
}
