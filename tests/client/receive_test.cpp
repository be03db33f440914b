// receive() through real UDP on loopback: the newest datagram, unusable lengths,
// time-outs, the untracked records, and no heap allocation per frame once warmed up.
#include "Ombrix.h"
#include "allocationcounter.h"
#include "net.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<Ombrix> make_client(int timeout_us = 300000, int buffer_size = 20000) {
    return std::make_unique<Ombrix>("", 0, 0, buffer_size, timeout_us, 1000000);
}

bool send_and_receive(Ombrix& client, const std::string& frame) {
    UdpSocket sender;
    return sender.send(client.get_data_port(), frame) && client.receive();
}

// A lab's frame: 4 Skywands, 10 bodies, 2 tools, 2 hands, 20 markers; the variant
// changes the numbers only.
std::string typical_frame(unsigned variant) {
    const std::string v = std::to_string(variant);
    const std::string pose = "[1" + v + ".25 -2.5 3" + v + "e-1][0.99 0 -0.1" + v +
                             " 0 1 0 0.1 0 0.99" + v + "]";
    std::string frame = "fr " + std::to_string(1000 + variant) + "\nts 39596.02" + v + "\n";
    frame += "6dcal 12\n6d 10";
    for (int i = 0; i < 10; ++i)
        frame += " [" + std::to_string(i) + " 1.000]" + pose;
    frame += "\n6df2 4 4";
    for (int i = 0; i < 4; ++i)
        frame += " [" + std::to_string(i) + " 1.000 8 2]" + pose + "[" + v + " 0." + v + " -0.5]";
    frame += "\n6dmt 2 [0 1.000 1]" + pose + " [1 0.5 0]" + pose + "\nglcal 2\ngl 2";
    for (int i = 0; i < 2; ++i) {
        frame += " [" + std::to_string(i) + " 1.000 " + std::to_string(i) + " 5]" + pose;
        for (int f = 0; f < 5; ++f)
            frame += pose + "[0.5" + v + " 1 2" + v + ".5 3 4 5.75]";
    }
    frame += "\n3d 20";
    for (int i = 0; i < 20; ++i)
        frame += " [" + std::to_string(i + 100) + " 1.000][1" + v + ".5 -2.25 30" + v + ".125]";
    return frame + "\n";
}

} // namespace

TEST(Receive, OnlyTheNewestWaitingDatagramIsParsed) {
    auto client = make_client();
    UdpSocket sender;
    for (const char* frame : {"fr x\n", "fr 2\n", "fr 3\n"})
        sender.send(client->get_data_port(), frame);
    ASSERT_TRUE(client->receive()); // the broken older one is dropped unparsed
    EXPECT_EQ(client->get_framecounter(), 3u);
    EXPECT_EQ(client->get_num_dropped(), 2u);
    EXPECT_EQ(client->get_datagram(), "fr 3\n");
}

TEST(Receive, UnusableLengthsAreNetworkErrorsAndANulEndsTheText) {
    auto client = make_client();
    std::string longest = "fr 77\n";
    longest += std::string(19998 - longest.size(), ' ');
    EXPECT_TRUE(send_and_receive(*client, longest));
    EXPECT_EQ(client->get_framecounter(), 77u);
    for (const std::string& unusable : {std::string(), longest + " "}) {
        EXPECT_FALSE(send_and_receive(*client, unusable));
        EXPECT_TRUE(client->data_neterror());
    }
    const std::string with_nul("fr 5\n\0fr 6\n", 11);
    EXPECT_TRUE(send_and_receive(*client, with_nul));
    EXPECT_EQ(client->get_framecounter(), 5u);
    EXPECT_EQ(client->get_datagram(), with_nul);
    EXPECT_FALSE(send_and_receive(*client, "fr nope\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_FALSE(client->data_neterror());
}

TEST(Receive, TimeOutResetsCounterAndTimestampAndKeepsRecords) {
    auto client = make_client(50000);
    ASSERT_TRUE(send_and_receive(*client, "fr 5\nts 2.5\n6df 1 [0 0.9 1][1 2 3][1 0 0 0 1 0 0 0 1]\n"));
    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_timeout());
    EXPECT_EQ(client->get_framecounter(), 0u);
    EXPECT_EQ(client->get_timestamp(), -1.0);
    EXPECT_TRUE(client->get_datagram().empty());
    EXPECT_EQ(client->get_skywand(0).button[0], 1);
}

TEST(Receive, OutOfRangeIndicesGiveUntrackedRecords) {
    auto client = make_client();
    ASSERT_TRUE(send_and_receive(*client, "6d 1 [0 1][1 2 3][1 0 0 0 1 0 0 0 1]\n3d 1 [7 1][1 2 3]\n"));
    for (int index : {-1, 1, 5000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(client->get_body(index).id, index);
        EXPECT_EQ(client->get_body(index).quality, -1.0f);
        EXPECT_EQ(client->get_body(index).position[0], 0.0f);
        EXPECT_EQ(client->get_skywand(index).quality, -1.0f);
        EXPECT_EQ(client->get_meatool(index).quality, -1.0f);
        EXPECT_EQ(client->get_hand(index).quality, -1.0f);
        EXPECT_EQ(client->get_marker(index).id, 0);
        EXPECT_EQ(client->get_marker(index).quality, -1.0f);
    }
}

TEST(Receive, SteadyFramesAllocateNothing) {
    auto client = make_client();
    UdpSocket sender;
    const unsigned long long before_warm_up = allocation_counter::allocations();
    ASSERT_TRUE(sender.send(client->get_data_port(), typical_frame(0)) && client->receive());
    // Guards against a counter that stopped counting: the first frame grows the arrays.
    EXPECT_GT(allocation_counter::allocations(), before_warm_up);
    EXPECT_EQ(client->get_num_marker(), 20);
    for (unsigned variant = 1; variant <= 3; ++variant) {
        const std::string frame = typical_frame(variant);
        ASSERT_TRUE(sender.send(client->get_data_port(), frame));
        const unsigned long long before = allocation_counter::allocations();
        ASSERT_TRUE(client->receive()) << variant;
        EXPECT_EQ(allocation_counter::allocations() - before, 0u) << variant;
        EXPECT_EQ(client->get_framecounter(), 1000u + variant);
    }
}
