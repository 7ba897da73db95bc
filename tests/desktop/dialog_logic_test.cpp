// The dialogs' logic without windows: numbers in fields, the axis field checks, carrying bounds
// into an axis, and what the counter browser lists and composes.

#include "desktop/counter_browser_model.h"
#include "desktop/counter_explanations.h"
#include "desktop/field_exchange.h"
#include "desktop/spin_field.h"
#include "desktop/working_list.h"
#include "platform/linux_perf_data_source.h"
#include "platform/object_catalog.h"
#include "support/server_process.h"
#include "windrose/wind_rose.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace quel::desktop::test {
namespace {

TEST(FieldExchange, NumbersShowUpTo15SignificantDigitsWithoutSeparatorsWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatNumber(100), "100");
    EXPECT_EQ(FormatNumber(0.25), "0.25");
    EXPECT_EQ(FormatNumber(1234567.5), "1234567.5");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");  // 15 digits hide the binary rest
    EXPECT_EQ(FormatNumber(123456789012345678.0), "1.23456789012346e+17");
    double value = 0;
    ASSERT_TRUE(ReadNumber(FormatNumber(1.0 / 3.0), value));
    EXPECT_DOUBLE_EQ(value, 0.333333333333333);
    QLocale::setDefault(QLocale::c());
}

TEST(FieldExchange, ReadsNumbersAsTypedAndRefusesEverythingElse)
{
    double value = -1;
    EXPECT_TRUE(ReadNumber("  12.5 ", value));
    EXPECT_EQ(value, 12.5);
    EXPECT_TRUE(ReadNumber("+3e2", value));
    EXPECT_EQ(value, 300);
    EXPECT_TRUE(ReadNumber("-0.5", value));
    EXPECT_EQ(value, -0.5);
    value = 7;
    for (const char* bad : {"", "  ", "1,5", "1 000", "12abc", "abc", "inf", "nan", "1e999", "+-1", "0x10"}) {
        EXPECT_FALSE(ReadNumber(bad, value)) << bad;
        EXPECT_EQ(value, 7) << "a failed read leaves the value alone: " << bad;
    }
}

TEST(FieldExchange, IntegersTellNoNumberFromOutOfRange)
{
    int value = 0;
    EXPECT_EQ(ReadInteger(" 120 ", 1, 120, value), IntegerField::Ok);
    EXPECT_EQ(value, 120);
    EXPECT_EQ(ReadInteger("150", 1, 120, value), IntegerField::OutOfRange);
    EXPECT_EQ(ReadInteger("0", 1, 10240, value), IntegerField::OutOfRange);
    EXPECT_EQ(ReadInteger("-5", 1, 120, value), IntegerField::OutOfRange);
    EXPECT_EQ(ReadInteger("99999999999999999999", 1, 120, value), IntegerField::OutOfRange);
    EXPECT_EQ(ReadInteger("", 1, 120, value), IntegerField::NotInteger);
    EXPECT_EQ(ReadInteger("2.5", 1, 120, value), IntegerField::NotInteger);
    EXPECT_EQ(ReadInteger("ten", 1, 120, value), IntegerField::NotInteger);
    EXPECT_EQ(value, 120);
    EXPECT_EQ(IntegerFieldMessage(IntegerField::OutOfRange, 1, 10240), "Please enter an integer between 1 and 10240.");
    EXPECT_EQ(IntegerFieldMessage(IntegerField::NotInteger, 1, 120), "Please enter an integer.");
}

std::string FirstError(const AxisFieldTexts& texts)
{
    CounterEntry entry;
    const std::optional<AxisFieldError> error = ReadAxisFields(texts, entry);
    return error ? error->message : "";
}

TEST(AxisFields, AreCheckedInOrderMinMaxCriticalScale)
{
    EXPECT_EQ(FirstError({"x", "a", "b", "c", "d"}), "Please enter a number.");
    EXPECT_EQ(FirstError({"x", "-1", "b", "c", "d"}), "All range values must be positive numbers.");
    EXPECT_EQ(FirstError({"x", "0", "b", "c", "d"}), "Please enter a number.");
    EXPECT_EQ(FirstError({"x", "20", "10", "c", "d"}), "Maximal value should be more than minimal value.");
    EXPECT_EQ(FirstError({"x", "0", "-3", "c", "d"}), "All range values must be positive numbers.");
    EXPECT_EQ(FirstError({"x", "0", "100", "c", "d"}), "Please enter a number.");
    EXPECT_EQ(FirstError({"x", "10", "100", "5", "d"}),
              "Critical value should be in between of minimal and maximal values.");
    EXPECT_EQ(FirstError({"x", "10", "100", "101", "d"}),
              "Critical value should be in between of minimal and maximal values.");
    EXPECT_EQ(FirstError({"x", "0", "100", "80", "d"}), "Please enter a number.");
    EXPECT_EQ(FirstError({"x", "0", "100", "80", "-1"}), "All range values must be positive numbers.");
    // Values are divided by the scale: 0 is refused.
    EXPECT_EQ(FirstError({"x", "0", "100", "80", "0"}), "All range values must be positive numbers.");

    CounterEntry entry = NewCounterEntry("\\Memory\\Available Bytes");
    entry.inverse = 1;
    EXPECT_FALSE(ReadAxisFields({"RAM", "5", "5", "5", "2.5"}, entry)) << "equal bounds are accepted";
    EXPECT_EQ(entry.label, "RAM");
    EXPECT_EQ(entry.min, 5);
    EXPECT_EQ(entry.max, 5);
    EXPECT_EQ(entry.critical, 5);
    EXPECT_EQ(entry.scale, 2.5);
    EXPECT_EQ(entry.path, "\\Memory\\Available Bytes");
    EXPECT_EQ(entry.inverse, 1);
}

TEST(AxisBounds, AnyValidTripleIsTakenWhateverTheOldBounds)
{
    WindRose rose;
    ASSERT_TRUE(rose.AddAxis("a", "", 0, 0, 100, 80, 1, nullptr));
    const auto bounds = [&] {
        double min = 0, max = 0, critical = 0;
        rose.GetAxisMin(0, min);
        rose.GetAxisMax(0, max);
        rose.GetAxisCritical(0, critical);
        return std::vector<double> {min, max, critical};
    };
    ApplyAxisBounds(rose, 0, 150, 300, 200);  // wholly above the old range
    EXPECT_EQ(bounds(), (std::vector<double> {150, 300, 200}));
    ApplyAxisBounds(rose, 0, 1, 2, 1.5);  // wholly below it
    EXPECT_EQ(bounds(), (std::vector<double> {1, 2, 1.5}));
    ApplyAxisBounds(rose, 0, 7, 7, 7);
    EXPECT_EQ(bounds(), (std::vector<double> {7, 7, 7}));
}

TEST(WorkingListLines, NumberFromOne)
{
    EXPECT_EQ(CounterListLine(2, "\\Memory\\Available Bytes"), "3. \\Memory\\Available Bytes");
}

TEST(CounterPaths, TheProvidersGrammarDecides)
{
    EXPECT_TRUE(IsCounterPath("\\Processor(_Total)\\% Processor Time"));
    EXPECT_TRUE(IsCounterPath("\\\\srv1\\Memory\\Available Bytes"));
    EXPECT_TRUE(IsCounterPath("\\LogicalDisk(/mnt/a (b))\\% Free Space"));
    for (const char* bad : {"", "Memory", "\\Memory", "\\Memory\\", "\\\\srv1", "\\Processor(\\% Processor Time",
                            "\\\\\\Memory\\Available Bytes"})
        EXPECT_FALSE(IsCounterPath(bad)) << bad;

    const std::string total = "_Total";
    EXPECT_EQ(ComposeCounterPath("", "Processor", &total, "% Processor Time"), "\\Processor(_Total)\\% Processor Time");
    EXPECT_EQ(ComposeCounterPath("srv1:9100", "Memory", nullptr, "Available Bytes"),
              "\\\\srv1:9100\\Memory\\Available Bytes");
    EXPECT_EQ(ComposeCounterPath("a\\b", "Memory", nullptr, "Available Bytes"), "")
        << "a computer name with a backslash makes another path";
}

TEST(CounterBrowserModel, RepeatedInstanceNamesGetTheirIndex)
{
    EXPECT_EQ(WithInstanceIndices({"a", "b", "a", "a", "_Total"}),
              (std::vector<std::string> {"a", "b", "a#1", "a#2", "_Total"}));
}

TEST(CounterBrowserModel, TheFilterNarrowsObjectsCountersAndInstances)
{
    const BrowsedObject disk {"PhysicalDisk", {"% Disk Time", "Disk Read Bytes/sec", "Disk Write Bytes/sec"},
                              {"sda", "nvme0n1", "_Total"}, true};
    FilteredObject all = FilterObject(disk, "");
    EXPECT_TRUE(all.shown);
    EXPECT_EQ(all.counters.size(), 3u);
    EXPECT_EQ(all.instances.size(), 3u);

    FilteredObject byName = FilterObject(disk, "physical");
    EXPECT_TRUE(byName.shown);
    EXPECT_EQ(byName.counters.size(), 3u) << "an object found by name offers everything";

    FilteredObject byCounter = FilterObject(disk, "WRITE");
    EXPECT_TRUE(byCounter.shown);
    EXPECT_EQ(byCounter.counters, (std::vector<std::size_t> {2}));
    EXPECT_EQ(byCounter.instances.size(), 3u) << "no instance matches: all stay";

    FilteredObject byInstance = FilterObject(disk, "nvme");
    EXPECT_TRUE(byInstance.shown);
    EXPECT_EQ(byInstance.counters.size(), 3u);
    EXPECT_EQ(byInstance.instances, (std::vector<std::size_t> {1}));

    EXPECT_FALSE(FilterObject(disk, "eth0").shown);
}

TEST(CounterBrowserModel, ListsTheProvidersObjectsWithoutTheCostlyOneUnlessAsked)
{
    const std::string machine = std::string(QUEL_FIXTURES_DIR) + "/machine-4cpu/";
    LinuxPerfDataSource source(machine + "proc", machine + "sys");
    std::vector<BrowsedObject> objects;
    ASSERT_EQ(ListBrowsedObjects(source, "", "box", false, objects), perf_status::Ok);
    std::vector<std::string> names;
    for (const BrowsedObject& object : objects)
        names.push_back(object.name);
    EXPECT_EQ(std::find(names.begin(), names.end(), "Server"), names.end());
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ(objects.front().name, "Processor");
    EXPECT_EQ(objects.front().instances, (std::vector<std::string> {"0", "1", "2", "3", "_Total"}));

    ASSERT_EQ(ListBrowsedObjects(source, "LOCALHOST", "box", true, objects), perf_status::Ok);
    EXPECT_EQ(objects.size(), ObjectCatalog().size());
    // Another computer is asked over the network: here a loopback port where nothing listens.
    const std::string closed = "127.0.0.1:" + std::to_string(quel::test::FreeLoopbackPort());
    EXPECT_EQ(ListBrowsedObjects(source, closed, "box", true, objects), perf_status::NoMachine);
    EXPECT_TRUE(objects.empty());
}

TEST(CounterExplanations, EveryCounterOfTheProviderHasOne)
{
    for (const ObjectFamily* family : ObjectCatalog()) {
        for (const CounterInfo& counter : family->counters) {
            EXPECT_FALSE(ExplainCounter(family->name, counter.name).empty()) << family->name << "\\" << counter.name;
            EXPECT_EQ(ExplainCounter(family->name, counter.name), counter.explanation);
        }
    }
    EXPECT_TRUE(ExplainCounter("Memory", "Bogus").empty());
}

TEST(SpinField, StepsBy1ThenBy10AfterASecond)
{
    EXPECT_EQ(SpinStep(0), 1);
    EXPECT_EQ(SpinStep(999), 1);
    EXPECT_EQ(SpinStep(1000), 10);
    EXPECT_EQ(SpinStep(5000), 10);
}

} // namespace
} // namespace quel::desktop::test
