// The tools' command lines, read with CLI11: GNU-style long options, a repeated option counting
// with its last value, and for a bad argument one line that names the option.

#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

// The tools' exit statuses.
enum ExitStatus { success = 0, runtime_failure = 1, bad_input = 2 };

class CommandLine {
public:
    // A check of an option's value, as CLI11 takes it: empty for a good text, else the reason,
    // which CLI11 puts after the option's name.
    using Check = std::function<std::string(const std::string&)>;

    CommandLine();

    // An option whose value is a whole number from low to high, in plain decimal digits.
    template <typename Number>
    CLI::Option* count(const std::string& name, Number& target, std::uint64_t low,
                       std::uint64_t high) {
        const auto store = [&target](const std::string& text) {
            target = static_cast<Number>(wholeNumberOf(text));
        };
        return app.add_option_function<std::string>(name, store)->check(wholeNumber(low, high));
    }
    // An option whose value is seconds greater than 0, decimals allowed.
    CLI::Option* seconds(const std::string& name, std::optional<double>& target);
    // An option whose value must not be empty; what says what it needs.
    CLI::Option* text(const std::string& name, std::string& target, const char* what);

    // A tool's start: reads the command line into options (which have parse(), help, version
    // and helpText()) and answers a bad argument (exit status 2), --help and --version (0).
    // The exit status when that is all there is to do; none when the tool is to run.
    template <typename Options>
    static std::optional<int> start(Options& options, int argc, char** argv, const char* program,
                                    const char* version) {
        std::string error;
        if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
            std::cerr << program << ": " << error << "\nTry '" << program << " --help' for more.\n";
            return bad_input;
        }
        if (options.help || options.version) {
            std::cout << (options.help ? Options::helpText()
                                       : program + std::string(" ") + version + "\n");
            return success;
        }
        return std::nullopt;
    }

    // args without the program name. False with a one-line message on a bad argument.
    bool parse(const std::vector<std::string>& args, std::string& error);

    static Check wholeNumber(std::uint64_t low, std::uint64_t high);
    static std::uint64_t wholeNumberOf(const std::string& text); // of a text that passed

    CLI::App app;
};

#endif // COMMANDLINE_H
