// The configuration block: SaveToText, SaveToFile, LoadFromFile and the base header.

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "windrose/config_keys.h"
#include "windrose/config_reader.h"
#include "windrose/number_text.h"
#include "windrose/wind_rose.h"
#include "windrose/wind_rose_state.h"

#include <cstddef>
#include <cstdio>
#include <exception>
#include <utility>

namespace quel {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

void WriteAxisSection(ConfigWriter& file, const WindRoseAxis& axis)
{
    file.Line(BeginAxisMarker);
    file.Key(AxisNameKey, axis.Name ? std::string_view(*axis.Name) : std::string_view());
    file.Key(AxisDescKey, axis.Desc ? std::string_view(*axis.Desc) : std::string_view());
    file.KeyReal(AxisBoundKeys[0], axis.MinValue);
    file.KeyReal(AxisBoundKeys[1], axis.MaxValue);
    file.KeyReal(AxisBoundKeys[2], axis.CriticalValue);
    file.KeyReal(AxisBoundKeys[3], axis.Multiplier);
    file.Key(AxisInverseKey, static_cast<int>(axis.Inverse));
}

void EndAxisSection(ConfigWriter& file)
{
    file.Line(EndAxisMarker);
    file.Line("");
}

// The fields behind OptionKeys and AxisBoundKeys, in the same order.
constexpr std::array<int WindRoseState::*, OptionKeys.size()> OptionFields {
    &WindRoseState::GridStep,    &WindRoseState::CriticalBorder, &WindRoseState::ShowNames,
    &WindRoseState::ShowNumbers, &WindRoseState::ShowValues,     &WindRoseState::LabelTrunc};
constexpr std::array<double WindRoseAxis::*, AxisBoundKeys.size()> BoundFields {
    &WindRoseAxis::MinValue, &WindRoseAxis::MaxValue, &WindRoseAxis::CriticalValue, &WindRoseAxis::Multiplier};

template <typename Keys>
std::size_t KeyIndex(const Keys& keys, std::string_view key)
{
    std::size_t i = 0;
    while (i < keys.size() && keys[i] != key)
        ++i;
    return i;
}

int* OptionField(WindRoseState& s, const std::string& key)
{
    const std::size_t i = KeyIndex(OptionKeys, key);
    return i < OptionFields.size() ? &(s.*OptionFields[i]) : nullptr;
}

double* BoundField(WindRoseAxis& axis, const std::string& key)
{
    const std::size_t i = KeyIndex(AxisBoundKeys, key);
    return i < BoundFields.size() ? &(axis.*BoundFields[i]) : nullptr;
}

} // namespace

bool WindRose::WriteHeader(ConfigWriter& file)
{
    file.Line("");
    file.Line("# WINDROSE CONFIGURATION FILE. DO NOT EDIT!");
    file.Line("");
    return true;
}

int WindRose::SaveToText(std::string& text)
{
    Guard guard(lock_);
    State& s = *state_;
    try {
        ConfigWriter file;
        if (!WriteHeader(file))
            return 0;
        for (std::size_t i = 0; i < OptionKeys.size(); ++i)
            file.Key(OptionKeys[i], s.*OptionFields[i]);
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
        text = file.Text();
    } catch (const std::exception&) {
        return 0;
    }
    return 1;
}

int WindRose::SaveToFile(const std::string& path)
{
    Guard guard(lock_);
    try {
        std::string text;
        if (!SaveToText(text) || !WriteFileAtomically(path, text))
            return 0;
    } catch (const std::exception&) {
        return 0;
    }
    state_->modified = 0;
    return 1;
}

int WindRose::LoadFromFile(const std::string& path)
{
    if (path.empty())
        return 0;
    Guard guard(lock_);
    state_->lastError = Ok;
    // Never blocks: a FIFO or device in the file's place fails like a missing file.
    UniqueFd fd;
    FileProblem problem;
    if (!OpenRegularFile(path, fd, problem))
        return 0;
    std::FILE* file = ::fdopen(fd.Get(), "rb");
    if (file == nullptr)
        return 0;
    fd.Release();
    ConfigReader reader(file);
    const bool readAll = ReadConfiguration(reader);
    const bool closed = std::fclose(file) == 0;
    if (!readAll || !closed)
        return 0;
    state_->modified = 0;
    return 1;
}

int WindRose::LoadFromText(std::string_view text)
{
    Guard guard(lock_);
    state_->lastError = Ok;
    ConfigReader reader(text);
    if (!ReadConfiguration(reader))
        return 0;
    state_->modified = 0;
    return 1;
}

// The configuration block's lines into the model, through the hooks; false on a read error.
bool WindRose::ReadConfiguration(ConfigReader& reader)
{
    State& s = *state_;
    try {
        ConfigLine line;
        WindRoseAxis* current = nullptr;
        int currentIndex = -1;
        while (reader.Next(line)) {
            if (current != nullptr && currentIndex >= s.axisCount)
                current = nullptr;  // a hook removed the axis being read
            if (line.key == BeginAxisMarker) {
                if (s.axisCount >= s.AxisCapacity)
                    break;  // a full axis table ends the load; no failure
                currentIndex = s.axisCount++;
                current = &s.axes[static_cast<std::size_t>(currentIndex)];
                current->MinValue = current->MaxValue = current->CriticalValue = 0.0;
                current->Multiplier = 1.0;
                current->Inverse = 0;
            } else if (line.key == EndAxisMarker) {
                current = nullptr;
            } else if (current == nullptr) {
                if (int* option = OptionField(s, line.key))
                    *option = ReadDecimalInt(line.value);
                else
                    ReadExtraKey(line.key, line.value);
            } else if (line.key == AxisNameKey) {
                current->Name = line.value;
            } else if (line.key == AxisDescKey) {
                current->Desc = line.value;
            } else if (double* bound = BoundField(*current, line.key)) {
                *bound = ReadDecimalReal(line.value);
            } else if (line.key == AxisInverseKey) {
                current->Inverse = ReadDecimalInt(line.value) != 0 ? 1 : 0;
            } else if (AxisDataPtr data = ReadAxisKey(line.key, line.value)) {
                if (currentIndex < s.axisCount)
                    data = std::exchange(current->data, std::move(data));
                FreeAxisData(std::move(data));
            }
        }
        return !reader.Failed();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quel
