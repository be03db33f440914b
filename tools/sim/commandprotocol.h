// The controller's side of the command protocol: one request text in, one reply text out.

#ifndef COMMANDPROTOCOL_H
#define COMMANDPROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Requests begin with "ombrix ". "get <parameter>" answers "ombrix set <parameter> <value>";
// "set <parameter> <value>" stores the value and answers "ombrix ok"; "getmsg" answers the
// oldest queued message as "ombrix msg <origin> <status> <framenr> <errorid> "<text>"", or
// "ombrix ok" when none waits; every other command answers "ombrix ok". Refusals answer
// "ombrix err <code> "<text>"".
//
// A parameter is named by one or more words, usually a category and a name. Names compare
// word by word, whatever blanks separate the words, and numbers compare without leading zeros.
class CommandProtocol {
public:
    // A request text is at most this long (its NUL terminator not counted).
    static constexpr std::size_t max_request = 200;
    // A reply text is at most this long, so that with its NUL it fits the 199 bytes a client
    // accepts in one receive.
    static constexpr std::size_t max_reply = 198;
    // Messages beyond this many push out the oldest.
    static constexpr std::size_t max_messages = 64;

    // Adds or replaces a parameter. False when the name has no word or the reply that would
    // carry the value is too long.
    bool defineParameter(const std::string& name, const std::string& value, bool writable);

    // Blanks in origin and status become underscores and double quotes in the text become
    // single quotes, since the wire format has no escapes; a long text is shortened to fit.
    void queueMessage(const std::string& origin, const std::string& status,
                      std::uint32_t frame_number, std::uint32_t error_id, const std::string& text);

    // The reply text (without NUL) to one request text (without NUL). frame_counter is the
    // number of the frame being sent, for the messages that changes queue.
    std::string handle(const std::string& request, std::uint32_t frame_counter);

private:
    struct Parameter {
        std::string name; // as it was defined, words joined by one blank
        std::string value;
        bool writable = false;
    };

    std::string handleSet(std::string_view text, const std::vector<std::string_view>& words,
                          std::uint32_t frame_counter);

    std::map<std::string, Parameter> parameters; // by normalised name
    std::deque<std::string> messages;            // reply texts, oldest first
};

#endif // COMMANDPROTOCOL_H
