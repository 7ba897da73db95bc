#include "cli/counter_path_expansion.h"

#include "cli/object_items.h"
#include "platform/computer_address.h"
#include "platform/counter_path.h"

namespace quel::cli {

bool ExpandCounterPath(PerfDataSource& source, std::string_view path, std::vector<std::string>& paths,
                       std::string& error)
{
    CounterPath parts;
    const bool wildInstance = ParseCounterPath(path, parts) && parts.hasInstance && parts.instance == "*";
    const bool wildCounter = parts.counter == "*";
    if (!wildInstance && !wildCounter) {
        paths.emplace_back(path);
        return true;
    }
    ObjectItems items;
    const PerfStatus status = EnumerateObjectItems(source, parts.object, items, parts.computer);
    if (status != perf_status::Ok) {
        error = DescribeStatus(status);
        return false;
    }
    const std::vector<std::string> counters = wildCounter ? items.counters
                                                          : std::vector<std::string> {std::string(parts.counter)};
    std::vector<std::string> instances;
    if (wildInstance)
        instances = items.instances;
    else if (parts.hasInstance)
        instances.emplace_back(parts.instance);
    if (parts.hasInstance && instances.empty()) {
        error = "the object has no instances now";
        return false;
    }
    const std::string computer = parts.computer.empty() ? std::string() : "\\\\" + std::string(parts.computer);
    for (const std::string& counter : counters) {
        if (!parts.hasInstance) {
            paths.push_back(computer + MakePath(items.object, nullptr, counter));
            continue;
        }
        for (const std::string& instance : instances)
            paths.push_back(computer + MakePath(items.object, &instance, counter));
    }
    return true;
}

std::string FullCounterPath(std::string_view path, std::string_view host)
{
    if (path.starts_with("\\\\"))
        return std::string(path);
    std::string full = "\\\\";
    full += host;
    full += path;
    return full;
}

std::string LocalHostName()
{
    std::string name = quel::LocalHostName();
    return name.empty() ? std::string("localhost") : name;
}

} // namespace quel::cli
