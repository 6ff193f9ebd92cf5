#pragma once
// Resampling onto a regular grid that starts at the first timestamp, by
// linear interpolation between the surrounding points.
#include <cstdint>
#include <optional>

#include "tarnel/timeseries/single_timeseries.hpp"

namespace tarnel::timeseries {

// Largest grid a resampling builds.
inline constexpr std::int64_t max_resample_points = 2'147'483'647;

// With no sampling requested, a copy without sampling. Otherwise the grid
// first + i * sampling up to the last timestamp (which it need not reach).
util::Result<SingleTimeseries> resample_timeseries(const SingleTimeseries& series, std::optional<Duration> sampling);

}  // namespace tarnel::timeseries
