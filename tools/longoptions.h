// Splits a command line into GNU-style long options, for the tools' option parsers.

#ifndef LONGOPTIONS_H
#define LONGOPTIONS_H

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Options are "--name", "--name value" or "--name=value"; "-h" stands for "--help". Flags take
// no value, value options need one (a following argument that begins with "--" is not taken
// as it), and an option with an optional value takes "=value" or a following argument that is
// a plain whole number, so that "--name --other" leaves the value out.
//
// The options come one at a time, in order, so that a parser reports the first bad argument
// on the command line, whether the scanner or the parser finds it.
class LongOptions {
public:
    struct Option {
        std::string name;                 // with its "--"
        std::optional<std::string> value; // always set for a value option, never for a flag
    };

    LongOptions(std::vector<std::string> args, std::set<std::string> flags,
                std::set<std::string> value_options,
                std::set<std::string> optional_value_options = {});

    bool atEnd() const { return next_ >= args_.size(); }

    // Reads the next option. False with a one-line message on a bad argument.
    bool next(Option& option, std::string& error);

private:
    std::vector<std::string> args_;
    std::set<std::string> flags_;
    std::set<std::string> value_options_;
    std::set<std::string> optional_value_options_;
    std::size_t next_ = 0;
};

// Reads an option's value as a whole number from low to high; otherwise false with the message
// "<option> needs a whole number from <low> to <high>, not "<text>"".
bool readCount(const std::string& option, const std::string& text, std::uint64_t low,
               std::uint64_t high, std::uint64_t& value, std::string& error);

#endif // LONGOPTIONS_H
