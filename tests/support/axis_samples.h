#pragma once
// A row of raw counter values as the sampling thread records it for the log: -1.0 stands for a
// failed read, and the axes of rose scale and classify the values.

#include "windrose/wind_rose.h"

#include <span>
#include <vector>

namespace quel::test {

inline std::vector<AxisSample> SampleOf(const WindRose& rose, std::span<const double> raw)
{
    std::vector<AxisSample> sample(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
        sample[i] = AxisSample {.read = raw[i] != -1.0, .raw = raw[i]};
    rose.ScaleSample(sample);
    return sample;
}

} // namespace quel::test
