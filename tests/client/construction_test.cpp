// Construction, validity, accessors and the untracked record.
#include "loopback.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Holds a UDP port bound on all addresses so that a client cannot take it.
class BoundPort {
public:
    BoundPort() : fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~BoundPort() { ::close(fd); }
    int fd;
    unsigned short port = 0;
};

} // namespace

TEST(Construction, PortZeroBindsAPortTheSystemChose) {
    Ombrix client("", 0, 0, 20000, 1000000, 10000000);
    ASSERT_TRUE(client.valid());
    EXPECT_NE(client.get_data_port(), 0);

    // The reported port is the real one: a datagram sent there arrives.
    EXPECT_TRUE(send_and_receive(client, "fr 7\n"));
    EXPECT_EQ(client.get_framecounter(), 7u);
}

TEST(Construction, PortInUseGivesAnInvalidClientWithPortZero) {
    BoundPort taken;
    Ombrix client("", 0, taken.port, 20000, 1000000, 10000000);
    EXPECT_FALSE(client.valid());
    EXPECT_EQ(client.get_data_port(), 0);

    EXPECT_FALSE(client.receive());
    EXPECT_TRUE(client.data_neterror());
}

TEST(Construction, EmptyServerHostMeansNoCommandChannel) {
    Ombrix client("", 0, 0, 20000, 1000000, 10000000);
    EXPECT_TRUE(client.valid());
    EXPECT_TRUE(client.server_noconnection());
}

TEST(Construction, UnresolvableServerHostInvalidatesTheWholeClient) {
    Ombrix client("no-such-host.invalid", 0, 0, 20000, 1000000, 10000000);
    EXPECT_FALSE(client.valid());
    EXPECT_EQ(client.get_data_port(), 0);
}

TEST(Construction, BufferTooSmallForADatagramAndItsTerminatorFails) {
    for (int size : {-5, 0, 1}) {
        Ombrix client("", 0, 0, size, 1000000, 10000000);
        EXPECT_FALSE(client.valid()) << "buffer size " << size;
        EXPECT_EQ(client.get_data_port(), 0) << "buffer size " << size;
    }
    Ombrix smallest("", 0, 0, 2, 1000000, 10000000);
    EXPECT_TRUE(smallest.valid());
}

TEST(Construction, FreshClientState) {
    Ombrix client("", 0, 0, 20000, 1000000, 10000000);
    EXPECT_EQ(client.get_framecounter(), 0u);
    EXPECT_EQ(client.get_timestamp(), -1.0);
    EXPECT_EQ(client.get_num_body(), 0);
    EXPECT_EQ(client.get_num_skywand(), 0);
    EXPECT_EQ(client.get_num_meatool(), 0);
    EXPECT_EQ(client.get_num_hand(), 0);
    EXPECT_EQ(client.get_num_marker(), 0);
    EXPECT_FALSE(client.data_timeout());
    EXPECT_FALSE(client.data_neterror());
    EXPECT_FALSE(client.data_parseerror());

    int code = 42;
    std::string text = "unchanged";
    EXPECT_FALSE(client.get_lasterror(code));
    EXPECT_FALSE(client.get_lasterror(text));
    EXPECT_EQ(code, 42);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(client.get_message_framenr(), 0u);
    EXPECT_EQ(client.get_message_msg(), "");
}

TEST(Accessors, OutOfRangeIndicesGiveTheUntrackedRecord) {
    auto client = make_client();
    ASSERT_TRUE(send_and_receive(
        *client, "6df2 2 2 [0 0.5 6 2][1 2 3][1 0 0 0 1 0 0 0 1][5 0.5 -0.25] "
                 "[1 0.7 0 0][0 0 0][1 0 0 0 1 0 0 0 1][]\n"
                 "3d 5 [1 1][0 0 0] [2 1][0 0 0] [3 1][0 0 0] [4 1][0 0 0] [5 1][0 0 0]\n"));

    for (int id : {3, -1, 1000000}) {
        const ombrix_skywand_type s = client->get_skywand(id);
        EXPECT_EQ(s.id, id);
        EXPECT_EQ(s.quality, -1.0f);
        EXPECT_EQ(s.num_button, 0);
        EXPECT_EQ(s.num_joystick, 0);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(s.button[k], 0);
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(s.joystick[k], 0.0f);
        for (float v : s.position)
            EXPECT_EQ(v, 0.0f);
    }
    EXPECT_EQ(client->get_body(4).id, 4);
    EXPECT_EQ(client->get_body(4).quality, -1.0f);
    EXPECT_EQ(client->get_meatool(-2).id, -2);
    EXPECT_EQ(client->get_hand(9).quality, -1.0f);
    EXPECT_EQ(client->get_hand(9).num_finger, 0);

    const ombrix_marker_type marker = client->get_marker(7);
    EXPECT_EQ(marker.id, 0);
    EXPECT_EQ(marker.quality, -1.0f);
    EXPECT_EQ(marker.position[0], 0.0f);
}

TEST(Accessors, RecordsAreCopiesUnaffectedByLaterFrames) {
    auto client = make_client();
    ASSERT_TRUE(send_and_receive(*client, "6df 1 [0 0.9 1][1 2 3][1 0 0 0 1 0 0 0 1]\n"));
    const ombrix_skywand_type before = client->get_skywand(0);
    ASSERT_TRUE(send_and_receive(*client, "6df 1 [0 0.1 2][4 5 6][1 0 0 0 1 0 0 0 1]\n"));
    EXPECT_EQ(before.quality, 0.9f);
    EXPECT_EQ(before.button[0], 1);
    EXPECT_EQ(before.position[0], 1.0f);
    EXPECT_EQ(client->get_skywand(0).quality, 0.1f);
}

TEST(ErrorState, SettersSelectExactlyOneDataError) {
    Ombrix client("", 0, 0, 20000, 1000000, 10000000);
    client.set_data_parseerror();
    EXPECT_TRUE(client.data_parseerror());
    EXPECT_FALSE(client.data_timeout());
    EXPECT_FALSE(client.data_neterror());
    client.set_data_timeout();
    EXPECT_TRUE(client.data_timeout());
    EXPECT_FALSE(client.data_parseerror());
    client.set_data_neterror();
    EXPECT_TRUE(client.data_neterror());
    EXPECT_FALSE(client.data_timeout());
    client.set_data_noerror();
    EXPECT_FALSE(client.data_timeout() || client.data_neterror() || client.data_parseerror());

    client.set_server_parseerror();
    EXPECT_TRUE(client.server_parseerror());
    client.set_server_timeout();
    EXPECT_TRUE(client.server_timeout());
    EXPECT_FALSE(client.server_parseerror());
    client.set_server_neterror();
    EXPECT_TRUE(client.server_neterror());
    client.set_server_noerror();
    EXPECT_FALSE(client.server_timeout() || client.server_neterror() || client.server_parseerror());
}
