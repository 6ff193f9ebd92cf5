#pragma once
// One-pass statistics over contiguous doubles, with the exact evaluation
// order the language's results depend on (sums in order, from -0.0).
#include <cmath>
#include <span>

namespace tarnel::timeseries {

// NaN-aware: a NaN running value gives way to the newcomer; a NaN newcomer
// never replaces a number.
[[nodiscard]] inline double nan_aware_max(double running, double next) {
    if (std::isnan(running)) return next;
    return next > running ? next : running;
}
[[nodiscard]] inline double nan_aware_min(double running, double next) {
    if (std::isnan(running)) return next;
    return next < running ? next : running;
}

// Sum in order starting from -0.0 (so an empty range gives -0.0).
[[nodiscard]] double sum_in_order(std::span<const double> xs);
// Sum divided by the count; NaN for an empty range.
[[nodiscard]] double mean(std::span<const double> xs);
// Sample standard deviation around the range's own mean; NaN below two values.
[[nodiscard]] double sample_std_dev(std::span<const double> xs);
// Running peak from the first value; the smallest (x - peak) / peak over the
// values after the first. 0 for a single value.
[[nodiscard]] double window_drawdown(std::span<const double> xs);
// (product of (1 + r) in order) ^ power - 1.
[[nodiscard]] double compound_growth(std::span<const double> returns, double power);

}  // namespace tarnel::timeseries
