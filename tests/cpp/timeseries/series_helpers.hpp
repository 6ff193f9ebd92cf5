#pragma once
// Building blocks shared by the series tests.
#include <chrono>
#include <optional>
#include <vector>

#include "tarnel/timeseries/single_timeseries.hpp"

namespace series_test {

using namespace std::chrono_literals;
using tarnel::timeseries::Duration;
using tarnel::timeseries::Instant;
using tarnel::timeseries::SingleTimeseries;

inline const Instant t0 = Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));
inline constexpr Duration one_day = std::chrono::hours(24);

// Points t0, t0 + step, t0 + 2 step, ... with the given values.
inline std::vector<Instant> regular(std::size_t n, Duration step) {
    std::vector<Instant> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(t0 + step * static_cast<long>(i));
    return out;
}

inline SingleTimeseries series(std::vector<Instant> t, std::vector<double> v, std::optional<Duration> sampling) {
    return SingleTimeseries::from_components(std::move(t), std::move(v), sampling).value();
}

inline SingleTimeseries daily(std::vector<double> v) {
    auto n = v.size();
    return series(regular(n, one_day), std::move(v), one_day);
}

}  // namespace series_test
