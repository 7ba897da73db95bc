#include "platform/perf_name_list.h"

#include <algorithm>

namespace quel {

std::vector<std::string> SplitNameList(const char* buffer, std::size_t length)
{
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos < length && buffer[pos] != '\0') {
        std::size_t end = pos;
        while (end < length && buffer[end] != '\0')
            ++end;
        names.emplace_back(buffer + pos, end - pos);
        pos = end + 1;
    }
    return names;
}

PerfStatus ReadObjectItems(PerfDataSource& source, std::string_view object, std::vector<std::string>& counters,
                           std::vector<std::string>& instances, std::string_view computer)
{
    counters.clear();
    instances.clear();
    std::vector<char> counterBuffer;
    std::vector<char> instanceBuffer;
    constexpr int Attempts = 5;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        std::size_t countersLength = counterBuffer.size();
        std::size_t instancesLength = instanceBuffer.size();
        const PerfStatus status = source.EnumObjectItems(
            object, counterBuffer.empty() ? nullptr : counterBuffer.data(), countersLength,
            instanceBuffer.empty() ? nullptr : instanceBuffer.data(), instancesLength, computer);
        if (status == perf_status::Ok) {
            counters = SplitNameList(counterBuffer.data(), std::min(countersLength, counterBuffer.size()));
            instances = SplitNameList(instanceBuffer.data(), std::min(instancesLength, instanceBuffer.size()));
            return perf_status::Ok;
        }
        if (status != perf_status::MoreData)
            return status;
        counterBuffer.assign(countersLength, '\0');
        instanceBuffer.assign(instancesLength, '\0');
    }
    return perf_status::MoreData;
}

} // namespace quel
