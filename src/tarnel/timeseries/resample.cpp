#include "tarnel/timeseries/resample.hpp"

#include <algorithm>

namespace tarnel::timeseries {

namespace {

// Number of grid steps: whole milliseconds of the span over whole
// milliseconds of the period. The nanosecond quotient caps it for periods
// with a sub-millisecond part, so the grid never passes the last timestamp.
std::int64_t grid_steps(Duration span, Duration sampling) {
    const std::int64_t by_ms = whole_milliseconds(span) / whole_milliseconds(sampling);
    return std::min(by_ms, span.count() / sampling.count());
}

// Value at `t`, which lies strictly after stamps[u - 1] and at or before stamps[u].
double interpolate(std::span<const Instant> stamps, std::span<const double> values, std::size_t u, Instant t) {
    if (stamps[u] == t) return values[u];
    const std::size_t l = u - 1;
    const auto s1 = static_cast<double>(whole_seconds(t - stamps[l]));
    const auto s2 = static_cast<double>(whole_seconds(stamps[u] - stamps[l]));
    return values[l] + (values[u] - values[l]) * (s1 / s2);
}

}  // namespace

util::Result<SingleTimeseries> resample_timeseries(const SingleTimeseries& series, std::optional<Duration> sampling) {
    if (series.is_empty()) return SingleTimeseries::from_components(series.timestamps(), series.values(), sampling);
    if (!sampling) return SingleTimeseries::from_components(series.timestamps(), series.values(), std::nullopt);
    if (sampling->count() <= 0) return util::fail("Invalid negative sampling");
    if (whole_milliseconds(*sampling) == 0) return util::fail("resampling period must be at least one millisecond");

    const auto stamps = series.timestamps();
    const auto values = series.values();
    auto span = checked_difference(stamps.back(), stamps.front());
    if (!span) return util::fail(std::move(span.error()));
    const std::int64_t steps = grid_steps(*span, *sampling);
    if (steps >= max_resample_points)
        return util::fail("resampling grid would exceed 2147483647 points; choose a longer sampling");

    const auto count = static_cast<std::size_t>(steps) + 1;
    std::vector<Instant> grid(count);
    std::vector<double> out(count);
    std::size_t u = 0;  // first input point at or after the grid instant
    for (std::size_t i = 0; i < count; ++i) {
        // i * sampling <= span, so neither the product nor the sum leaves the range.
        const Instant t = stamps.front() + *sampling * static_cast<std::int64_t>(i);
        while (stamps[u] < t) ++u;
        grid[i] = t;
        out[i] = interpolate(stamps, values, u, t);
    }
    return SingleTimeseries::from_components(std::move(grid), std::move(out), sampling);
}

}  // namespace tarnel::timeseries
