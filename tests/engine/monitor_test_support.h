#pragma once
// A sampled monitor over a scripted source and a fake clock.

#include "engine/counter_monitor.h"
#include "tests/engine/fake_clock.h"
#include "tests/engine/scripted_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quel::test {

class RecordingSink : public MessageSink {
public:
    void ShowMessage(const std::string& text) override
    {
        std::lock_guard guard(lock_);
        messages_.push_back(text);
    }
    std::vector<std::string> Messages() const
    {
        std::lock_guard guard(lock_);
        return messages_;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> messages_;
};

class CountingRepaint : public RepaintTarget {
public:
    void Invalidate() override { ++count; }
    std::atomic<int> count {0};
};

class MonitorTest : public ::testing::Test {
protected:
    FakeClock clock;
    ScriptedSource source {&clock};
    RecordingSink sink;
    std::unique_ptr<CounterMonitor> monitor;

    void SetUp() override { MakeMonitor(false); }

    void TearDown() override
    {
        source.Resume();
        if (monitor) {
            EXPECT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
        }
        monitor.reset();
    }

    void MakeMonitor(bool interactive)
    {
        if (monitor) {
            ASSERT_TRUE(WaitFor([&] { return monitor->StopSampling(); }));
        }
        MonitorEnvironment environment;
        environment.source = &source;
        environment.interactive = interactive;
        environment.messages = &sink;
        environment.clock = &clock;
        monitor = std::make_unique<CounterMonitor>(environment);
        monitor->SetUpDefaultProfile();
        monitor->RemoveAllAxes();
        MonitorSettings settings = monitor->GetSettings();
        settings.LogMode = 0;
        settings.Interval = 1;
        monitor->ApplySettings(settings);
    }

    void AddAxis(const std::string& path, double maxValue = 100, double critical = 80, double multiplier = 1)
    {
        ASSERT_TRUE(monitor->AddAxis(path, "", 0, 0, maxValue, critical, multiplier,
                                     std::make_unique<CounterPathData>(path)));
    }

    // Waits until the axis's current value is the given one (a sample with it has been taken).
    bool WaitForCurrent(int axis, double value)
    {
        return WaitFor([&] {
            double current = 0, maximum = 0, average = 0;
            return monitor->GetStatistics(axis, current, maximum, average) && current == value;
        });
    }

    struct Stats {
        double current = 0, maximum = 0, average = 0;
    };
    Stats StatsOf(int axis)
    {
        Stats s;
        EXPECT_TRUE(monitor->GetStatistics(axis, s.current, s.maximum, s.average));
        return s;
    }

    double Cell(int axis, int series)
    {
        double value = 0;
        EXPECT_TRUE(monitor->GetValue(axis, value, series));
        return value;
    }
    int State(int axis, int series)
    {
        int state = -1;
        EXPECT_TRUE(monitor->GetValueState(axis, state, series));
        return state;
    }
};

} // namespace quel::test
