// The command channel against a scripted controller on a real TCP connection.
#include "OmbrixInternals.h"
#include "fakecontroller.h"

#include "Ombrix.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <pthread.h>

using namespace std::string_literals;

namespace {

constexpr int short_timeout_us = 150000;

std::unique_ptr<Ombrix> connect_to(const FakeController& controller,
                                   int timeout_us = short_timeout_us) {
    return std::make_unique<Ombrix>("127.0.0.1", controller.port(), 0, 20000, 100000, timeout_us);
}

void expect_no_last_error(const Ombrix& client) {
    int code = 0;
    std::string text;
    EXPECT_FALSE(client.get_lasterror(code));
    EXPECT_FALSE(client.get_lasterror(text));
}

double seconds_of(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(CommandChannel, WithoutConnectionEveryOperationFailsAtOnce) {
    Ombrix client("", 0, 0, 20000, 100000, 10000000);
    std::string value = "old";
    EXPECT_FALSE(client.send_command("start"));
    EXPECT_TRUE(client.server_noconnection());
    EXPECT_TRUE(client.server_neterror());
    EXPECT_FALSE(client.set_parameter("a b"));
    EXPECT_FALSE(client.get_parameter("a", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(client.get_message());
    EXPECT_TRUE(client.server_neterror());
    expect_no_last_error(client);
}

TEST(CommandChannel, RequestsGoOutAsTextWithOneNul) {
    FakeController controller(std::vector<ControllerAction>(6, reply("ombrix ok")));
    auto client = connect_to(controller);
    ASSERT_TRUE(client->valid());
    ASSERT_FALSE(client->server_noconnection());

    std::string value;
    EXPECT_TRUE(client->send_command("tracking start"));
    EXPECT_TRUE(client->set_parameter("output net ch01 udp"));
    EXPECT_TRUE(client->set_parameter("config", "active", "yes"));
    EXPECT_TRUE(client->get_parameter("status active", value));
    EXPECT_TRUE(client->get_parameter("config", "active", value));
    EXPECT_FALSE(client->get_message()); // "ombrix ok": no message waiting

    const std::vector<std::string> expected = {
        "ombrix tracking start\0"s,        "ombrix set output net ch01 udp\0"s,
        "ombrix set config active yes\0"s, "ombrix get status active\0"s,
        "ombrix get config active\0"s,     "ombrix getmsg\0"s,
    };
    EXPECT_EQ(controller.requests(), expected);
}

TEST(CommandChannel, RequestsOfUpTo200CharactersAreSent) {
    FakeController controller({reply("ombrix ok")});
    auto client = connect_to(controller);
    const std::string longest(200 - 7, 'x'); // "ombrix " + 193 = 200 characters
    EXPECT_TRUE(client->send_command(longest));
    EXPECT_FALSE(client->send_command(longest + "y"));
    EXPECT_TRUE(client->server_neterror());
    EXPECT_FALSE(client->server_noconnection());
    const auto requests = controller.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].size(), 201u);
}

TEST(CommandChannel, ReplyClassification) {
    FakeController controller({
        reply("ombrix ok "),
        reply("ombrix ok\n"),
        reply("ombrix err 17 \"tracking not running\""),
        reply("ombrix err  -3 ignored \"text with 'quotes'\" trailing"),
        reply("ombrix err \"no number\""),
        reply("ombrix err 12 \"unterminated"),
        reply("ombrix err 0 \"zero\""),
        reply("OMBRIX OK"),
        reply("ombrix ok\0garbage after the NUL"s),
    });
    auto client = connect_to(controller);

    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(client->send_command("a"));
        EXPECT_FALSE(client->server_timeout() || client->server_neterror() ||
                     client->server_parseerror());
        expect_no_last_error(*client);
    }

    int code = 0;
    std::string text;
    EXPECT_FALSE(client->send_command("a"));
    ASSERT_TRUE(client->get_lasterror(code));
    ASSERT_TRUE(client->get_lasterror(text));
    EXPECT_EQ(code, 17);
    EXPECT_EQ(text, "tracking not running");
    EXPECT_FALSE(client->server_parseerror());

    EXPECT_FALSE(client->send_command("a"));
    ASSERT_TRUE(client->get_lasterror(code));
    ASSERT_TRUE(client->get_lasterror(text));
    EXPECT_EQ(code, -3);
    EXPECT_EQ(text, "text with 'quotes'");

    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(client->send_command("a"));
        ASSERT_TRUE(client->get_lasterror(code));
        ASSERT_TRUE(client->get_lasterror(text));
        EXPECT_EQ(code, -1111);
        EXPECT_EQ(text, "internal SDK error");
        EXPECT_TRUE(client->server_parseerror());
    }

    EXPECT_FALSE(client->send_command("a")); // error code 0 is no error
    expect_no_last_error(*client);
    EXPECT_FALSE(client->server_parseerror());

    EXPECT_FALSE(client->send_command("a")); // unrecognised reply
    expect_no_last_error(*client);
    EXPECT_FALSE(client->server_timeout() || client->server_neterror() ||
                 client->server_parseerror());

    EXPECT_TRUE(client->send_command("a")); // the reply text ends at its first NUL
}

TEST(CommandChannel, ReplyOf199BytesIsAcceptedAnd200IsRefused) {
    const std::string value(199 - std::string("ombrix set p ").size(), 'v');
    FakeController controller(
        {reply("ombrix set p " + value), reply(std::string(200, 'z')), reply("ombrix ok")});
    auto client = connect_to(controller);
    std::string read;
    EXPECT_TRUE(client->get_parameter("p", read));
    EXPECT_EQ(read, value);
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_TRUE(client->server_neterror());
    EXPECT_FALSE(client->server_noconnection());
    EXPECT_TRUE(client->send_command("a"));
    EXPECT_FALSE(client->server_neterror());
}

struct EchoCase {
    const char* name;
    std::string requested;
    std::string reply;
    bool ok;
    std::string value;
    friend void PrintTo(const EchoCase& c, std::ostream* os) { *os << c.name; }
};

class ParameterEcho : public ::testing::TestWithParam<EchoCase> {};

TEST_P(ParameterEcho, ComparesNamesAndReturnsTheValue) {
    const EchoCase& c = GetParam();
    FakeController controller({reply(c.reply)});
    auto client = connect_to(controller);
    std::string value = "stale";
    EXPECT_EQ(client->get_parameter(c.requested, value), c.ok);
    EXPECT_EQ(value, c.value);
    if (!c.ok && c.reply.rfind("ombrix set ", 0) == 0) {
        EXPECT_TRUE(client->server_parseerror());
    }
    if (c.ok) {
        EXPECT_FALSE(client->server_parseerror());
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandChannel, ParameterEcho,
    ::testing::Values(
        EchoCase{"PlainValue", "status active", "ombrix set status active yes", true, "yes"},
        EchoCase{"ValueWithInnerBlanks", "output net ch01",
                 "ombrix set output net ch01 udp 10.0.0.1 5000", true, "udp 10.0.0.1 5000"},
        EchoCase{"OkMeansEmptyValue", "a", "ombrix ok", true, ""},
        EchoCase{"OtherName", "status active", "ombrix set status passive yes", false, ""},
        EchoCase{"CaseMatters", "status active", "ombrix set Status active yes", false, ""},
        EchoCase{"LeadingZerosInEcho", "output net ch1", "ombrix set output net ch001 on", true,
                 "on"},
        EchoCase{"LeadingZerosInRequest", "dev 007", "ombrix set dev 7 on", true, "on"},
        EchoCase{"ZeroWrittenAsZeroZero", "dev 0", "ombrix set dev 00 on", true, "on"},
        EchoCase{"ZeroWrittenAsZero", "dev 0", "ombrix set dev 0 on", true, "on"},
        EchoCase{"ZeroDoesNotMatchAnotherNumber", "dev 0", "ombrix set dev 5 on", false, ""},
        EchoCase{"NumberDoesNotMatchALongerOne", "dev 1", "ombrix set dev 12 on", false, ""},
        EchoCase{"RunsOfBlanksMatch", "status active", "ombrix set status   active   yes", true,
                 "yes"},
        EchoCase{"BlankNeverMatchesNoBlank", "status active", "ombrix set statusactive yes", false,
                 ""},
        EchoCase{"ReplyEndsRightAfterTheName", "status active", "ombrix set status active", true,
                 ""},
        EchoCase{"ErrorReply", "x", "ombrix err 4 \"unknown parameter\"", false, ""},
        EchoCase{"UnrecognisedReply", "x", "something else", false, ""}),
    [](const ::testing::TestParamInfo<EchoCase>& info) { return info.param.name; });

TEST(CommandChannel, ParameterErrorReplyFillsTheLastError) {
    FakeController controller({reply("ombrix err 4 \"unknown parameter\"")});
    auto client = connect_to(controller);
    std::string value;
    EXPECT_FALSE(client->get_parameter("config", "nothing", value));
    int code = 0;
    ASSERT_TRUE(client->get_lasterror(code));
    EXPECT_EQ(code, 4);
}

TEST(CommandChannel, Messages) {
    FakeController controller({
        reply("ombrix msg tracker warning 1234 17 \"camera 2 lost sync\""),
        reply("ombrix ok"),
        reply("ombrix msg cam3 error 99 5 \"no closing quote"),
        reply("ombrix err 8 \"busy\""),
        reply("ombrix msg   "),
    });
    auto client = connect_to(controller);

    ASSERT_TRUE(client->get_message());
    EXPECT_EQ(client->get_message_origin(), "tracker");
    EXPECT_EQ(client->get_message_status(), "warning");
    EXPECT_EQ(client->get_message_framenr(), 1234u);
    EXPECT_EQ(client->get_message_errorid(), 17u);
    EXPECT_EQ(client->get_message_msg(), "camera 2 lost sync");

    EXPECT_FALSE(client->get_message()); // nothing waiting
    expect_no_last_error(*client);

    // A cut message: the fields before the failure are updated, the text is kept.
    EXPECT_FALSE(client->get_message());
    EXPECT_EQ(client->get_message_origin(), "cam3");
    EXPECT_EQ(client->get_message_status(), "error");
    EXPECT_EQ(client->get_message_framenr(), 99u);
    EXPECT_EQ(client->get_message_errorid(), 5u);
    EXPECT_EQ(client->get_message_msg(), "camera 2 lost sync");
    EXPECT_FALSE(client->server_timeout() || client->server_neterror() ||
                 client->server_parseerror());
    expect_no_last_error(*client);

    EXPECT_FALSE(client->get_message());
    int code = 0;
    ASSERT_TRUE(client->get_lasterror(code));
    EXPECT_EQ(code, 8);

    // Only blanks after the prefix: the origin read fails and is left empty.
    EXPECT_FALSE(client->get_message());
    EXPECT_EQ(client->get_message_origin(), "");
    EXPECT_EQ(client->get_message_status(), "error");
}

TEST(CommandChannel, TimeOutKeepsTheConnection) {
    FakeController controller({silent(), reply("ombrix ok")});
    auto client = connect_to(controller);
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_TRUE(client->server_timeout());
    EXPECT_FALSE(client->server_noconnection());
    EXPECT_TRUE(client->send_command("b"));
    EXPECT_FALSE(client->server_timeout());
}

TEST(CommandChannel, ZeroTimeOutOnlyPolls) {
    FakeController controller({reply("ombrix ok", 50)});
    auto client = connect_to(controller, 0);
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_TRUE(client->server_timeout());
}

// Regression: a reply that arrives after its time-out used to be taken as the
// reply to the next request.
TEST(CommandChannel, LateReplyIsNotTakenForTheNextOne) {
    FakeController controller({reply("ombrix ok", 400), reply("ombrix err 5 \"refused\"")});
    auto client = connect_to(controller, 100000);
    EXPECT_FALSE(client->send_command("slow"));
    EXPECT_TRUE(client->server_timeout());
    std::this_thread::sleep_for(
        std::chrono::milliseconds(500)); // the late "ombrix ok" is waiting now
    EXPECT_FALSE(client->send_command("next"));
    int code = 0;
    ASSERT_TRUE(client->get_lasterror(code));
    EXPECT_EQ(code, 5);
}

TEST(CommandChannel, ControllerClosingTheConnection) {
    FakeController controller({close_connection()});
    auto client = connect_to(controller);
    client->set_server_parseerror();
    EXPECT_FALSE(client->send_command("a"));
    EXPECT_TRUE(client->server_noconnection());
    EXPECT_TRUE(client->server_parseerror()); // the error state is left as it was
    EXPECT_TRUE(client->valid());             // the data channel stays

    const double took = seconds_of([&] { EXPECT_FALSE(client->send_command("b")); });
    EXPECT_TRUE(client->server_neterror());
    EXPECT_LT(took, 0.05);
}

// Regression: sending on a connection the controller reset raised SIGPIPE and
// killed the program.
TEST(CommandChannel, ResetConnectionIsANetworkErrorNotADeadProcess) {
    FakeController controller({reset_connection()});
    auto client = connect_to(controller);
    EXPECT_FALSE(client->send_command("a")); // the receive fails on the reset
    EXPECT_TRUE(client->server_neterror());
    EXPECT_FALSE(client->send_command("b")); // the send fails; no signal kills us
    EXPECT_TRUE(client->server_neterror());
}

namespace {
void ignore_signal(int) {}
} // namespace

TEST(CommandChannel, InterruptedWaitIsANetworkError) {
    struct sigaction action {};
    action.sa_handler = ignore_signal;
    struct sigaction previous {};
    sigaction(SIGUSR1, &action, &previous);

    FakeController controller({silent()});
    auto client = connect_to(controller, 2000000);
    const pthread_t waiting = pthread_self();
    std::thread interrupter([waiting] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pthread_kill(waiting, SIGUSR1);
    });
    const double took = seconds_of([&] { EXPECT_FALSE(client->send_command("a")); });
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(client->server_neterror());
    EXPECT_FALSE(client->server_noconnection());
    EXPECT_LT(took, 1.5);
}

TEST(CommandChannel, RefusedConnectionInvalidatesTheClient) {
    unsigned short unused_port;
    {
        FakeController closed_soon({});
        unused_port = closed_soon.port();
    }
    Ombrix client("127.0.0.1", unused_port, 0, 20000, 100000, 100000);
    EXPECT_FALSE(client.valid());
    EXPECT_EQ(client.get_data_port(), 0);
}

// The reply handling on its own, as the fuzzers drive it: nothing a reply holds
// can move the parser outside its buffer.
TEST(CommandReplies, OverlongAndUnterminatedRepliesStayInsideTheBuffer) {
    Ombrix client("", 0, 0, 100, 1000, 1000);
    const std::string huge =
        "ombrix err " + std::string(5000, '9') + " \"" + std::string(5000, 'x');
    EXPECT_FALSE(OmbrixInternals::store_last_error(client, huge.data(), huge.size()));
    int code = 0;
    ASSERT_TRUE(client.get_lasterror(code));
    EXPECT_EQ(code, -1111); // the closing quote lies beyond the 199 bytes kept

    std::string value;
    const std::string echo = "ombrix set " + std::string(400, '0');
    EXPECT_TRUE(OmbrixInternals::parameter_reply(client, std::string(300, '0'), echo.data(),
                                                 echo.size(), value));

    const std::string message = "ombrix msg " + std::string(300, 'o');
    EXPECT_FALSE(OmbrixInternals::message_reply(client, message.data(), message.size()));
    EXPECT_EQ(client.get_message_origin().size(), 199u - 11u);
}
