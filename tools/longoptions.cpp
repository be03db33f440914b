#include "longoptions.h"

#include "decimaltext.h"

#include <utility>

namespace {

bool startsAsOption(const std::string& argument) {
    return argument.compare(0, 2, "--") == 0;
}

bool isWholeNumber(const std::string& text) {
    std::uint64_t ignored = 0;
    return parseUnsigned(text, ignored);
}

} // namespace

LongOptions::LongOptions(std::vector<std::string> args, std::set<std::string> flags,
                         std::set<std::string> value_options,
                         std::set<std::string> optional_value_options)
    : args_(std::move(args)), flags_(std::move(flags)), value_options_(std::move(value_options)),
      optional_value_options_(std::move(optional_value_options)) {}

bool LongOptions::next(Option& option, std::string& error) {
    const std::string& argument = args_.at(next_++);
    option.name = argument == "-h" ? "--help" : argument;
    option.value.reset();
    if (!startsAsOption(option.name) || option.name == "--") {
        error = "unexpected argument \"" + argument + "\" (options begin with --)";
        return false;
    }
    const std::size_t equals = option.name.find('=');
    if (equals != std::string::npos) {
        option.value = option.name.substr(equals + 1);
        option.name.resize(equals);
    }

    const bool is_flag = flags_.count(option.name) != 0;
    const bool needs_value = value_options_.count(option.name) != 0;
    const bool may_have_value = optional_value_options_.count(option.name) != 0;
    if (!is_flag && !needs_value && !may_have_value) {
        error = "unknown option " + option.name;
        return false;
    }
    if (is_flag && option.value) {
        error = option.name + " takes no value";
        return false;
    }
    if (option.value) {
        return true;
    }
    if (needs_value) {
        if (atEnd() || startsAsOption(args_[next_])) {
            error = option.name + " needs a value";
            return false;
        }
        option.value = args_[next_++];
    } else if (may_have_value && !atEnd() && isWholeNumber(args_[next_])) {
        option.value = args_[next_++];
    }
    return true;
}

bool readCount(const std::string& option, const std::string& text, std::uint64_t low,
               std::uint64_t high, std::uint64_t& value, std::string& error) {
    if (!parseUnsigned(text, value) || value < low || value > high) {
        error = option + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not \"" + text + "\"";
        return false;
    }
    return true;
}
