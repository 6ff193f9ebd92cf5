#include "tarnel/timeseries/statistics.hpp"

#include <limits>

namespace tarnel::timeseries {

double sum_in_order(std::span<const double> xs) {
    double sum = -0.0;
    for (double x : xs) sum += x;
    return sum;
}

double mean(std::span<const double> xs) {
    if (xs.empty()) return std::numeric_limits<double>::quiet_NaN();
    return sum_in_order(xs) / static_cast<double>(xs.size());
}

double sample_std_dev(std::span<const double> xs) {
    if (xs.size() < 2) return std::numeric_limits<double>::quiet_NaN();
    const double m = mean(xs);
    double squares = -0.0;
    for (double x : xs) squares += (x - m) * (x - m);
    return std::sqrt(squares / static_cast<double>(xs.size() - 1));
}

double window_drawdown(std::span<const double> xs) {
    if (xs.empty()) return std::numeric_limits<double>::quiet_NaN();
    if (xs.size() == 1) return 0.0;
    double peak = nan_aware_max(xs[0], xs[1]);
    double drawdown = (xs[1] - peak) / peak;
    for (std::size_t j = 2; j < xs.size(); ++j) {
        peak = nan_aware_max(peak, xs[j]);
        drawdown = nan_aware_min(drawdown, (xs[j] - peak) / peak);
    }
    return drawdown;
}

double compound_growth(std::span<const double> returns, double power) {
    double base = 1.0;
    for (double r : returns) base *= 1.0 + r;
    return std::pow(base, power) - 1.0;
}

}  // namespace tarnel::timeseries
