// The long-option scanner shared by the tools: what it yields, in order, and its exact messages.

#include "longoptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Scans the whole line; each option as "name" or "name=value", or the message that ended it.
std::vector<std::string> scan(const std::vector<std::string>& args) {
    LongOptions scanner(args, {"--help", "--quiet"}, {"--port", "--file"}, {"--listen"});
    std::vector<std::string> seen;
    while (!scanner.atEnd()) {
        LongOptions::Option option;
        std::string error;
        if (!scanner.next(option, error)) {
            seen.push_back("error: " + error);
            break;
        }
        seen.push_back(option.name + (option.value ? "=" + *option.value : ""));
    }
    return seen;
}

using Seen = std::vector<std::string>;

TEST(LongOptions, YieldsOptionsInOrderWithTheirValues) {
    EXPECT_EQ(scan({}), Seen{});
    EXPECT_EQ(scan({"-h", "--quiet", "--port", "5000", "--file=a=b", "--port="}),
              (Seen{"--help", "--quiet", "--port=5000", "--file=a=b", "--port="}));
    // A value of its own may look like anything but a long option.
    EXPECT_EQ(scan({"--file", "-", "--port=--quiet", "--file", "-x"}),
              (Seen{"--file=-", "--port=--quiet", "--file=-x"}));
}

TEST(LongOptions, OptionalValueIsTakenOnlyAsEqualsOrAFollowingWholeNumber) {
    EXPECT_EQ(scan({"--listen", "--listen=x", "--listen", "50105", "--listen", "--quiet"}),
              (Seen{"--listen", "--listen=x", "--listen=50105", "--listen", "--quiet"}));
    EXPECT_EQ(scan({"--listen", "-1"}),
              (Seen{"--listen", "error: unexpected argument \"-1\" (options begin with --)"}));
}

TEST(LongOptions, StopsAtTheFirstBadArgumentWithItsMessage) {
    EXPECT_EQ(scan({"--quiet", "stray", "--bogus"}),
              (Seen{"--quiet", "error: unexpected argument \"stray\" (options begin with --)"}));
    EXPECT_EQ(scan({"--"}), Seen{"error: unexpected argument \"--\" (options begin with --)"});
    EXPECT_EQ(scan({"-h=1"}), Seen{"error: unexpected argument \"-h=1\" (options begin with --)"});
    EXPECT_EQ(scan({"--bogus=1", "--port"}), Seen{"error: unknown option --bogus"});
    EXPECT_EQ(scan({"--=5"}), Seen{"error: unknown option --"});
    EXPECT_EQ(scan({"--help="}), Seen{"error: --help takes no value"});
    EXPECT_EQ(scan({"--port"}), Seen{"error: --port needs a value"});
    EXPECT_EQ(scan({"--file", "--quiet"}), Seen{"error: --file needs a value"});
}

} // namespace
