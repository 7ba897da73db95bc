#include "cli/list_command.h"

#include "cli/arguments.h"
#include "cli/object_items.h"

#include <algorithm>

namespace quel::cli {

const char* const ListHelp =
    "Usage: quelmonctl list [OBJECT...] [--no-instances] [--computer HOST[:PORT]]\n"
    "\n"
    "Without an object, prints the performance objects this machine offers, one per line.\n"
    "With objects, prints the full path of every counter of each object and every instance\n"
    "that exists now, one per line, in the form \\Object(instance)\\Counter.\n"
    "\n"
    "Options:\n"
    "  --computer HOST[:PORT]  list another computer's, read from its metrics endpoint\n"
    "                          (a node exporter, default port 9100, or quelmondsrvc's);\n"
    "                          the paths then start with \\\\HOST[:PORT]\n"
    "  --no-instances          print \\Object(*)\\Counter instead of one line per instance\n"
    "  -h, --help              show this help\n"
    "\n"
    "Examples: quelmonctl list Processor\n"
    "          quelmonctl list --computer web01:9100 Memory\n";

int RunList(const Arguments& args, PerfDataSource& source, CommandStreams io)
{
    ParsedArguments parsed;
    std::string error;
    if (!ParseArguments(args, {{"", "--no-instances", false}, {"", "--computer", true}}, parsed, error))
        return UsageError(io.err, "list", error);
    const std::string computer = parsed.Value("--computer").value_or("");
    const std::string prefix = computer.empty() ? std::string() : "\\\\" + computer;

    if (parsed.positional.empty()) {
        std::vector<std::string> objects;
        const PerfStatus status = source.EnumObjects(objects, computer);
        if (status != perf_status::Ok) {
            ReportError(io.err, "list", "cannot list the objects: " + DescribeStatus(status));
            return ExitFindings;
        }
        for (const std::string& object : objects)
            io.out << object << '\n';
        io.out.flush();
        return ExitSuccess;
    }

    const bool withInstances = !parsed.Has("--no-instances");
    int result = ExitSuccess;
    for (const std::string& object : parsed.positional) {
        ObjectItems items;
        const PerfStatus status = EnumerateObjectItems(source, object, items, computer);
        if (status != perf_status::Ok) {
            ReportError(io.err, "list", "\"" + object + "\": " + DescribeStatus(status));
            result = std::max<int>(result, status == perf_status::NoObject ? ExitUsage : ExitFindings);
            continue;
        }
        for (const std::string& path : ObjectPaths(items, withInstances))
            io.out << prefix << path << '\n';
    }
    io.out.flush();
    return result;
}

} // namespace quel::cli
