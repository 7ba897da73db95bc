#include "desktop/counter_explanations.h"

#include "platform/object_catalog.h"

namespace quel::desktop {

std::string_view ExplainCounter(std::string_view object, std::string_view counter)
{
    const ObjectFamily* family = FindObjectFamily(object);
    if (family == nullptr)
        return {};
    const std::optional<std::size_t> index = FindCounterIndex(*family, counter);
    return index ? family->counters[*index].explanation : std::string_view();
}

std::string_view ExplainObject(std::string_view object)
{
    const ObjectFamily* family = FindObjectFamily(object);
    return family != nullptr ? family->explanation : std::string_view();
}

} // namespace quel::desktop
