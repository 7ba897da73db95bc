#include "desktop/counter_browser_model.h"

#include "platform/counter_path.h"
#include "platform/perf_name_list.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace quel::desktop {

namespace {

bool ContainsNoCase(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                   [&](char a, char b) { return lower(a) == lower(b); });
    return found != text.end();
}

// The indices of the names that match; all of them when none does.
std::vector<std::size_t> Matching(const std::vector<std::string>& names, std::string_view filter, bool& any)
{
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (ContainsNoCase(names[i], filter))
            indices.push_back(i);
    }
    any = !indices.empty();
    if (!any) {
        for (std::size_t i = 0; i < names.size(); ++i)
            indices.push_back(i);
    }
    return indices;
}

} // namespace

bool IsCostlyObject(std::string_view object)
{
    return text::EqualsNoCase(object, "Server");
}

bool IsThisComputer(std::string_view computer, std::string_view hostName)
{
    return computer.empty() || IsLocalComputer(computer, hostName);
}

PerfStatus ListBrowsedObjects(PerfDataSource& source, const std::string& computer, std::string_view hostName,
                              bool includeCostly, std::vector<BrowsedObject>& objects)
{
    objects.clear();
    // Another computer is asked for its page once; the provider keeps it for the items.
    const std::string_view remote = IsThisComputer(computer, hostName) ? std::string_view() : computer;
    std::vector<std::string> names;
    if (const PerfStatus status = source.EnumObjects(names, remote); status != perf_status::Ok)
        return status;
    for (const std::string& name : names) {
        if (IsCostlyObject(name) && !includeCostly)
            continue;
        BrowsedObject object;
        object.name = name;
        std::vector<std::string> instances;
        if (ReadObjectItems(source, name, object.counters, instances, remote) != perf_status::Ok)
            continue;
        object.instances = WithInstanceIndices(instances);
        object.hasInstances = !object.instances.empty();
        objects.push_back(std::move(object));
    }
    return perf_status::Ok;
}

std::vector<std::string> WithInstanceIndices(const std::vector<std::string>& instances)
{
    std::vector<std::string> indexed;
    std::map<std::string, int> seen;
    for (const std::string& name : instances) {
        const int count = seen[name]++;
        indexed.push_back(count == 0 ? name : name + "#" + std::to_string(count));
    }
    return indexed;
}

FilteredObject FilterObject(const BrowsedObject& object, std::string_view filter)
{
    FilteredObject result;
    // An object found by its name offers everything it has.
    const std::string_view items = ContainsNoCase(object.name, filter) ? std::string_view() : filter;
    bool counterMatched = false, instanceMatched = false;
    result.counters = Matching(object.counters, items, counterMatched);
    result.instances = Matching(object.instances, items, instanceMatched);
    result.shown = items.empty() || counterMatched || instanceMatched;
    return result;
}

std::string ComposeCounterPath(const std::string& computer, const std::string& object, const std::string* instance,
                               const std::string& counter)
{
    std::string path;
    if (!computer.empty())
        path = "\\\\" + computer;
    path += "\\" + object;
    if (instance != nullptr)
        path += "(" + *instance + ")";
    path += "\\" + counter;

    CounterPath parts;
    const bool same = ParseCounterPath(path, parts) && parts.computer == computer && parts.object == object
        && parts.hasInstance == (instance != nullptr) && (instance == nullptr || parts.instance == *instance)
        && parts.counter == counter;
    return same ? path : std::string();
}

} // namespace quel::desktop
