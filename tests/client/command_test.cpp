// The command channel against a scripted controller over real TCP, and the reply rules
// on their own where a table shows them better.
#include "Ombrix.h"
#include "commandreply.h"
#include "fakecontroller.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <pthread.h>

using namespace std::string_literals;

namespace {

std::unique_ptr<Ombrix> connect_to(unsigned short port, int timeout_us = 150000) {
    return std::make_unique<Ombrix>("127.0.0.1", port, 0, 20000, 100000, timeout_us);
}

} // namespace

TEST(CommandChannel, RequestsRepliesAndTheirLimits) {
    const std::string value(199 - "ombrix set p "s.size(), 'v');
    FakeController controller({reply("ombrix ok"), reply("ombrix set p " + value),
                               reply(std::string(200, 'z')), reply("ombrix ok\0after the NUL"s)});
    auto client = connect_to(controller.port());
    std::string read;
    EXPECT_TRUE(client->set_parameter("cat", "name", "value"));
    EXPECT_TRUE(client->get_parameter("p", read)); // 199 bytes of reply
    EXPECT_EQ(read, value);
    EXPECT_FALSE(client->get_message()); // 200 bytes: refused
    EXPECT_TRUE(client->server_neterror());
    EXPECT_FALSE(client->send_command(std::string(194, 'x'))); // 201 characters: not sent
    EXPECT_TRUE(client->send_command(std::string(193, 'x')));
    EXPECT_EQ(controller.requests(), (std::vector<std::string>{"ombrix set cat name value\0"s,
              "ombrix get p\0"s, "ombrix getmsg\0"s, "ombrix " + std::string(193, 'x') + '\0'}));
}

TEST(CommandReplies, ClassificationAndParameterEcho) {
    using R = ReplyOutcome;
    const struct { const char* reply; R outcome; int code; const char* text; } cases[] = {
        {"ombrix ok", R::success, 0, "no error"},
        {"OMBRIX OK ", R::failure, 0, "no error"},
        {"ombrix err 17 \"not running\"", R::failure, 17, "not running"},
        {"ombrix err  -3 x \"it's\" y", R::failure, -3, "it's"},
        {"ombrix err 0 \"zero\"", R::failure, 0, "zero"},
        {"ombrix err \"no number\"", R::malformed, -1111, "internal SDK error"},
        {"ombrix err 12 \"unterminated", R::malformed, -1111, "internal SDK error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        CommandError error;
        EXPECT_EQ(classify_reply(c.reply, error), c.outcome);
        EXPECT_EQ(error.code, c.code);
        EXPECT_EQ(error.text, c.text);
    }
    const struct { const char *requested, *reply; R outcome; const char* value; } echoes[] = {
        {"output net ch01", "ombrix set output net ch01 udp 5000", R::success, "udp 5000"},
        {"a", "ombrix ok", R::success, ""},
        {"output net ch1", "ombrix set output net ch001 on", R::success, "on"},
        {"dev 007", "ombrix set dev 7 on", R::success, "on"},
        {"dev 0", "ombrix set dev 00 on", R::success, "on"},
        {"dev 0", "ombrix set dev 5 on", R::malformed, ""},
        {"dev 1", "ombrix set dev 12 on", R::malformed, ""},
        {"status active", "ombrix set Status active yes", R::malformed, ""},
        {"status active", "ombrix set status   active   yes", R::success, "yes"},
        {"status active", "ombrix set statusactive yes", R::malformed, ""},
        {"status active", "ombrix set status active", R::success, ""},
        {"x", "ombrix err 4 \"unknown\"", R::failure, ""},
        // Found by fuzzing: a name ending in a blank, or an empty one, lost the value's first
        // character, as its blank run had already taken the separator.
        {"dev ", "ombrix set dev on", R::success, "on"},
        {"output  ", "ombrix set output  57 60", R::success, "57 60"},
        {"", "ombrix set on", R::success, "on"},
        {"", "ombrix set  7 on", R::success, "7 on"},
    };
    for (const auto& c : echoes) {
        SCOPED_TRACE(std::string(c.requested) + " / " + c.reply);
        std::string value;
        CommandError error;
        EXPECT_EQ(parameter_reply(c.requested, c.reply, value, error), c.outcome);
        EXPECT_EQ(value, c.value);
    }
}

TEST(CommandChannel, MessagesAndTheErrorState) {
    FakeController controller({reply("ombrix msg tracker warning 1234 17 \"camera 2 lost sync\""),
                               reply("ombrix msg cam3 error 99 5 \"no closing quote"),
                               reply("ombrix err 8 \"busy\""), reply("ombrix set dev 5 on")});
    auto client = connect_to(controller.port());
    ASSERT_TRUE(client->get_message());
    EXPECT_EQ(client->get_message_origin(), "tracker");
    EXPECT_EQ(client->get_message_msg(), "camera 2 lost sync");
    // A cut message: the fields before the failure are updated, the text is kept.
    EXPECT_FALSE(client->get_message());
    EXPECT_EQ(client->get_message_errorid(), 5u);
    EXPECT_EQ(client->get_message_msg(), "camera 2 lost sync");
    EXPECT_FALSE(client->server_parseerror());
    EXPECT_FALSE(client->get_message());
    int code = 0;
    EXPECT_TRUE(client->get_lasterror(code) && code == 8);
    std::string value;
    EXPECT_FALSE(client->get_parameter("dev 0", value));
    EXPECT_TRUE(client->server_parseerror());
    EXPECT_FALSE(client->get_lasterror(code));
}

// Regression: a reply that came after its time-out was taken as the reply to the next
// request. The connection is now given up at the time-out and opened anew.
TEST(CommandChannel, AfterATimeOutTheNextRequestGetsItsOwnReplyOnANewConnection) {
    using Script = std::vector<ControllerAction>;
    auto controller = std::make_unique<FakeController>(Script{reply("ombrix err 42 \"late\"", 400),
        reply("ombrix ok"), reply("ombrix set p 7"), silent()});
    const unsigned short port = controller->port();
    auto client = connect_to(port, 300000);
    EXPECT_FALSE(client->send_command("first"));
    EXPECT_TRUE(client->server_timeout());
    EXPECT_FALSE(client->server_noconnection()); // it reconnects by itself
    // "second" goes out before the late reply to "first", and gets its own outcome.
    EXPECT_TRUE(client->send_command("second"));
    std::string value;
    EXPECT_TRUE(client->get_parameter("p", value));
    EXPECT_EQ(value, "7");
    EXPECT_EQ(controller->connections(), 2);
    EXPECT_FALSE(client->get_message()); // silent: a time-out of get_message reconnects too
    // The controller is gone when the reconnect is tried, and back for the operation after.
    controller.reset();
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_TRUE(client->server_neterror() && client->server_noconnection());
    controller = std::make_unique<FakeController>(Script{reply("ombrix ok")}, port);
    EXPECT_TRUE(client->send_command("third"));
}

TEST(CommandChannel, ClosedOrResetConnectionsAreNotReconnected) {
    FakeController closing({close_connection()});
    auto client = connect_to(closing.port());
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_FALSE(client->send_command("b"));
    EXPECT_TRUE(client->server_neterror() && client->server_noconnection());
    EXPECT_EQ(closing.connections(), 1);
    // Regression: sending on a connection the controller reset raised SIGPIPE.
    FakeController resetting({reset_connection()});
    client = connect_to(resetting.port());
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_FALSE(client->send_command("b"));
    EXPECT_TRUE(client->server_neterror());
}

TEST(CommandChannel, InterruptedWaitIsANetworkError) {
    std::signal(SIGUSR1, [](int) {}); // poll is never restarted after a handler
    FakeController controller({silent()});
    auto client = connect_to(controller.port(), 2000000);
    std::thread interrupter([waiting = pthread_self()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pthread_kill(waiting, SIGUSR1);
    });
    EXPECT_FALSE(client->send_command("a")); // well before the 2 s time-out
    interrupter.join();
    std::signal(SIGUSR1, SIG_DFL);
    EXPECT_TRUE(client->server_neterror() && !client->server_noconnection());
}
