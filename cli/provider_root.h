#pragma once
// Whether the procfs tree the provider reads ($QUELLARIMOND_PROCFS, else /proc) looks like
// procfs, so that a mistyped root is an error rather than a machine without counters.

#include <optional>
#include <string>

namespace quel::cli {

// The problem with the procfs root in one line (it holds neither "stat" nor "meminfo"); none
// when it looks like procfs.
std::optional<std::string> ProcRootProblem();

} // namespace quel::cli
