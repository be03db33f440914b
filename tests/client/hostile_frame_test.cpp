// Frames no controller sends: negative or huge counts and ids, cut lines,
// missing brackets, NUL bytes and random damage. Each is a clean parse error
// (or a harmless parse), never a crash or an unbounded allocation.
#include "OmbrixInternals.h"
#include "loopback.h"

#include <chrono>
#include <gtest/gtest.h>
#include <random>

namespace {

const std::string identity = "[1 0 0 0 1 0 0 0 1]";

struct RejectedFrame {
    const char* name;
    std::string frame;
    friend void PrintTo(const RejectedFrame& c, std::ostream* os) { *os << c.name; }
};

class RejectedFrames : public ::testing::TestWithParam<RejectedFrame> {};

void expect_counts_sane(const Ombrix& client) {
    for (int count : {client.get_num_body(), client.get_num_skywand(), client.get_num_meatool(),
                      client.get_num_hand(), client.get_num_marker()}) {
        EXPECT_GE(count, 0);
        EXPECT_LE(count, Ombrix::max_records);
    }
}

} // namespace

TEST_P(RejectedFrames, IsAParseError) {
    auto client = make_client();
    EXPECT_FALSE(send_and_receive(*client, GetParam().frame));
    EXPECT_TRUE(client->data_parseerror());
    expect_counts_sane(*client);
}

const std::string over = std::to_string(Ombrix::max_records + 1);

INSTANTIATE_TEST_SUITE_P(
    Hostile, RejectedFrames,
    ::testing::Values(
        RejectedFrame{"NegativeBodyId", "6d 1 [-1 1][0 0 0]" + identity + "\n"},
        RejectedFrame{"NegativeHandId", "gl 1 [-3 1 0 0][0 0 0]" + identity + "\n"},
        RejectedFrame{"NegativeOldSkywandCount", "6df -1\n"},
        RejectedFrame{"NegativeNewSkywandTotal", "6df2 -2 0\n"},
        RejectedFrame{"NegativeNewSkywandCount", "6df2 2 -1\n"},
        RejectedFrame{"NegativeToolCount", "6dmt -4\n"},
        RejectedFrame{"NegativeBodyCount", "6d -1\n"},
        RejectedFrame{"NegativeHandCount", "gl -1\n"},
        RejectedFrame{"NegativeMarkerCount", "3d -2\n"},
        RejectedFrame{"RecordsBeyondTotal", "6df2 1 2 [0 1 0 0][0 0 0]" + identity +
                                                "[] [1 1 0 0][0 0 0]" + identity + "[]\n"},
        RejectedFrame{"HugeBodyId", "6d 1 [2000000000 1][0 0 0]" + identity + "\n"},
        RejectedFrame{"BodyIdOverLimit", "6d 1 [" + over + " 1][0 0 0]" + identity + "\n"},
        RejectedFrame{"HugeHandId", "gl 1 [99999999 1 0 0][0 0 0]" + identity + "\n"},
        RejectedFrame{"HugeSkywandTotal", "6df2 2147483647 0\n"},
        RejectedFrame{"HugeOldSkywandCount", "6df 99999999\n"},
        RejectedFrame{"HugeToolCount", "6dmt " + over + "\n"},
        RejectedFrame{"HugeMarkerCount", "3d 1000000000\n"},
        RejectedFrame{"HugeCalibratedBodies", "6dcal 2147483647\n"},
        RejectedFrame{"HugeCalibratedHands", "glcal " + over + "\n"},
        RejectedFrame{"BlockWithoutClosingBracket", "6d 1 [0 1][0 0 0][1 0 0 0 1 0 0 0 1\n"},
        RejectedFrame{"BlockWithoutOpeningBracket", "3d 1 0 1 ] 0 0 0\n"},
        RejectedFrame{"LineCutInsideABlock", "6df 1 [0 1 0][0 0"},
        RejectedFrame{"LineCutBeforeItsBlocks", "6df2 1 1 [0 1 6 2][0 0 0]"},
        RejectedFrame{"NulInsideABlock",
                      std::string("6d 1 [0 1][0 0 0][1 0 0 0\0 1 0 0 0 1]\n", 39)},
        RejectedFrame{"CountWithoutDigits", "6df -\n"},
        RejectedFrame{"LetterInABlock", "3d 1 [1 1][0 zero 0]\n"}),
    [](const ::testing::TestParamInfo<RejectedFrame>& info) { return info.param.name; });

TEST(HostileFrames, NulByteEndsTheTextButNotTheBuffer) {
    auto client = make_client();
    const std::string frame("fr 5\n\0fr 6\n", 11);
    EXPECT_TRUE(send_and_receive(*client, frame));
    EXPECT_EQ(client->get_framecounter(), 5u);
}

// Regression: after a record with the highest id, every further "gl "/"6d " line of the same
// datagram made all 4096 records untracked again; a datagram of such lines kept the receiver
// busy for about a second.
TEST(HostileFrames, ManyShortLinesAfterAHighIdParseQuickly) {
    Ombrix client("", 0, 0, 20000, 1000, 1000);
    const std::string last_id = std::to_string(Ombrix::max_records - 1);
    std::string frame = "6d 1 [" + last_id + " 1][0 0 0]" + identity + "\ngl 1 [" + last_id +
                        " 1 0 0][0 0 0]" + identity + "\n";
    while (frame.size() < 19900)
        frame += "gl 0\n6d 0\n";
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(OmbrixInternals::parse_datagram(client, frame.data(), frame.size()));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0); // about 5 s before; a few milliseconds now
    EXPECT_EQ(client.get_num_hand(), Ombrix::max_records);
    EXPECT_EQ(client.get_hand(Ombrix::max_records - 1).quality, -1.0f);
}

TEST(HostileFrames, LimitsThemselvesAreAccepted) {
    auto client = make_client();
    const std::string last_id = std::to_string(Ombrix::max_records - 1);
    EXPECT_TRUE(send_and_receive(*client, "6d 1 [" + last_id + " 1][0 0 0]" + identity + "\n"));
    EXPECT_EQ(client->get_num_body(), Ombrix::max_records);
    EXPECT_TRUE(send_and_receive(*client, "glcal " + std::to_string(Ombrix::max_records) + "\n"));
    EXPECT_EQ(client->get_num_hand(), Ombrix::max_records);
}

// Random damage to real frames, parsed through the socket-free seam: no crash,
// no sanitizer report, and the counts stay within their limits.
TEST(HostileFrames, RandomDamageToRealFrames) {
    const std::vector<std::string> seeds = {
        "fr 12\nts 3.5\n6dcal 4\n6d 2 [0 1][1 2 3]" + identity + " [3 0.5][4 5 6]" + identity +
            "\n",
        "6df 2 [0 0.8 161][1 2 3]" + identity + " [1 0.7 80][0 0 0]" + identity + "\n",
        "6df2 3 2 [0 0.9 6 2][1 2 3]" + identity + "[5 0.5 -0.25] [1 1 16 8][0 0 0]" + identity +
            "[65535 1 2 3 4 5 6 7 8]\n",
        "6dmt 1 [0 0.5 3][1 2 3]" + identity + "\nglcal 2\ngl 1 [1 0.75 1 1][1 2 3]" + identity +
            "[10 11 12]" + identity + "[1 2 3 4 5 6]\n3d 2 [5 0.5][1 2 3] [9 1][4 5 6]\n",
    };
    const char alphabet[] = "0123456789 -+.[]\r\n\0xe6dfglcatsr";
    std::mt19937 random(20261206);
    Ombrix client("", 0, 0, 20000, 1000, 1000);
    ASSERT_TRUE(client.valid());
    for (int round = 0; round < 20000; ++round) {
        std::string frame = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits && !frame.empty(); ++e) {
            const std::size_t at = random() % frame.size();
            const char c = alphabet[random() % (sizeof(alphabet) - 1)];
            switch (random() % 3) {
            case 0:
                frame[at] = c;
                break;
            case 1:
                frame.insert(frame.begin() + static_cast<long>(at), c);
                break;
            default:
                frame.erase(at, 1 + random() % 8);
                break;
            }
        }
        if (frame.empty())
            continue;
        OmbrixInternals::parse_datagram(client, frame.data(), frame.size());
        expect_counts_sane(client);
        if (::testing::Test::HasFailure())
            FAIL() << "after frame: " << frame;
    }
}
