// Replay files: what the writer produces reads back byte for byte, a hand-written file reads as
// documented, and a malformed one is refused naming the file and line.

#include "replayreader.h"
#include "replaywriter.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>

namespace {

using namespace std::string_literals;

TEST(Replay, WrittenDatagramsComeBackByteForByte) {
    // Random strings of the bytes that matter to the format, so that every neighbourhood of
    // escapes, line ends, blanks and "#" or "@" at a line's start turns up; and the largest.
    const std::string special = "\\\r\n\t\0 #@x\x7f\xff"s;
    std::mt19937 random(7);
    std::vector<std::string> datagrams = {std::string(ReplayReader::max_datagram, '\\')};
    for (int i = 0; i < 300; ++i) {
        datagrams.emplace_back(random() % 12, ' ');
        for (char& c : datagrams.back()) {
            c = special[random() % special.size()];
        }
    }
    std::ostringstream out;
    ReplayWriter writer(out);
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        writer.writeFrame(datagrams[i], i / 7.0);
    }
    ReplayReader reader;
    ASSERT_EQ(reader.parse(out.str(), "test.replay"), ReplayReader::Result::ok) << reader.error();
    const std::vector<ReplayFrame>& back = reader.frames();
    ASSERT_EQ(back.size(), datagrams.size());
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        EXPECT_EQ(back[i].datagram, datagrams[i]) << i;
        EXPECT_NEAR(back[i].delay_ms.value_or(-1), i / 7.0, 0.0005) << i;
    }
}

TEST(Replay, HandWrittenFileReadsAsDocumented) {
    ReplayReader reader;
    ASSERT_EQ(reader.parse("# comment\r\n\nfr 1\nts 0.0\n\n  \t \n@delay 20\nfr 2\r\n# skipped\n"
                           "6df2 1\\\n [0]\n\n@delay .5\nfr 3\\r\\n\\\n\nfr\\t4\\x41\\0\\\\\n",
                           "test.replay"),
              ReplayReader::Result::ok)
        << reader.error();
    const std::vector<ReplayFrame>& frames = reader.frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].datagram, "fr 1\nts 0.0\n");
    EXPECT_FALSE(frames[0].delay_ms);
    EXPECT_EQ(frames[1].datagram, "fr 2\n6df2 1 [0]\n");
    EXPECT_EQ(frames[1].delay_ms, 20.0);
    EXPECT_EQ(frames[2].datagram, "fr 3\r\n");
    EXPECT_EQ(frames[2].delay_ms, 0.5);
    EXPECT_EQ(frames[3].datagram, "fr\t4A\0\\\n"s);
}

TEST(Replay, MalformedFilesAreRefusedNamingFileAndLine) {
    const std::pair<std::string, const char*> cases[] = {
        {"fr 1\n\nts \\q\n", "test.replay:3: column 4: unknown escape \\q"},
        {"a\\x4g\n", "test.replay:1: column 2: \\x must be followed by two hexadecimal"},
        {"a\\x4\n", "test.replay:1: column 2: \\x must be"},
        {"@delay -5\nfr 1\n", "test.replay:1: bad delay \"-5\""},
        {"a\n\n@wait 5\nb\n", "test.replay:3: unknown directive"},
        {"a\n@delay 5\nb\n", "test.replay:2: "},
        {"a\n\n@delay 3\n\n", "test.replay:3: "},
        {"x\n" + std::string(ReplayReader::max_datagram, 'y') + "\n", ":1: the frame is longer"},
    };
    for (const auto& [text, message] : cases) {
        ReplayReader reader;
        EXPECT_EQ(reader.parse(text, "test.replay"), ReplayReader::Result::format_error)
            << text.substr(0, 20);
        EXPECT_NE(reader.error().find(message), std::string::npos) << reader.error();
    }
}

// Regression: a file without line ends was read until memory ran out, and a folder was said to
// be over 1 GiB. A file over the limit (here a sparse one) is refused before it is read.
TEST(Replay, EndlessHugeOrUnreadableFilesAreRefusedPromptly) {
    TempDir folder;
    const std::string huge = folder.file("huge.replay");
    writeFile(huge, "fr 1\n");
    std::filesystem::resize_file(huge, ReplayReader::max_file_size + 1);
    using Result = ReplayReader::Result;
    const std::tuple<std::string, std::string, Result> cases[] = {
        {"/dev/zero", "/dev/zero:1: a line longer than", Result::format_error},
        {huge, "larger than 1 GiB", Result::format_error},
        {folder.path, folder.path + ": cannot read: Is a directory", Result::io_error}};
    for (const auto& [path, message, result] : cases) {
        const auto start = std::chrono::steady_clock::now();
        ReplayReader reader;
        EXPECT_EQ(reader.load(path), result);
        EXPECT_NE(reader.error().find(message), std::string::npos) << reader.error();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}

} // namespace
