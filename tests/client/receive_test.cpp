// Construction and receive() through real UDP on loopback: the newest datagram, unusable
// lengths, time-outs, untracked records, no heap allocation per frame once warmed up.
#include "Ombrix.h"
#include "allocationcounter.h"
#include "net.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<Ombrix> make_client(int timeout_us = 300000) {
    return std::make_unique<Ombrix>("", 0, 0, 20000, timeout_us, 1000000);
}

bool send_and_receive(Ombrix& client, const std::string& frame) {
    UdpSocket sender;
    return sender.send(client.get_data_port(), frame) && client.receive();
}

// A lab's frame: 10 bodies, 4 Skywands, 2 tools, 2 hands, 20 markers; the variant changes
// the numbers only.
std::string typical_frame(unsigned variant) {
    const std::string v = std::to_string(variant);
    const auto pose = "[1" + v + ".2 -2.5 3" + v + "e-1][0.99 0 -0.1 0 1 0 0.1 0 0.9" + v + "]";
    auto records = [](int n, const std::string& head, const std::string& blocks) {
        std::string line = " " + std::to_string(n);
        for (int i = 0; i < n; ++i)
            line += " [" + std::to_string(i) + head + "]" + blocks;
        return line + "\n";
    };
    const std::string finger = pose + "[0.5" + v + " 1 2" + v + ".5 3 4 5.75]";
    const std::string joystick = "[" + v + " 0." + v + " -0.5]";
    return "fr " + std::to_string(1000 + variant) + "\nts 39596.02" + v + "\n6dcal 12\n6d" +
           records(10, " 1.000", pose) + "6df2 4" + records(4, " 1.000 8 2", pose + joystick) +
           "6dmt" + records(2, " 0.5 1", pose) + "glcal 2\ngl" +
           records(2, " 1.000 1 5", pose + finger + finger + finger + finger + finger) + "3d" +
           records(20, " 1.000", "[1" + v + ".5 -2.25 30" + v + ".125]");
}

} // namespace

TEST(Construction, FailuresGiveAnInvalidClientOnPortZero) {
    auto taken = make_client();
    const Ombrix in_use("", 0, taken->get_data_port(), 20000, 1, 1), no_room("", 0, 0, 1, 1, 1),
        unresolvable("no-such-host.invalid", 0, 0, 20000, 1, 1);
    for (const Ombrix* client : {&in_use, &no_room, &unresolvable})
        EXPECT_TRUE(!client->valid() && client->get_data_port() == 0);
    EXPECT_TRUE(Ombrix("", 0, 0, 2, 1, 1).valid()); // a byte and its terminator
    // Only the failed bind has a reason, learnt at the time: the port the taken client holds.
    EXPECT_EQ(in_use.get_data_bind_errno(), EADDRINUSE);
    EXPECT_EQ(no_room.get_data_bind_errno(), 0);
    EXPECT_EQ(taken->get_data_bind_errno(), 0);
}

TEST(Receive, OnlyTheNewestWaitingDatagramIsParsed) {
    auto client = make_client();
    UdpSocket sender;
    for (const char* frame : {"fr x\n", "fr 2\n", "fr 3\n"})
        sender.send(client->get_data_port(), frame);
    ASSERT_TRUE(client->receive()); // the broken older one is dropped unparsed
    EXPECT_EQ(client->get_framecounter(), 3u);
    EXPECT_EQ(client->get_num_dropped(), 2u);
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
}

TEST(Receive, TimeOutResetsCounterAndTimestampAndKeepsRecords) {
    auto client = make_client(50000);
    ASSERT_TRUE(send_and_receive(*client, "fr 5\nts 2\n6df 1 [0 1 1][1 2 3][1 0 0 0 1 0 0 0 1]\n"));
    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_timeout());
    EXPECT_EQ(client->get_framecounter(), 0u);
    EXPECT_EQ(client->get_timestamp(), -1.0);
    EXPECT_EQ(client->get_skywand(0).button[0], 1);
}

TEST(Receive, OutOfRangeIndicesGiveUntrackedRecords) {
    auto client = make_client();
    ASSERT_TRUE(send_and_receive(*client, "6d 1 [0 1][1 2 3][1 0 0 0 1 0 0 0 1]\n"));
    for (int index : {-1, 1, 5000}) {
        SCOPED_TRACE(index);
        const ombrix_body_type body = client->get_body(index);
        EXPECT_TRUE(body.id == index && body.quality == -1.0f && body.position[0] == 0.0f);
        EXPECT_EQ(client->get_skywand(index).quality, -1.0f);
        EXPECT_EQ(client->get_meatool(index).quality, -1.0f);
        EXPECT_EQ(client->get_hand(index).quality, -1.0f);
        EXPECT_TRUE(client->get_marker(index).id == 0 && client->get_marker(index).quality == -1);
    }
}

TEST(Receive, SteadyFramesAllocateNothing) {
    auto client = make_client();
    UdpSocket sender;
    const unsigned long long before_warm_up = allocation_counter::allocations();
    ASSERT_TRUE(sender.send(client->get_data_port(), typical_frame(0)) && client->receive());
    // Guards against a counter that stopped counting: the first frame grows the arrays.
    EXPECT_GT(allocation_counter::allocations(), before_warm_up);
    for (unsigned variant = 1; variant <= 3; ++variant) {
        const std::string frame = typical_frame(variant);
        ASSERT_TRUE(sender.send(client->get_data_port(), frame));
        const unsigned long long before = allocation_counter::allocations();
        ASSERT_TRUE(client->receive()) << variant;
        EXPECT_EQ(allocation_counter::allocations() - before, 0u) << variant;
        EXPECT_EQ(client->get_framecounter(), 1000u + variant);
    }
}
