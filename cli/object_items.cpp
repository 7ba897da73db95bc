#include "cli/object_items.h"

#include "platform/counter_path.h"
#include "platform/object_catalog.h"

#include <cstdio>

namespace quel::cli {
namespace {

std::vector<std::string> SplitNameList(const std::vector<char>& buffer)
{
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos < buffer.size() && buffer[pos] != '\0') {
        std::size_t end = pos;
        while (end < buffer.size() && buffer[end] != '\0')
            ++end;
        names.emplace_back(buffer.data() + pos, end - pos);
        pos = end + 1;
    }
    return names;
}

} // namespace

PerfStatus EnumerateObjectItems(PerfDataSource& source, std::string_view object, ObjectItems& items)
{
    items = {};
    items.object = object;
    if (const ObjectFamily* family = FindObjectFamily(object)) {
        items.object = family->name;
        items.hasInstances = family->hasInstances;
    }
    std::vector<char> counters;
    std::vector<char> instances;
    // The instances may change between the size query and the listing: ask again a few times.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::size_t countersLength = counters.size();
        std::size_t instancesLength = instances.size();
        const PerfStatus status = source.EnumObjectItems(object, counters.empty() ? nullptr : counters.data(),
                                                         countersLength,
                                                         instances.empty() ? nullptr : instances.data(),
                                                         instancesLength);
        if (status == perf_status::Ok) {
            counters.resize(countersLength);
            instances.resize(instancesLength);
            items.counters = SplitNameList(counters);
            items.instances = SplitNameList(instances);
            if (!items.instances.empty())
                items.hasInstances = true;
            return perf_status::Ok;
        }
        if (status != perf_status::MoreData)
            return status;
        counters.assign(countersLength, '\0');
        instances.assign(instancesLength, '\0');
    }
    return perf_status::MoreData;
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
        return "remote computers are not supported";
    case perf_status::NoMemory:
        return "out of memory";
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
