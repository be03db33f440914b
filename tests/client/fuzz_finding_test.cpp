// Faults the fuzzers found, each through the real path that reaches it. The
// inputs that found them are kept in the fuzz corpora as well.
#include "fakecontroller.h"

#include "Ombrix.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<Ombrix> connect_to(const FakeController& controller) {
    return std::make_unique<Ombrix>("127.0.0.1", controller.port(), 0, 20000, 100000, 150000);
}

} // namespace

// A parameter text that ends in a blank (an empty name joined to its category
// gives one) lost the first character of the value: the blank run of the name
// had already taken the separator, and one more character was passed over.
TEST(CommandChannelFuzzFindings, ParameterEndingInBlankKeepsTheWholeValue) {
    FakeController controller({reply("ombrix set dev on"), reply("ombrix set output  57 60"),
                               reply("ombrix set status active yes")});
    auto client = connect_to(controller);
    ASSERT_TRUE(client->valid());
    std::string value;
    EXPECT_TRUE(client->get_parameter("dev", "", value));
    EXPECT_EQ(value, "on");
    EXPECT_TRUE(client->get_parameter("output  ", value));
    EXPECT_EQ(value, "57 60");
    // A name that ends normally still has its one separating blank passed over.
    EXPECT_TRUE(client->get_parameter("status active", value));
    EXPECT_EQ(value, "yes");
    EXPECT_FALSE(client->server_parseerror());
}

// An empty parameter text matches any echo, and the echo is then all value:
// no character of it may be dropped either.
TEST(CommandChannelFuzzFindings, EmptyParameterKeepsTheWholeValue) {
    FakeController controller({reply("ombrix set on"), reply("ombrix set  7 on")});
    auto client = connect_to(controller);
    ASSERT_TRUE(client->valid());
    std::string value;
    EXPECT_TRUE(client->get_parameter("", value));
    EXPECT_EQ(value, "on");
    EXPECT_TRUE(client->get_parameter("", value));
    EXPECT_EQ(value, "7 on");
}
