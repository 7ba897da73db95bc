// The counter tables are the one source of the browser's explanations and of docs/counters.md:
// every counter the provider serves has its row, and the page in the repository is the one the
// tables make (QUEL_UPDATE_DOCS=1 writes it anew).

#include "fixture_machine.h"
#include "platform/object_catalog.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

namespace quel::test {
namespace {

std::string Lowered(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

TEST(CounterCatalog, EveryServedCounterHasItsUnitExplanationSourcesAndRow)
{
    FixtureProvider provider("machine-4cpu");
    std::vector<std::string> objects;
    ASSERT_EQ(provider.source.EnumObjects(objects), perf_status::Ok);
    ASSERT_EQ(objects.size(), ObjectCatalog().size());
    const std::string page = CounterCatalogPage();
    std::set<std::string> objectNames;
    for (const std::string& object : objects) {
        const ObjectFamily* family = FindObjectFamily(object);
        ASSERT_NE(family, nullptr) << object;
        EXPECT_TRUE(objectNames.insert(Lowered(object)).second) << object << " is listed twice";
        EXPECT_FALSE(family->explanation.empty()) << object;
        EXPECT_NE(page.find("\n## " + object + "\n"), std::string::npos) << object;
        std::set<std::string> counterNames;
        for (const std::string& counter : provider.Counters(object)) {
            const std::optional<std::size_t> index = FindCounterIndex(*family, counter);
            ASSERT_TRUE(index) << object << "\\" << counter;
            const CounterInfo& info = family->counters[*index];
            EXPECT_TRUE(counterNames.insert(Lowered(counter)).second) << object << "\\" << counter << " twice";
            EXPECT_FALSE(info.unit.empty()) << object << "\\" << counter;
            EXPECT_FALSE(info.local.empty()) << object << "\\" << counter;
            EXPECT_GT(info.explanation.size(), 20u) << object << "\\" << counter;
            EXPECT_TRUE(info.explanation.ends_with('.')) << object << "\\" << counter;
            EXPECT_NE(page.find("| " + counter + " | "), std::string::npos) << object << "\\" << counter;
        }
    }
}

TEST(CounterCatalog, TheRepositoryPageIsTheOneTheTablesMake)
{
    const std::string path = std::string(QUEL_SOURCE_DIR) + "/docs/counters.md";
    const std::string page = CounterCatalogPage();
    if (const char* update = std::getenv("QUEL_UPDATE_DOCS"); update != nullptr && *update == '1') {
        std::ofstream(path, std::ios::binary) << page;
        GTEST_SKIP() << "wrote " << path;
    }
    EXPECT_EQ(ReadFile(path), page) << path << " is out of date: run QUEL_UPDATE_DOCS=1 ctest -R CounterCatalog";
}

} // namespace
} // namespace quel::test
