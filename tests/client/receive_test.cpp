// Receiving datagrams: time-out, unusable lengths, draining to the newest one.
#include "loopback.h"

#include <gtest/gtest.h>

TEST(Receive, TimeOutResetsFrameFieldsAndKeepsRecords) {
    auto client = make_client(50000);
    ASSERT_TRUE(
        send_and_receive(*client, "fr 5\nts 2.5\n6df 1 [0 0.9 1][1 2 3][1 0 0 0 1 0 0 0 1]\n"));
    ASSERT_EQ(client->get_framecounter(), 5u);

    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_timeout());
    EXPECT_FALSE(client->data_neterror());
    EXPECT_EQ(client->get_framecounter(), 0u);
    EXPECT_EQ(client->get_timestamp(), -1.0);
    EXPECT_EQ(client->get_num_skywand(), 1);
    EXPECT_EQ(client->get_skywand(0).button[0], 1);
}

TEST(Receive, OnlyTheNewestWaitingDatagramIsParsed) {
    auto client = make_client();
    UdpSocket sender;
    sender.send(client->get_data_port(), "fr 1\n");
    sender.send(client->get_data_port(), "fr 2\n");
    sender.send(client->get_data_port(), "fr 3\n");
    ASSERT_TRUE(client->receive());
    EXPECT_EQ(client->get_framecounter(), 3u);
    EXPECT_EQ(client->get_num_dropped(), 2u);

    sender.send(client->get_data_port(), "fr 4\n");
    ASSERT_TRUE(client->receive());
    EXPECT_EQ(client->get_num_dropped(), 0u);
}

TEST(Receive, AnOlderBrokenDatagramIsDroppedUnparsed) {
    auto client = make_client();
    UdpSocket sender;
    sender.send(client->get_data_port(), "fr x\n");
    sender.send(client->get_data_port(), "fr 9\n");
    EXPECT_TRUE(client->receive());
    EXPECT_EQ(client->get_framecounter(), 9u);
}

TEST(Receive, UnusableLengthsAreNetworkErrors) {
    const int buffer_size = 100;
    auto client = make_client(300000, buffer_size);
    UdpSocket sender;

    sender.send(client->get_data_port(), "");
    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_neterror());

    // A datagram that fills buffer_size - 1 bytes may have been cut.
    const std::string full = "fr 1\n" + std::string(buffer_size - 1 - 5, 'x');
    ASSERT_EQ(full.size(), static_cast<std::size_t>(buffer_size - 1));
    sender.send(client->get_data_port(), full);
    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_neterror());

    sender.send(client->get_data_port(), full + std::string(500, 'y'));
    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_neterror());

    // One byte shorter fits and is parsed.
    const std::string fits = full.substr(0, full.size() - 1);
    sender.send(client->get_data_port(), fits);
    EXPECT_TRUE(client->receive());
    EXPECT_EQ(client->get_framecounter(), 1u);
}

TEST(Receive, TesterSizedBufferAcceptsA19998ByteFrame) {
    auto client = make_client();
    std::string frame = "fr 77\n";
    frame += std::string(19998 - frame.size() - 1, ' ') + "\n";
    ASSERT_EQ(frame.size(), 19998u);
    EXPECT_TRUE(send_and_receive(*client, frame));
    EXPECT_EQ(client->get_framecounter(), 77u);
    EXPECT_FALSE(send_and_receive(*client, frame + " "));
    EXPECT_TRUE(client->data_neterror());
}

TEST(Receive, ErrorStateDescribesOnlyTheLastCall) {
    auto client = make_client(50000);
    EXPECT_FALSE(client->receive());
    EXPECT_TRUE(client->data_timeout());
    EXPECT_FALSE(send_and_receive(*client, "fr nope\n"));
    EXPECT_TRUE(client->data_parseerror());
    EXPECT_FALSE(client->data_timeout());
    EXPECT_TRUE(send_and_receive(*client, "fr 1\n"));
    EXPECT_FALSE(client->data_timeout() || client->data_neterror() || client->data_parseerror());
}

TEST(Receive, TheParsedDatagramIsAvailableUnchanged) {
    auto client = make_client(50000);
    EXPECT_TRUE(client->get_datagram().empty());
    const std::string frame = "fr 3\r\n6d 1 [0 1][1 2 3][1 0 0 0 1 0 0 0 1]\n";
    ASSERT_TRUE(send_and_receive(*client, frame));
    EXPECT_EQ(client->get_datagram(), frame); // brackets restored after parsing

    const std::string broken("fr x\0tail", 9);
    EXPECT_FALSE(send_and_receive(*client, broken));
    EXPECT_EQ(client->get_datagram(), broken);

    EXPECT_FALSE(client->receive()); // time-out: nothing read
    EXPECT_TRUE(client->get_datagram().empty());
}
