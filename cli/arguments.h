#pragma once
// Command-line parsing for quelmonctl: options of one command (short "-i 2", long "--size 600x400"
// or "--size=600x400", flags), positional arguments, "--" to end the options, and the value
// readers the commands share. Every error is one line that names the argument at fault.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quel::cli {

struct OptionRule {
    std::string_view shortName;  // "-i", or empty
    std::string_view longName;   // "--interval", or empty
    bool takesValue = false;
};

struct ParsedOption {
    std::string name;   // the option's long name, else its short name
    std::string value;  // empty for flags
};

struct ParsedArguments {
    std::vector<ParsedOption> options;  // in command-line order
    std::vector<std::string> positional;

    bool Has(std::string_view name) const;
    // The value of the last occurrence of an option, if given.
    std::optional<std::string> Value(std::string_view name) const;
};

// Parses args (the command's arguments, without the program and command names). An argument
// that starts with "-" and is more than "-" alone is an option; "-5" is taken as a positional
// argument only after "--". On failure returns false and sets error.
bool ParseArguments(const std::vector<std::string>& args, const std::vector<OptionRule>& rules,
                    ParsedArguments& parsed, std::string& error);

// A positive number of seconds ("1", "0.5", "2.25"), at most maximum; allowZero also accepts 0.
bool ParseSeconds(std::string_view text, double maximum, bool allowZero, double& seconds);
// A whole number within 1..maximum.
bool ParseCount(std::string_view text, long long maximum, long long& count);
// "WIDTHxHEIGHT" with both within 1..maximum ("x" or "X").
bool ParseSize(std::string_view text, int maximum, int& width, int& height);

} // namespace quel::cli
