#include "tarnel/timeseries/rolling.hpp"

#include <limits>

namespace tarnel::timeseries {

util::Result<RollingStart> new_for_rolling(const SingleTimeseries& source, Duration sampling, Duration window) {
    const std::int64_t sampling_ms = whole_milliseconds(sampling);
    const std::int64_t window_ms = whole_milliseconds(window);
    if (sampling_ms == 0) {
        if (sampling.count() <= 0) return util::fail("Invalid negative sampling");
        return util::fail("rolling sampling must be at least one millisecond");
    }
    if (window_ms % sampling_ms != 0)
        return util::fail("rolling window duration must be an exact number of sampling period");
    const std::int64_t k = window_ms / sampling_ms;
    if (k < 0) {
        if (sampling.count() <= 0) return util::fail("Invalid negative sampling");
        return util::fail("rolling window duration must not be negative");
    }
    const std::size_t n = source.len();
    const auto per_window = static_cast<std::size_t>(k);

    if (per_window == 0) {
        const auto stamps = source.timestamps();
        auto out = SingleTimeseries::from_components(
            std::vector<Instant>(stamps.begin(), stamps.end()),
            std::vector<double>(stamps.size(), std::numeric_limits<double>::quiet_NaN()), sampling);
        if (!out) return util::fail(std::move(out.error()));
        return RollingStart{std::move(*out), 0};
    }
    if (n >= per_window) {
        auto out = SingleTimeseries::new_with_capacity(sampling, n - per_window + 1);
        if (!out) return util::fail(std::move(out.error()));
        return RollingStart{std::move(*out), per_window};
    }
    auto out = SingleTimeseries::new_with_capacity(sampling, 0);
    if (!out) return util::fail(std::move(out.error()));
    return RollingStart{std::move(*out), 0};
}

namespace detail {

util::Result<SingleTimeseries> max_drawdown_of(const SingleTimeseries& values, Duration sampling, Duration window) {
    return rolling_apply(values, sampling, window, [](std::span<const double> run) { return window_drawdown(run); });
}

util::Result<SingleTimeseries> annualized_return_of(const ReturnTimeseries& returns, Duration sampling,
                                                    Duration window) {
    const double power = windows_per_year(window);
    return rolling_apply(returns.series(), sampling, window,
                         [power](std::span<const double> run) { return compound_growth(run, power); });
}

}  // namespace detail

}  // namespace tarnel::timeseries
