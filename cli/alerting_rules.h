#pragma once
// Prometheus alerting rules from a profile: one rule per axis, firing when the axis's current
// value, as the service's /metrics page gives it, stays critical for three intervals.

#include "engine/monitor_snapshot.h"

#include <optional>
#include <string>
#include <string_view>

namespace quel::cli {

// A PromQL string literal (double quotes, Go escapes) holding text exactly.
std::string PromQlString(std::string_view text);

struct RawThreshold {
    const char* comparison;  // ">=" or "<="
    double value;            // in the counter's raw units, as the page exports them
};

// The raw value at which the axis turns critical: the scaled value (raw / Multiplier, and for
// an inverse axis MaxValue minus that) at or above CriticalValue. None for a zero multiplier.
std::optional<RawThreshold> CriticalThreshold(const AxisSnapshot& axis);

struct RulesInput {
    std::string profileName;  // the "profile" label
    int interval = 2;         // seconds between samples
    const MonitorSnapshot* axes = nullptr;
};

// The rules file (YAML); axes without a usable threshold are left out and named in skipped.
std::string AlertingRulesYaml(const RulesInput& input, std::string& skipped);

} // namespace quel::cli
