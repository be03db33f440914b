#include "commandprotocol.h"

#include <algorithm>
#include <vector>

namespace {

const std::string request_prefix = "ombrix ";

// Words separated by runs of blanks, each with where it begins in the text.
struct Word {
    std::string text;
    std::size_t start;
    std::size_t end;
};

std::vector<Word> splitWords(const std::string& text) {
    std::vector<Word> words;
    std::size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(' ', pos);
        if (pos == std::string::npos) {
            return words;
        }
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        words.push_back({text.substr(pos, end - pos), pos, end});
        pos = end;
    }
}

// A word of digits loses its leading zeros, so that "01" names the same as "1".
std::string normaliseWord(const std::string& word) {
    if (word.find_first_not_of("0123456789") != std::string::npos) {
        return word;
    }
    const std::size_t first = word.find_first_not_of('0');
    return first == std::string::npos ? "0" : word.substr(first);
}

std::string normaliseName(const std::vector<Word>& words, std::size_t count) {
    std::string name;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            name += ' ';
        }
        name += normaliseWord(words[i].text);
    }
    return name;
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

} // namespace

std::string CommandProtocol::errorReply(int code, const std::string& text) {
    return withQuotedText("ombrix err " + std::to_string(code) + " ", text);
}

bool CommandProtocol::defineParameter(const std::string& name, const std::string& value,
                                      bool writable) {
    const std::vector<Word> words = splitWords(name);
    if (words.empty()) {
        return false;
    }
    Parameter parameter;
    for (const Word& word : words) {
        parameter.name += (parameter.name.empty() ? "" : " ") + word.text;
    }
    parameter.value = value;
    parameter.writable = writable;
    if (std::string("ombrix set ").size() + parameter.name.size() + 1 + value.size() > max_reply) {
        return false;
    }
    parameters[normaliseName(words, words.size())] = parameter;
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
    const std::string text = request.substr(request_prefix.size());
    const std::vector<Word> words = splitWords(text);
    if (words.empty()) {
        return errorReply(unknown_request, "empty command");
    }
    const std::string& command = words[0].text;
    if (command == "getmsg" && words.size() == 1) {
        if (messages.empty()) {
            return "ombrix ok";
        }
        std::string reply = messages.front();
        messages.pop_front();
        return reply;
    }
    if (command == "get") {
        return handleGet(text.substr(words[0].end));
    }
    if (command == "set") {
        return handleSet(text.substr(words[0].end), frame_counter);
    }
    return "ombrix ok"; // any other command is accepted as the controller would
}

std::string CommandProtocol::handleGet(const std::string& text) {
    const std::vector<Word> words = splitWords(text);
    if (words.empty()) {
        return errorReply(missing_parameter, "parameter name missing");
    }
    const auto found = parameters.find(normaliseName(words, words.size()));
    if (found == parameters.end()) {
        return errorReply(unknown_parameter, "unknown parameter");
    }
    return "ombrix set " + found->second.name + " " + found->second.value;
}

std::string CommandProtocol::handleSet(const std::string& text, std::uint32_t frame_counter) {
    const std::vector<Word> words = splitWords(text);
    if (words.empty()) {
        return errorReply(missing_parameter, "parameter name missing");
    }
    // The longest known name the text begins with and that leaves a value behind.
    for (std::size_t count = words.size() - 1; count > 0; --count) {
        const auto found = parameters.find(normaliseName(words, count));
        if (found == parameters.end()) {
            continue;
        }
        Parameter& parameter = found->second;
        if (!parameter.writable) {
            return errorReply(read_only_parameter, "parameter is read-only");
        }
        const std::string value = text.substr(words[count].start);
        if (std::string("ombrix set ").size() + parameter.name.size() + 1 + value.size() >
            max_reply) {
            return errorReply(value_too_long, "value too long");
        }
        parameter.value = value;
        queueMessage("ombrix-sim", "info", frame_counter, 0,
                     "parameter " + parameter.name + " set to " + value);
        return "ombrix ok";
    }
    if (parameters.count(normaliseName(words, words.size())) != 0) {
        return errorReply(missing_value, "value missing");
    }
    return errorReply(unknown_parameter, "unknown parameter");
}
