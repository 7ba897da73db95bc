#pragma once
// RateBaseline: the raw values a rate counter keeps from its previous collection, with the rules
// every rate follows: the first collection (or the first after its instance changed identity)
// only stores the values; a value that went backwards is a reset unless the field is a 32-bit
// counter, which is unwrapped modulo 2^32.

#include "platform/perf_data_source.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace quel {

enum class RateStep {
    Primed,  // no usable baseline: store this collection's values, no value yet
    Reset,   // a raw value went backwards: store, no value yet
    Ready,   // deltas computed
};

template <std::size_t N>
class RateBaseline {
public:
    using Raw = std::array<std::uint64_t, N>;

    // wrap32: bit i set when field i is a 32-bit counter that wraps.
    explicit RateBaseline(std::uint32_t wrap32 = 0) : wrap32_(wrap32) {}

    // Compares with the stored values without changing them; fills delta when Ready.
    RateStep Compare(std::uint64_t key, const Raw& raw, Raw& delta) const
    {
        if (!primed_ || key != key_)
            return RateStep::Primed;
        for (std::size_t i = 0; i < N; ++i) {
            if (raw[i] >= raw_[i]) {
                delta[i] = raw[i] - raw_[i];
            } else if ((wrap32_ >> i & 1U) != 0 && raw_[i] <= Max32 && raw[i] <= Max32) {
                delta[i] = raw[i] + (Max32 + 1) - raw_[i];
            } else {
                return RateStep::Reset;
            }
        }
        return RateStep::Ready;
    }

    void Store(std::uint64_t key, const Raw& raw, std::int64_t timeNs)
    {
        primed_ = true;
        key_ = key;
        raw_ = raw;
        timeNs_ = timeNs;
    }

    void Forget() { primed_ = false; }
    std::int64_t TimeNs() const { return timeNs_; }

private:
    static constexpr std::uint64_t Max32 = 0xFFFFFFFFULL;

    std::uint32_t wrap32_;
    bool primed_ = false;
    std::uint64_t key_ = 0;
    Raw raw_{};
    std::int64_t timeNs_ = 0;
};

// One step of a time-based rate: on Ok, delta holds the raw deltas and seconds the time between
// the two collections. When no time has passed the baseline is kept and there is no value.
template <std::size_t N>
PerfStatus AdvanceRate(RateBaseline<N>& baseline, std::uint64_t key, const typename RateBaseline<N>::Raw& raw,
                       std::int64_t nowNs, typename RateBaseline<N>::Raw& delta, double& seconds)
{
    if (baseline.Compare(key, raw, delta) != RateStep::Ready) {
        baseline.Store(key, raw, nowNs);
        return perf_status::NoData;
    }
    const std::int64_t elapsedNs = nowNs - baseline.TimeNs();
    if (elapsedNs <= 0)
        return perf_status::NoData;
    baseline.Store(key, raw, nowNs);
    seconds = static_cast<double>(elapsedNs) / 1e9;
    return perf_status::Ok;
}

// A count per second between two collections; on Ok, value holds it.
inline PerfStatus CountPerSecond(RateBaseline<1>& baseline, std::uint64_t count, std::int64_t nowNs, double& value)
{
    RateBaseline<1>::Raw delta{};
    double seconds = 0.0;
    const PerfStatus status = AdvanceRate(baseline, 0, {count}, nowNs, delta, seconds);
    if (status == perf_status::Ok)
        value = static_cast<double>(delta[0]) / seconds;
    return status;
}

} // namespace quel
