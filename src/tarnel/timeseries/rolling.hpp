#pragma once
// Rolling computations over windows that hold a whole number of sampling
// periods. Each window is computed from scratch; the output is allocated once.
#include <concepts>
#include <cstddef>
#include <span>

#include "tarnel/timeseries/interfaces.hpp"
#include "tarnel/timeseries/single_timeseries.hpp"
#include "tarnel/timeseries/statistics.hpp"

namespace tarnel::timeseries {

inline constexpr double seconds_per_year = 31'536'000.0;

struct RollingStart {
    SingleTimeseries output;         // empty with room for every window, or the final result when k = 0
    std::size_t points_per_window;   // k; 0 means nothing is to be computed
};

// Common start of every rolling computation: checks that the window is a
// whole number of sampling periods (on whole milliseconds) and prepares the
// output.
util::Result<RollingStart> new_for_rolling(const SingleTimeseries& source, Duration sampling, Duration window);

// Applies `f` (double(std::span<const double>)) to every window of `source`
// and stamps each result at the window's last instant.
template <class F>
    requires std::invocable<F&, std::span<const double>>
util::Result<SingleTimeseries> rolling_apply(const SingleTimeseries& source, Duration sampling, Duration window, F&& f) {
    auto start = new_for_rolling(source, sampling, window);
    if (!start) return util::fail(std::move(start.error()));
    if (start->points_per_window == 0) return std::move(start->output);
    SingleTimeseries out = std::move(start->output);
    for (const auto& run : source.time_value_windows(start->points_per_window)) {
        if (auto ok = out.push(run.timestamps.back(), f(run.values)); !ok) return util::fail(std::move(ok.error()));
    }
    return out;
}

namespace detail {
util::Result<SingleTimeseries> max_drawdown_of(const SingleTimeseries& values, Duration sampling, Duration window);
util::Result<SingleTimeseries> annualized_return_of(const ReturnTimeseries& returns, Duration sampling,
                                                    Duration window);
}  // namespace detail

// Rolling maximum drawdown (zero or negative for positive values).
template <ToMarkToMarket S>
util::Result<SingleTimeseries> max_drawdown(const S& series, Duration sampling, Duration window) {
    if (auto ok = series.check_integrity(); !ok) return util::fail(std::move(ok.error()));
    if (auto ok = series.ensure_same_sampling(sampling); !ok) return util::fail(std::move(ok.error()));
    if constexpr (std::same_as<S, SingleTimeseries>) {
        return detail::max_drawdown_of(series, sampling, window);  // the copy would be identical
    } else {
        return detail::max_drawdown_of(series.to_mark_to_market(), sampling, window);
    }
}

// Rolling annualized return over a 365-day year: the compounded returns of a
// window raised to the number of windows per year, minus one.
template <ToReturn S>
util::Result<SingleTimeseries> annualized_return(const S& series, Duration sampling, Duration window) {
    if constexpr (std::same_as<S, ReturnTimeseries>) {
        return detail::annualized_return_of(series, sampling, window);
    } else {
        auto returns = series.to_return();
        if (!returns) return util::fail(std::move(returns.error()));
        return detail::annualized_return_of(*returns, sampling, window);
    }
}

// The exponent turning the growth over `window` into a yearly growth.
[[nodiscard]] inline double windows_per_year(Duration window) {
    return 1.0 / (static_cast<double>(whole_seconds(window)) / seconds_per_year);
}

}  // namespace tarnel::timeseries
