#include "cli/object_items.h"

#include "platform/counter_path.h"
#include "platform/object_catalog.h"
#include "platform/perf_name_list.h"

#include <cstdio>

namespace quel::cli {

PerfStatus EnumerateObjectItems(PerfDataSource& source, std::string_view object, ObjectItems& items,
                                std::string_view computer)
{
    items = {};
    items.object = object;
    if (const ObjectFamily* family = FindObjectFamily(object)) {
        items.object = family->name;
        items.hasInstances = family->hasInstances;
    }
    const PerfStatus status = ReadObjectItems(source, object, items.counters, items.instances, computer);
    if (status == perf_status::Ok && !items.instances.empty())
        items.hasInstances = true;
    return status;
}

std::string MakePath(std::string_view object, const std::string* instance, std::string_view counter)
{
    std::string path = "\\";
    path += object;
    if (instance != nullptr) {
        path += '(';
        path += *instance;
        path += ')';
    }
    path += '\\';
    path += counter;
    return path;
}

std::vector<std::string> ObjectPaths(const ObjectItems& items, bool withInstances)
{
    static const std::string Wildcard = "*";
    std::vector<std::string> paths;
    for (const std::string& counter : items.counters) {
        if (!items.hasInstances) {
            paths.push_back(MakePath(items.object, nullptr, counter));
        } else if (!withInstances) {
            paths.push_back(MakePath(items.object, &Wildcard, counter));
        } else {
            for (const std::string& instance : items.instances)
                paths.push_back(MakePath(items.object, &instance, counter));
        }
    }
    return paths;
}

std::string DescribeStatus(PerfStatus status)
{
    switch (status) {
    case perf_status::Ok:
        return "ok";
    case perf_status::NoObject:
        return "no such object";
    case perf_status::NoCounter:
        return "the object has no such counter";
    case perf_status::NoInstance:
        return "no such instance";
    case perf_status::NoData:
        return "no value yet";
    case perf_status::Unreadable:
        return "the value cannot be read";
    case perf_status::BadPath:
        return "not a counter path (\\Object(instance)\\Counter or \\Object\\Counter)";
    case perf_status::NoMachine:
        return "the computer did not answer";
    case perf_status::NotRemote:
        return "not available from this computer";
    case perf_status::RemoteUnavailable:
        return "remote computers cannot be read here (the quel_remote module is missing)";
    case perf_status::NoMemory:
        return "out of memory";
    case perf_status::NoLibrary:
        return "the driver's library that reads it is not installed (libnvidia-ml.so.1)";
    default:
        break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "status 0x%08X", static_cast<unsigned>(status));
    return text;
}

std::string DescribePathStatus(std::string_view path, PerfStatus status)
{
    CounterPath parts;
    if (status == perf_status::NoInstance && ParseCounterPath(path, parts)) {
        if (const ObjectFamily* family = FindObjectFamily(parts.object)) {
            if (family->hasInstances && !parts.hasInstance)
                return "the object needs an instance: \\Object(instance)\\Counter";
            if (!family->hasInstances && parts.hasInstance)
                return "the object has no instances: \\Object\\Counter";
        }
    }
    return DescribeStatus(status);
}

} // namespace quel::cli
