// The command channel's reply handling. The input is split at its first NUL or
// line end: the part before it is the parameter text a get_parameter call asked
// for, the rest is the controller's reply as one receive delivers it (NULs and
// all). If there is no split, the whole input is the reply to an empty parameter
// text. The reply goes through the classification, the parameter echo comparison
// and the message parsing, and each result must agree with what the reply says.

#include "commandreply.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// A reply is received into 200 bytes, of which 199 hold text.
constexpr std::size_t longest_reply = 199;

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The reply as the client reads it: the received bytes up to the first NUL.
std::string reply_text(const char* reply, std::size_t length) {
    const std::size_t kept = length < longest_reply ? length : longest_reply;
    return std::string(reply, ::strnlen(reply, kept));
}

void check_classification(const std::string& text) {
    CommandError error;
    const ReplyOutcome outcome = classify_reply(text.c_str(), error);
    const bool success = outcome == ReplyOutcome::success;
    FUZZ_CHECK(success == (text == "ombrix ok"));

    if (!starts_with(text, "ombrix err ")) {
        // Only an error reply fills the last error, and nothing here is a parse error.
        FUZZ_CHECK(error.code == 0);
        FUZZ_CHECK(outcome != ReplyOutcome::malformed);
        return;
    }
    FUZZ_CHECK(!success);
    if (outcome == ReplyOutcome::malformed) {
        FUZZ_CHECK(error.code == -1111 && error.text == "internal SDK error");
        return;
    }
    // The text is what stood between the quotes, so the reply holds it quoted; a code of 0
    // ("ombrix err 0 ...") is read like any other.
    FUZZ_CHECK(text.find('"' + error.text + '"') != std::string::npos);
}

void check_parameter_reply(const std::string& parameter, const std::string& text) {
    std::string value;
    CommandError error;
    const ReplyOutcome outcome = parameter_reply(parameter, text.c_str(), value, error);
    const bool read = outcome == ReplyOutcome::success;
    if (!starts_with(text, "ombrix set ")) {
        FUZZ_CHECK(read == (text == "ombrix ok"));
        FUZZ_CHECK(value.empty());
        return;
    }
    if (!read) {
        FUZZ_CHECK(outcome == ReplyOutcome::malformed);
        FUZZ_CHECK(value.empty());
        return;
    }
    // The value is the end of the reply, without the blanks that separate it.
    FUZZ_CHECK(ends_with(text, value));
    FUZZ_CHECK(value.empty() || value[0] != ' ');
}

// A controller that echoes the parameter text exactly as asked, one blank and a
// value: the name must match and the value come back whole.
void check_exact_echo(const std::string& parameter) {
    static const std::string value = "7 on";
    const std::string reply = "ombrix set " + parameter + " " + value;
    if (reply.size() > longest_reply)
        return;
    std::string read_value;
    CommandError error;
    FUZZ_CHECK(parameter_reply(parameter, reply.c_str(), read_value, error) ==
               ReplyOutcome::success);
    FUZZ_CHECK(read_value == value);
}

void check_message_reply(const std::string& text) {
    CommandMessage message;
    CommandError error;
    const ReplyOutcome outcome = message_reply(text.c_str(), message, error);
    const bool read = outcome == ReplyOutcome::success;
    if (!starts_with(text, "ombrix msg ")) {
        FUZZ_CHECK(!read);
        if (!starts_with(text, "ombrix err "))
            FUZZ_CHECK(error.code == 0);
        return;
    }
    // A message reply never touches the last error or the error state.
    FUZZ_CHECK(error.code == 0);
    FUZZ_CHECK(outcome != ReplyOutcome::malformed);
    if (!read)
        return;
    FUZZ_CHECK(!message.origin.empty() && message.origin.find(' ') == std::string::npos);
    FUZZ_CHECK(!message.status.empty() && message.status.find(' ') == std::string::npos);
    FUZZ_CHECK(text.find(message.origin + ' ') != std::string::npos);
    FUZZ_CHECK(text.find('"' + message.msg + '"') != std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* input = reinterpret_cast<const char*>(data);
    std::size_t split = 0;
    while (split < size && input[split] != '\0' && input[split] != '\n')
        ++split;
    std::string parameter;
    const char* reply = input;
    std::size_t length = size;
    if (split < size) {
        parameter.assign(input, split);
        reply = input + split + 1;
        length = size - split - 1;
    }

    const std::string text = reply_text(reply, length);
    check_classification(text);
    check_parameter_reply(parameter, text);
    check_exact_echo(parameter);
    check_message_reply(text);
    return 0;
}
