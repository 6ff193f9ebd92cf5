#include "tarnel/timeseries/filter.hpp"

#include <algorithm>

namespace tarnel::timeseries {

util::Result<SingleTimeseries> filter_timeseries(const SingleTimeseries& series, Instant start, Instant end) {
    const auto stamps = series.timestamps();
    const auto values = series.values();
    const std::size_t n = std::min(stamps.size(), values.size());
    // Timestamps are strictly increasing, so the kept points are one run.
    const auto first = std::lower_bound(stamps.begin(), stamps.begin() + static_cast<std::ptrdiff_t>(n), start);
    const auto last = std::upper_bound(first, stamps.begin() + static_cast<std::ptrdiff_t>(n), end);
    const auto lo = static_cast<std::size_t>(first - stamps.begin());
    const std::size_t count = first < last ? static_cast<std::size_t>(last - first) : 0;
    return SingleTimeseries::from_components(stamps.subspan(lo, count), values.subspan(lo, count), series.sampling());
}

}  // namespace tarnel::timeseries
