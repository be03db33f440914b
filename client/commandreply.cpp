#include "commandreply.h"

#include "textscan.h"

#include <cstring>

namespace {

// Longest reply text the channel receives; the scanners read a copy of it.
constexpr std::size_t max_reply = 199;

void copy_reply(const char* reply, char (&text)[max_reply + 1]) {
    std::strncpy(text, reply, max_reply);
    text[max_reply] = '\0';
}

} // namespace

ReplyOutcome classify_reply(const char* reply, CommandError& error) {
    if (reply == nullptr || std::strcmp(reply, "ombrix ok") == 0) {
        error = CommandError{};
        return ReplyOutcome::success;
    }
    static const char error_prefix[] = "ombrix err ";
    if (!starts_with(reply, error_prefix))
        return ReplyOutcome::failure;

    char text[max_reply + 1];
    copy_reply(reply, text);
    int code = 0;
    char* pos = string_get_i(text + sizeof(error_prefix) - 1, code);
    std::string error_text;
    if (pos == nullptr || string_get_quoted_text(pos, error_text) == nullptr) {
        error.code = -1111;
        error.text = "internal SDK error";
        return ReplyOutcome::malformed;
    }
    error.code = code;
    error.text = error_text;
    return ReplyOutcome::failure;
}

const char* match_parameter_echo(const char* requested, const char* echo) {
    const char* r = requested;
    const char* e = echo;
    bool after_digit = false;
    for (;;) {
        if (*r == '\0')
            break;
        if (!after_digit) {
            while (*r == '0')
                ++r;
            while (*e == '0')
                ++e;
            if (*r == '\0')
                break;
        }
        if (*r != *e)
            return nullptr;
        if (*r == ' ') {
            while (*r == ' ')
                ++r;
            while (*e == ' ')
                ++e;
            after_digit = false;
            continue;
        }
        after_digit = *r >= '0' && *r <= '9';
        ++r;
        ++e;
    }
    // "dev 0" or "dev 1" must not match the echo of "dev 5" or "dev 12".
    const bool name_ends_in_blank = r != requested && r[-1] == ' ';
    if (r != requested && !name_ends_in_blank && *e != ' ' && *e != '\0')
        return nullptr;
    return e;
}

ReplyOutcome parameter_reply(const std::string& parameter, const char* reply, std::string& value,
                             CommandError& error) {
    static const char set_prefix[] = "ombrix set ";
    if (!starts_with(reply, set_prefix))
        return classify_reply(reply, error);
    const char* echo = reply + sizeof(set_prefix) - 1;
    const char* end_of_name = match_parameter_echo(parameter.c_str(), echo);
    if (end_of_name == nullptr)
        return ReplyOutcome::malformed;
    // Pass the blanks that separate the echoed name from the value. A reply that
    // ends right after the name carries an empty value. Only blanks are passed:
    // when the requested text itself ends in a blank, its run of blanks already
    // took the separator, and the echo stands on the value's first character.
    const char* pos = end_of_name;
    while (*pos == ' ')
        ++pos;
    value.assign(pos);
    return ReplyOutcome::success;
}

ReplyOutcome message_reply(const char* reply, CommandMessage& message, CommandError& error) {
    static const char msg_prefix[] = "ombrix msg ";
    if (!starts_with(reply, msg_prefix)) {
        // "ombrix ok": no message waiting; an error reply fills the last error.
        const ReplyOutcome outcome = classify_reply(reply, error);
        return outcome == ReplyOutcome::success ? ReplyOutcome::failure : outcome;
    }
    char text[max_reply + 1];
    copy_reply(reply, text);
    char* pos = text + sizeof(msg_prefix) - 1;
    pos = string_get_word(pos, message.origin);
    if (pos == nullptr)
        return ReplyOutcome::failure;
    pos = string_get_word(pos, message.status);
    if (pos == nullptr)
        return ReplyOutcome::failure;
    unsigned int number = 0;
    pos = string_get_ui(pos, number);
    if (pos == nullptr)
        return ReplyOutcome::failure;
    message.framenr = number;
    pos = string_get_ui(pos, number);
    if (pos == nullptr)
        return ReplyOutcome::failure;
    message.errorid = number;
    if (string_get_quoted_text(pos, message.msg) == nullptr)
        return ReplyOutcome::failure;
    error = CommandError{};
    return ReplyOutcome::success;
}
