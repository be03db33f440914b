#include "commandprotocol.h"

#include <algorithm>
#include <fmt/format.h>
#include <fmt/ranges.h>

namespace {

const std::string request_prefix = "ombrix ";

enum ErrorCode {
    unknown_request = 1,
    request_too_long = 2,
    missing_parameter = 10,
    unknown_parameter = 11,
    read_only_parameter = 12,
    missing_value = 13,
    value_too_long = 14,
};

// The words of the text, separated by runs of blanks; they point into the text.
std::vector<std::string_view> splitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t end = 0;
    for (std::size_t pos; (pos = text.find_first_not_of(' ', end)) != std::string_view::npos;) {
        end = std::min(text.find(' ', pos), text.size());
        words.push_back(text.substr(pos, end - pos));
    }
    return words;
}

// The parameter name that words first to last - 1 give, as names compare: one blank between
// the words, and a word of digits without its leading zeros, so that "01" names the same as "1".
std::string nameOf(const std::vector<std::string_view>& words, std::size_t first,
                   std::size_t last) {
    std::string name;
    for (std::size_t i = first; i < last; ++i) {
        std::string_view word = words[i];
        if (word.find_first_not_of("0123456789") == std::string_view::npos) {
            word.remove_prefix(std::min(word.find_first_not_of('0'), word.size() - 1));
        }
        name.append(i > first ? " " : "").append(word);
    }
    return name;
}

// The reply that carries a parameter's value; a value is only stored if it fits.
std::string setReply(const std::string& name, std::string_view value) {
    return fmt::format("ombrix set {} {}", name, value);
}

std::string replaceAll(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// "<head>"<text>"" with the text shortened so that the whole fits into a reply.
std::string withQuotedText(const std::string& head, const std::string& text) {
    std::string quoted = replaceAll(text, '"', '\'');
    const std::size_t room = CommandProtocol::max_reply - head.size() - 2;
    if (quoted.size() > room) {
        quoted.resize(room);
    }
    return head + "\"" + quoted + "\"";
}

std::string errorReply(ErrorCode code, const std::string& text) {
    return withQuotedText(fmt::format("ombrix err {} ", static_cast<int>(code)), text);
}

} // namespace

bool CommandProtocol::defineParameter(const std::string& name, const std::string& value,
                                      bool writable) {
    const std::vector<std::string_view> words = splitWords(name);
    const Parameter parameter{fmt::format("{}", fmt::join(words, " ")), value, writable};
    if (words.empty() || setReply(parameter.name, value).size() > max_reply) {
        return false;
    }
    parameters[nameOf(words, 0, words.size())] = parameter;
    return true;
}

void CommandProtocol::queueMessage(const std::string& origin, const std::string& status,
                                   std::uint32_t frame_number, std::uint32_t error_id,
                                   const std::string& text) {
    const std::string head = "ombrix msg " + replaceAll(origin.empty() ? "-" : origin, ' ', '_') +
                             " " + replaceAll(status.empty() ? "-" : status, ' ', '_') + " " +
                             std::to_string(frame_number) + " " + std::to_string(error_id) + " ";
    if (head.size() + 2 > max_reply) {
        return; // no room even for an empty text
    }
    if (messages.size() == max_messages) {
        messages.pop_front();
    }
    messages.push_back(withQuotedText(head, text));
}

std::string CommandProtocol::handle(const std::string& request, std::uint32_t frame_counter) {
    if (request.size() > max_request) {
        return errorReply(request_too_long, "request longer than 200 characters");
    }
    if (request.compare(0, request_prefix.size(), request_prefix) != 0) {
        return errorReply(unknown_request, "requests begin with 'ombrix '");
    }
    const std::string_view text = std::string_view(request).substr(request_prefix.size());
    const std::vector<std::string_view> words = splitWords(text);
    if (words.empty()) {
        return errorReply(unknown_request, "empty command");
    }
    if (words[0] == "getmsg" && words.size() == 1) {
        if (messages.empty()) {
            return "ombrix ok";
        }
        std::string reply = messages.front();
        messages.pop_front();
        return reply;
    }
    if (words[0] != "get" && words[0] != "set") {
        return "ombrix ok"; // any other command is accepted as the controller would
    }
    if (words.size() == 1) {
        return errorReply(missing_parameter, "parameter name missing");
    }
    if (words[0] == "set") {
        return handleSet(text, words, frame_counter);
    }
    const auto found = parameters.find(nameOf(words, 1, words.size()));
    return found == parameters.end() ? errorReply(unknown_parameter, "unknown parameter")
                                     : setReply(found->second.name, found->second.value);
}

// "set" and the words of the text: a parameter's name, then its value.
std::string CommandProtocol::handleSet(std::string_view text,
                                       const std::vector<std::string_view>& words,
                                       std::uint32_t frame_counter) {
    // The longest known name the text begins with and that leaves a value behind.
    for (std::size_t value_word = words.size() - 1; value_word > 1; --value_word) {
        const auto found = parameters.find(nameOf(words, 1, value_word));
        if (found == parameters.end()) {
            continue;
        }
        Parameter& parameter = found->second;
        if (!parameter.writable) {
            return errorReply(read_only_parameter, "parameter is read-only");
        }
        const std::string_view value = text.substr(words[value_word].data() - text.data());
        if (setReply(parameter.name, value).size() > max_reply) {
            return errorReply(value_too_long, "value too long");
        }
        parameter.value = value;
        queueMessage("ombrix-sim", "info", frame_counter, 0,
                     "parameter " + parameter.name + " set to " + parameter.value);
        return "ombrix ok";
    }
    if (parameters.count(nameOf(words, 1, words.size())) != 0) {
        return errorReply(missing_value, "value missing");
    }
    return errorReply(unknown_parameter, "unknown parameter");
}
