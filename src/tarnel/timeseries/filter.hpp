#pragma once
// Windowing of a series by time.
#include "tarnel/timeseries/single_timeseries.hpp"

namespace tarnel::timeseries {

// The points with start <= t <= end, in order, keeping the sampling.
util::Result<SingleTimeseries> filter_timeseries(const SingleTimeseries& series, Instant start, Instant end);

}  // namespace tarnel::timeseries
