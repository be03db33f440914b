// The command channel's reading of a controller reply: pure functions over the
// reply text, apart from the socket exchange that brought it.

#ifndef OMBRIX_COMMANDREPLY_H
#define OMBRIX_COMMANDREPLY_H

#include <string>

// The controller's last error reply; code 0 means none.
struct CommandError {
    int code = 0;
    std::string text = "no error";
};

// One message fetched with "ombrix getmsg".
struct CommandMessage {
    std::string origin;
    std::string status;
    unsigned int framenr = 0;
    unsigned int errorid = 0;
    std::string msg;
};

enum class ReplyOutcome {
    success, // the operation succeeded
    failure, // an error reply, or a reply that is not the expected kind
    malformed, // the reply is of the expected kind but cannot be read: a parse error
};

// "ombrix ok" is success; "ombrix err <code> "<text>"" fills error and is a failure;
// an error reply without code or quoted text is malformed and sets error to -1111
// "internal SDK error"; anything else is a failure that leaves error as it is.
ReplyOutcome classify_reply(const char* reply, CommandError& error);

// Compares a requested parameter text with the controller's echo of it: numbers
// match without their leading zeros, runs of blanks match runs of any length,
// case matters, and the echoed name must end where the requested one does. On a
// match, returns the position in the echo where the name ended; otherwise null.
const char* match_parameter_echo(const char* requested, const char* echo);

// The reply to "ombrix get <parameter>": "ombrix set <parameter> <value>" with a
// matching echo gives the value; a mismatched echo is malformed; any other reply
// is classified.
ReplyOutcome parameter_reply(const std::string& parameter, const char* reply, std::string& value,
                             CommandError& error);

// The reply to "ombrix getmsg": "ombrix msg <origin> <status> <framenr> <errorid>
// "<text>"" fills message field by field and is a success; a message reply cut
// short is a failure with the fields read so far updated; "ombrix ok" (no message
// waiting) and every other reply are classified, and fail.
ReplyOutcome message_reply(const char* reply, CommandMessage& message, CommandError& error);

#endif // OMBRIX_COMMANDREPLY_H
