// The benchmark's floor converts numbers at the positions the frame builder
// recorded, and the allocation tests rely on variants sharing one shape: both
// are only as good as the sample frames.
#include "loopback.h"
#include "sampleframes.h"

#include "OmbrixInternals.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class SampleFrames : public ::testing::TestWithParam<FrameSize> {};

std::string size_name(const ::testing::TestParamInfo<FrameSize>& info) {
    return frame_size_name(info.param);
}

// Start of every number in the text: each run of characters other than blanks,
// brackets and line ends, except the identifier that opens a line.
std::vector<std::size_t> number_starts(const std::string& text) {
    std::vector<std::size_t> starts;
    bool line_start = true;
    for (std::size_t i = 0; i < text.size();) {
        if (std::strchr(" []\n", text[i]) != nullptr) {
            line_start = line_start || text[i] == '\n';
            ++i;
            continue;
        }
        if (!line_start)
            starts.push_back(i);
        line_start = false;
        while (i < text.size() && std::strchr(" []\n", text[i]) == nullptr)
            ++i;
    }
    return starts;
}

int count_on_line(const std::string& text, const char* identifier) {
    const std::size_t at = text.find(std::string("\n") + identifier);
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 1 + std::strlen(identifier));
}

} // namespace

TEST_P(SampleFrames, RecordedPositionsAreExactlyTheNumbersOfTheFrame) {
    const FrameBuilder frame = sample_frame(GetParam(), 0);
    const std::vector<std::size_t> expected = number_starts(frame.text());
    ASSERT_EQ(frame.numbers().size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const FrameBuilder::Number& number = frame.numbers()[k];
        ASSERT_EQ(number.offset, expected[k]) << "number " << k;
        if (number.conversion != FrameBuilder::Conversion::floating_point) {
            const std::size_t end = frame.text().find_first_of(" ]\n", number.offset);
            const std::string token = frame.text().substr(number.offset, end - number.offset);
            EXPECT_EQ(token.find_first_not_of("-0123456789"), std::string::npos) << token;
        }
    }
}

TEST_P(SampleFrames, VariantsShareTheShapeAndParse) {
    const FrameBuilder first = sample_frame(GetParam(), 0);
    for (unsigned variant = 0; variant < 8; ++variant) {
        const FrameBuilder frame = sample_frame(GetParam(), variant);
        ASSERT_EQ(frame.numbers().size(), first.numbers().size());
        for (std::size_t k = 0; k < frame.numbers().size(); ++k)
            ASSERT_EQ(frame.numbers()[k].conversion, first.numbers()[k].conversion);

        std::unique_ptr<Ombrix> client = make_client();
        ASSERT_TRUE(send_and_receive(*client, frame.text())) << "variant " << variant;
        EXPECT_EQ(client->get_framecounter(), 1048576u + variant);
        EXPECT_EQ(client->get_num_body(), count_on_line(frame.text(), "6d "));
        EXPECT_EQ(client->get_num_skywand(), count_on_line(frame.text(), "6df2 "));
        EXPECT_EQ(client->get_num_meatool(), count_on_line(frame.text(), "6dmt "));
        EXPECT_EQ(client->get_num_hand(), count_on_line(frame.text(), "gl "));
        EXPECT_EQ(client->get_num_marker(), count_on_line(frame.text(), "3d "));
    }
}

INSTANTIATE_TEST_SUITE_P(FrameSizes, SampleFrames,
                         ::testing::Values(FrameSize::single_skywand, FrameSize::typical,
                                           FrameSize::largest),
                         size_name);

TEST(SampleFrameSizes, ShapesAndTheLargestFrameNearTheDatagramLimit) {
    const FrameBuilder typical = sample_frame(FrameSize::typical);
    EXPECT_EQ(count_on_line(typical.text(), "6d "), 10);
    EXPECT_EQ(count_on_line(typical.text(), "6df2 "), 4);
    EXPECT_EQ(count_on_line(typical.text(), "6dmt "), 2);
    EXPECT_EQ(count_on_line(typical.text(), "gl "), 2);
    EXPECT_EQ(count_on_line(typical.text(), "3d "), 20);

    for (unsigned variant = 0; variant < 8; ++variant) {
        const std::size_t length = sample_frame(FrameSize::largest, variant).text().size();
        EXPECT_LE(length, largest_datagram) << "variant " << variant;
        EXPECT_GE(length, largest_datagram - 200) << "variant " << variant;
    }
    EXPECT_THROW(sample_frame(FrameSize::largest, 8), std::invalid_argument);
}
