// The configuration block: SaveToFile, LoadFromFile and the base header.

#include "platform/atomic_file.h"
#include "windrose/config_reader.h"
#include "windrose/number_text.h"
#include "windrose/wind_rose.h"
#include "windrose/wind_rose_state.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace quel {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

void WriteAxisSection(ConfigWriter& file, const WindRoseAxis& axis)
{
    file.Line("BeginAxis");
    file.Key("Name", axis.Name ? std::string_view(*axis.Name) : std::string_view());
    file.Key("Desc", axis.Desc ? std::string_view(*axis.Desc) : std::string_view());
    file.KeyReal("MinValue", axis.MinValue);
    file.KeyReal("MaxValue", axis.MaxValue);
    file.KeyReal("CriticalValue", axis.CriticalValue);
    file.KeyReal("Multiplier", axis.Multiplier);
    file.Key("Inverse", static_cast<int>(axis.Inverse));
}

void EndAxisSection(ConfigWriter& file)
{
    file.Line("EndAxis");
    file.Line("");
}

// The option keys, recognised outside axis sections.
int* OptionField(WindRoseState& s, const std::string& key)
{
    if (key == "GridStep")
        return &s.GridStep;
    if (key == "CriticalBorder")
        return &s.CriticalBorder;
    if (key == "ShowNames")
        return &s.ShowNames;
    if (key == "ShowNumbers")
        return &s.ShowNumbers;
    if (key == "ShowValues")
        return &s.ShowValues;
    if (key == "LabelTrunc")
        return &s.LabelTrunc;
    return nullptr;
}

// The axis keys with a number, recognised inside axis sections.
double* BoundField(WindRoseAxis& axis, const std::string& key)
{
    if (key == "MinValue")
        return &axis.MinValue;
    if (key == "MaxValue")
        return &axis.MaxValue;
    if (key == "CriticalValue")
        return &axis.CriticalValue;
    if (key == "Multiplier")
        return &axis.Multiplier;
    return nullptr;
}

} // namespace

bool WindRose::WriteHeader(ConfigWriter& file)
{
    file.Line("");
    file.Line("# WINDROSE CONFIGURATION FILE. DO NOT EDIT!");
    file.Line("");
    return true;
}

int WindRose::SaveToFile(const std::string& path)
{
    Guard guard(lock_);
    State& s = *state_;
    try {
        ConfigWriter file;
        if (!WriteHeader(file))
            return 0;
        file.Key("GridStep", s.GridStep);
        file.Key("CriticalBorder", s.CriticalBorder);
        file.Key("ShowNames", s.ShowNames);
        file.Key("ShowNumbers", s.ShowNumbers);
        file.Key("ShowValues", s.ShowValues);
        file.Key("LabelTrunc", s.LabelTrunc);
        if (!WriteExtraKeys(file))
            return 0;
        file.Line("");
        for (int i = 0; i < s.axisCount; ++i) {
            const WindRoseAxis& axis = s.axes[static_cast<std::size_t>(i)];
            WriteAxisSection(file, axis);
            if (axis.data && !WriteAxisData(file, *axis.data))
                return 0;
            EndAxisSection(file);
        }
        if (!WriteFileAtomically(path, file.Text()))
            return 0;
    } catch (const std::exception&) {
        return 0;
    }
    s.modified = 0;
    return 1;
}

int WindRose::LoadFromFile(const std::string& path)
{
    if (path.empty())
        return 0;
    Guard guard(lock_);
    State& s = *state_;
    s.lastError = Ok;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return 0;
    bool readAll = true;
    try {
        ConfigReader reader(file);
        ConfigLine line;
        WindRoseAxis* current = nullptr;
        int currentIndex = -1;
        while (reader.Next(line)) {
            if (current != nullptr && currentIndex >= s.axisCount)
                current = nullptr;  // a hook removed the axis being read
            if (line.key == "BeginAxis") {
                if (s.axisCount >= s.AxisCapacity)
                    break;  // a full axis table ends the load; no failure
                currentIndex = s.axisCount++;
                current = &s.axes[static_cast<std::size_t>(currentIndex)];
                current->MinValue = current->MaxValue = current->CriticalValue = 0.0;
                current->Multiplier = 1.0;
                current->Inverse = 0;
            } else if (line.key == "EndAxis") {
                current = nullptr;
            } else if (current == nullptr) {
                if (int* option = OptionField(s, line.key))
                    *option = ReadDecimalInt(line.value);
                else
                    ReadExtraKey(line.key, line.value);
            } else if (line.key == "Name") {
                current->Name = line.value;
            } else if (line.key == "Desc") {
                current->Desc = line.value;
            } else if (double* bound = BoundField(*current, line.key)) {
                *bound = ReadDecimalReal(line.value);
            } else if (line.key == "Inverse") {
                current->Inverse = ReadDecimalInt(line.value) != 0 ? 1 : 0;
            } else if (AxisDataPtr data = ReadAxisKey(line.key, line.value)) {
                if (currentIndex < s.axisCount)
                    data = std::exchange(current->data, std::move(data));
                FreeAxisData(std::move(data));
            }
        }
        readAll = !reader.Failed();
    } catch (const std::exception&) {
        readAll = false;
    }
    const bool closed = std::fclose(file) == 0;
    if (!readAll || !closed)
        return 0;
    s.modified = 0;
    return 1;
}

} // namespace quel
