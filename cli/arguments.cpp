#include "cli/arguments.h"

#include <charconv>
#include <cmath>

namespace quel::cli {
namespace {

const OptionRule* FindRule(const std::vector<OptionRule>& rules, std::string_view name)
{
    for (const OptionRule& rule : rules) {
        if ((!rule.shortName.empty() && rule.shortName == name) || (!rule.longName.empty() && rule.longName == name))
            return &rule;
    }
    return nullptr;
}

std::string NameOf(const OptionRule& rule)
{
    return std::string(rule.longName.empty() ? rule.shortName : rule.longName);
}

// Splits "--name=value" and "-xVALUE" into name and attached value.
void SplitAttached(std::string_view arg, std::string_view& name, std::optional<std::string_view>& attached)
{
    if (arg.starts_with("--")) {
        const std::size_t eq = arg.find('=');
        name = arg.substr(0, eq);
        if (eq != std::string_view::npos)
            attached = arg.substr(eq + 1);
    } else {
        name = arg.substr(0, 2);
        if (arg.size() > 2)
            attached = arg.substr(2);
    }
}

} // namespace

bool ParsedArguments::Has(std::string_view name) const
{
    for (const ParsedOption& option : options) {
        if (option.name == name)
            return true;
    }
    return false;
}

std::optional<std::string> ParsedArguments::Value(std::string_view name) const
{
    std::optional<std::string> value;
    for (const ParsedOption& option : options) {
        if (option.name == name)
            value = option.value;
    }
    return value;
}

bool ParseArguments(const std::vector<std::string>& args, const std::vector<OptionRule>& rules,
                    ParsedArguments& parsed, std::string& error)
{
    parsed = {};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name;
        std::optional<std::string_view> attached;
        SplitAttached(arg, name, attached);
        const OptionRule* rule = FindRule(rules, name);
        if (rule == nullptr) {
            error = "unknown option \"" + std::string(name) + "\"";
            return false;
        }
        ParsedOption option {NameOf(*rule), {}};
        if (rule->takesValue) {
            if (attached) {
                option.value = *attached;
            } else if (i + 1 < args.size()) {
                option.value = args[++i];
            } else {
                error = "option \"" + std::string(name) + "\" needs a value";
                return false;
            }
        } else if (attached) {
            error = "option \"" + std::string(name) + "\" takes no value";
            return false;
        }
        parsed.options.push_back(std::move(option));
    }
    return true;
}

bool ParseSeconds(std::string_view text, double maximum, bool allowZero, double& seconds)
{
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return false;
    if (value < 0.0 || (value == 0.0 && !allowZero) || value > maximum)
        return false;
    seconds = value;
    return true;
}

bool ParseCount(std::string_view text, long long maximum, long long& count)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 1 || value > maximum)
        return false;
    count = value;
    return true;
}

bool ParseSize(std::string_view text, int maximum, int& width, int& height)
{
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return false;
    long long w = 0;
    long long h = 0;
    if (!ParseCount(text.substr(0, x), maximum, w) || !ParseCount(text.substr(x + 1), maximum, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

} // namespace quel::cli
