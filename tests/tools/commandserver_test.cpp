// The command port answers every request form of the protocol: through the project's own client
// for what a client sees, and through a raw connection for the exact bytes.

#include "Ombrix.h"
#include "commandserver.h"
#include "tcppeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

CommandProtocol testProtocol() {
    CommandProtocol protocol;
    protocol.defineParameter("system version", "ombrix-sim 1.2.3", false);
    protocol.defineParameter("tracking active", "1", true);
    protocol.defineParameter("output 1 port", "5000", true);
    protocol.queueMessage("ombrix-sim", "info", 0, 0, "simulated controller started");
    return protocol;
}

class CommandPort : public testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<CommandServer>(testProtocol());
        std::string error;
        ASSERT_TRUE(server->start("127.0.0.1", 0, error)) << error;
        ASSERT_NE(server->port(), 0);
        client = std::make_unique<Ombrix>("127.0.0.1", server->port(), 0, 20000, 100000, 2000000);
        ASSERT_TRUE(client->valid());
        ASSERT_FALSE(client->server_noconnection());
    }

    std::unique_ptr<CommandServer> server;
    std::unique_ptr<Ombrix> client;
};

TEST_F(CommandPort, CommandsAreAcknowledged) {
    EXPECT_TRUE(client->send_command("tracking start"));
    EXPECT_TRUE(client->send_command("anything the controller may know"));
    int code = -1;
    EXPECT_FALSE(client->get_lasterror(code));
}

TEST_F(CommandPort, GetAndSetGoThroughTheParameterStore) {
    std::string value;
    ASSERT_TRUE(client->get_parameter("tracking", "active", value));
    EXPECT_EQ(value, "1");
    ASSERT_TRUE(client->set_parameter("tracking", "active", "0"));
    ASSERT_TRUE(client->get_parameter("tracking active", value));
    EXPECT_EQ(value, "0");

    // A value with inner blanks comes back whole; the one-string form of set works too.
    ASSERT_TRUE(client->set_parameter("tracking active on  for now"));
    ASSERT_TRUE(client->get_parameter("tracking", "active", value));
    EXPECT_EQ(value, "on  for now");
    ASSERT_TRUE(client->get_parameter("system", "version", value));
    EXPECT_EQ(value, "ombrix-sim 1.2.3");
}

TEST_F(CommandPort, NamesMatchWithoutLeadingZerosAndWithAnyBlanks) {
    std::string value;
    ASSERT_TRUE(client->get_parameter("output 01 port", value));
    EXPECT_EQ(value, "5000");
    ASSERT_TRUE(client->set_parameter("output   001  port 6000"));
    ASSERT_TRUE(client->get_parameter("output  1 port", value));
    EXPECT_EQ(value, "6000");
}

TEST_F(CommandPort, UnknownAndReadOnlyParametersAreErrorReplies) {
    std::string value = "stale";
    EXPECT_FALSE(client->get_parameter("no", "such", value));
    EXPECT_EQ(value, "");
    int code = 0;
    std::string text;
    ASSERT_TRUE(client->get_lasterror(code));
    ASSERT_TRUE(client->get_lasterror(text));
    EXPECT_EQ(code, CommandProtocol::unknown_parameter);
    EXPECT_EQ(text, "unknown parameter");
    EXPECT_FALSE(client->server_parseerror());

    EXPECT_FALSE(client->set_parameter("no", "such", "1"));
    ASSERT_TRUE(client->get_lasterror(code));
    EXPECT_EQ(code, CommandProtocol::unknown_parameter);

    EXPECT_FALSE(client->set_parameter("system", "version", "2"));
    ASSERT_TRUE(client->get_lasterror(code));
    EXPECT_EQ(code, CommandProtocol::read_only_parameter);
    ASSERT_TRUE(client->get_parameter("system version", value));
    EXPECT_EQ(value, "ombrix-sim 1.2.3");

    EXPECT_FALSE(client->set_parameter("tracking active"));
    ASSERT_TRUE(client->get_lasterror(code));
    EXPECT_EQ(code, CommandProtocol::missing_value);
}

TEST_F(CommandPort, MessagesAreFetchedOldestFirstUntilNoneIsLeft) {
    server->setFrameCounter(4711);
    ASSERT_TRUE(client->set_parameter("tracking", "active", "0"));

    ASSERT_TRUE(client->get_message());
    EXPECT_EQ(client->get_message_origin(), "ombrix-sim");
    EXPECT_EQ(client->get_message_status(), "info");
    EXPECT_EQ(client->get_message_framenr(), 0u);
    EXPECT_EQ(client->get_message_errorid(), 0u);
    EXPECT_EQ(client->get_message_msg(), "simulated controller started");

    ASSERT_TRUE(client->get_message());
    EXPECT_EQ(client->get_message_framenr(), 4711u);
    EXPECT_EQ(client->get_message_msg(), "parameter tracking active set to 0");

    EXPECT_FALSE(client->get_message()); // "ombrix ok": nothing waiting
    int code = 0;
    EXPECT_FALSE(client->get_lasterror(code));
    EXPECT_FALSE(client->server_neterror());
    EXPECT_FALSE(client->server_timeout());
}

// Exact bytes: one reply per request, text and one NUL, whatever way the requests arrive.
TEST_F(CommandPort, RepliesOnTheWire) {
    TcpPeer peer(server->port());
    ASSERT_TRUE(peer.connected());

    // Two requests in one packet get two replies.
    ASSERT_TRUE(peer.send("ombrix get tracking active\0ombrix start\0"s));
    EXPECT_EQ(peer.receiveReplies(2), "ombrix set tracking active 1\0ombrix ok\0"s);

    // A request split across packets is answered once it is complete.
    ASSERT_TRUE(peer.send("ombrix get sys"s));
    ASSERT_TRUE(peer.send("tem version\0"s));
    EXPECT_EQ(peer.receiveReplies(1), "ombrix set system version ombrix-sim 1.2.3\0"s);

    ASSERT_TRUE(peer.send("hello\0ombrix \0ombrix get\0ombrix get a b\0"s));
    EXPECT_EQ(peer.receiveReplies(4), "ombrix err 1 \"requests begin with 'ombrix '\"\0"
                                      "ombrix err 1 \"empty command\"\0"
                                      "ombrix err 10 \"parameter name missing\"\0"
                                      "ombrix err 11 \"unknown parameter\"\0"s);
}

TEST_F(CommandPort, OverlongRequestIsRefusedAndTheNextOneServed) {
    TcpPeer peer(server->port());
    ASSERT_TRUE(peer.connected());
    // 200 characters are allowed, 201 are not.
    const std::string longest = "ombrix " + std::string(193, 'x');
    ASSERT_TRUE(peer.send(longest + '\0'));
    EXPECT_EQ(peer.receiveReplies(1), "ombrix ok\0"s);
    ASSERT_TRUE(peer.send("ombrix " + std::string(5000, 'y') + '\0' + "ombrix getmsg" + '\0'));
    EXPECT_EQ(peer.receiveReplies(2),
              "ombrix err 2 \"request longer than 200 characters\"\0"
              "ombrix msg ombrix-sim info 0 0 \"simulated controller started\"\0"s);
}

TEST_F(CommandPort, AClientThatLeavesMidRequestDoesNotDisturbOthers) {
    {
        TcpPeer leaving(server->port());
        ASSERT_TRUE(leaving.connected());
        ASSERT_TRUE(leaving.send("ombrix get tracking"));
    }
    TcpPeer other(server->port());
    ASSERT_TRUE(other.send("ombrix get tracking active\0"s));
    EXPECT_EQ(other.receiveReplies(1), "ombrix set tracking active 1\0"s);
    std::string value;
    EXPECT_TRUE(client->get_parameter("tracking active", value));
}

TEST(CommandServer, APortInUseIsAClearError) {
    CommandServer first{CommandProtocol()};
    std::string error;
    ASSERT_TRUE(first.start("127.0.0.1", 0, error)) << error;
    CommandServer second{CommandProtocol()};
    EXPECT_FALSE(second.start("127.0.0.1", first.port(), error));
    EXPECT_NE(error.find("cannot listen on command port " + std::to_string(first.port())),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

TEST(CommandProtocol, RepliesNeverExceedWhatAClientReceives) {
    CommandProtocol protocol;
    const std::string name = "a b";
    // The longest value whose reply still fits; one more character is refused.
    const std::string fitting(CommandProtocol::max_reply - std::string("ombrix set a b ").size(),
                              'v');
    EXPECT_TRUE(protocol.defineParameter(name, fitting, true));
    EXPECT_FALSE(protocol.defineParameter(name, fitting + "v", true));
    EXPECT_EQ(protocol.handle("ombrix get a b", 0).size(), CommandProtocol::max_reply);
    EXPECT_EQ(protocol.handle("ombrix set a b " + fitting + "v", 0),
              CommandProtocol::errorReply(CommandProtocol::value_too_long, "value too long"));

    protocol.queueMessage("origin with blank", "", 1, 2, std::string(500, 'm') + "\"quoted\"");
    const std::string message = protocol.handle("ombrix getmsg", 0);
    EXPECT_LE(message.size(), CommandProtocol::max_reply);
    EXPECT_EQ(message.rfind("ombrix msg origin_with_blank - 1 2 \"mmm", 0), 0u) << message;
    EXPECT_EQ(message.back(), '"');
    EXPECT_EQ(std::count(message.begin(), message.end(), '"'), 2) << "quotes in the text kept";

    EXPECT_LE(CommandProtocol::errorReply(7, std::string(400, 'e')).size(),
              CommandProtocol::max_reply);
}

TEST(CommandProtocol, TheMessageQueueKeepsTheNewest) {
    CommandProtocol protocol;
    for (std::uint32_t i = 0; i < CommandProtocol::max_messages + 10; ++i) {
        protocol.queueMessage("o", "s", i, 0, "m");
    }
    EXPECT_EQ(protocol.queuedMessages(), CommandProtocol::max_messages);
    EXPECT_EQ(protocol.handle("ombrix getmsg", 0), "ombrix msg o s 10 0 \"m\"");
}

} // namespace
