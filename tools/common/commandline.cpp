#include "commandline.h"

#include "decimaltext.h"

CommandLine::CommandLine() {
    app.set_help_flag(); // each tool prints its own help text
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* CommandLine::seconds(const std::string& name, std::optional<double>& target) {
    const auto store = [&target](const std::string& text) {
        double value = 0;
        parseDecimal(text, value);
        target = value;
    };
    return app.add_option_function<std::string>(name, store)->check([](const std::string& text) {
        double value = 0;
        return parseDecimal(text, value) && value > 0 && value <= 1e9
                   ? std::string()
                   : "needs seconds greater than 0, not \"" + text + "\"";
    });
}

CLI::Option* CommandLine::text(const std::string& name, std::string& target, const char* what) {
    return app.add_option(name, target)->check([what](const std::string& text) {
        return text.empty() ? std::string("needs ") + what : std::string();
    });
}

bool CommandLine::parse(const std::vector<std::string>& args, std::string& error) {
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend()); // as CLI11 takes them
        app.parse(reversed);
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

CommandLine::Check CommandLine::wholeNumber(std::uint64_t low, std::uint64_t high) {
    return [low, high](const std::string& text) {
        std::uint64_t value = 0;
        if (parseUnsigned(text, value) && value >= low && value <= high) {
            return std::string();
        }
        return "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not \"" + text + "\"";
    };
}

std::uint64_t CommandLine::wholeNumberOf(const std::string& text) {
    std::uint64_t value = 0;
    parseUnsigned(text, value);
    return value;
}
