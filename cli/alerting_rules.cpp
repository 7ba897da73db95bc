#include "cli/alerting_rules.h"

#include "engine/metrics_names.h"

#include <yaml-cpp/yaml.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <set>

namespace quel::cli {
namespace {

constexpr int IntervalsUntilFiring = 3;

// The shortest text that reads back as the same double.
std::string Number(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Selector(const std::string& profile, const AxisSnapshot& axis)
{
    return std::string(AxisCurrentMetric) + "{" + ProfileLabel + "=" + PromQlString(profile) + "," + AxisLabel + "=" +
           PromQlString(axis.name) + "," + PathLabel + "=" + PromQlString(axis.path) + "}";
}

std::string Description(const AxisSnapshot& axis, const RawThreshold& threshold)
{
    std::string text = "Current raw value {{ $value }}; the profile's critical value is " +
                       Number(axis.criticalValue) + (axis.inverse ? " (inverse axis, MaxValue " + Number(axis.maxValue) + ")" : "");
    if (axis.multiplier != 1)
        text += " with multiplier " + Number(axis.multiplier);
    return text + ", so raw values " + threshold.comparison + " " + Number(threshold.value) + " are critical.";
}

// An alert name of its own per axis ([A-Za-z0-9_], after a fixed prefix): runs of other
// characters become one "_", and a name already given gets "_2", "_3", ...
std::string AlertName(const std::string& axisName, std::set<std::string>& taken)
{
    std::string name = "QuellarimondCritical_";
    for (const char c : axisName) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (name.back() != '_')
            name += '_';
    }
    while (name.size() > 1 && name.back() == '_')
        name.pop_back();
    std::string unique = name;
    for (int n = 2; !taken.insert(unique).second; ++n)
        unique = name + "_" + std::to_string(n);
    return unique;
}

} // namespace

std::string PromQlString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::optional<RawThreshold> CriticalThreshold(const AxisSnapshot& axis)
{
    if (axis.multiplier == 0)
        return std::nullopt;
    // Scaled s = raw / m; critical when s >= c, or for an inverse axis when max - s >= c.
    const double scaled = axis.inverse ? axis.maxValue - axis.criticalValue : axis.criticalValue;
    const bool atOrAbove = !axis.inverse;
    // Dividing by a negative multiplier turns the comparison round.
    const bool rawAtOrAbove = axis.multiplier > 0 ? atOrAbove : !atOrAbove;
    return RawThreshold {rawAtOrAbove ? ">=" : "<=", scaled * axis.multiplier};
}

std::string AlertingRulesYaml(const RulesInput& input, std::string& skipped)
{
    YAML::Emitter out;
    out << YAML::BeginMap << YAML::Key << "groups" << YAML::Value << YAML::BeginSeq;
    out << YAML::BeginMap << YAML::Key << "name" << YAML::Value << "quellarimond-" + input.profileName;
    out << YAML::Key << "rules" << YAML::Value << YAML::BeginSeq;
    const std::string forDuration = std::to_string(IntervalsUntilFiring * input.interval) + "s";
    std::set<std::string> names;
    for (const AxisSnapshot& axis : input.axes->axes) {
        const std::optional<RawThreshold> threshold = CriticalThreshold(axis);
        if (!threshold) {
            skipped += (skipped.empty() ? "" : ", ") + axis.name;
            continue;
        }
        out << YAML::BeginMap;
        out << YAML::Key << "alert" << YAML::Value << AlertName(axis.name, names);
        out << YAML::Key << "expr" << YAML::Value
            << Selector(input.profileName, axis) + " " + threshold->comparison + " " + Number(threshold->value);
        out << YAML::Key << "for" << YAML::Value << forDuration;
        out << YAML::Key << "labels" << YAML::Value << YAML::BeginMap << YAML::Key << "severity" << YAML::Value
            << "warning" << YAML::EndMap;
        out << YAML::Key << "annotations" << YAML::Value << YAML::BeginMap;
        out << YAML::Key << "summary" << YAML::Value << "{{ $labels.axis }} is critical on {{ $labels.instance }}";
        out << YAML::Key << "description" << YAML::Value << Description(axis, *threshold);
        out << YAML::EndMap << YAML::EndMap;
    }
    out << YAML::EndSeq << YAML::EndMap << YAML::EndSeq << YAML::EndMap;
    return std::string(out.c_str()) + "\n";
}

} // namespace quel::cli
