#include "tarnel/eval/metric_functions.hpp"

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tarnel/timeseries/rolling.hpp"
#include "tarnel/timeseries/statistics.hpp"

namespace tarnel::eval {

namespace {

namespace ts = timeseries;
using ts::Duration;
using ts::SingleTimeseries;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// --- plain functions on the values as they are ---

util::Result<double> min_of(const SingleTimeseries& s) {
    auto xs = s.values();
    if (xs.empty()) return nan;
    double m = xs[0];
    for (double x : xs.subspan(1)) m = ts::nan_aware_min(m, x);
    return m;
}

util::Result<double> max_of(const SingleTimeseries& s) {
    auto xs = s.values();
    if (xs.empty()) return nan;
    double m = xs[0];
    for (double x : xs.subspan(1)) m = ts::nan_aware_max(m, x);
    return m;
}

util::Result<double> sum_of(const SingleTimeseries& s) { return ts::sum_in_order(s.values()); }

util::Result<double> mean_of(const SingleTimeseries& s) { return ts::mean(s.values()); }

util::Result<double> return_of(const SingleTimeseries& s) {
    auto xs = s.values();
    if (xs.size() < 2) return nan;
    return (xs.back() - xs.front()) / xs.front();
}

util::Result<double> abs_return_of(const SingleTimeseries& s) {
    auto xs = s.values();
    if (xs.size() < 2) return nan;
    return std::fabs(xs.back() - xs.front());
}

util::Result<double> last_value_of(const SingleTimeseries& s) {
    auto xs = s.values();
    if (xs.empty()) return nan;
    return xs.back();
}

// --- financial functions: one rolling window over every return ---

struct Frame {
    ts::ReturnTimeseries returns;
    Duration sampling;
    Duration window;  // sampling x (n - 1): the span of the series
    double annualization;  // sqrt(s / Y): a per-period deviation is divided by it
};

util::Result<Duration> span_of(Duration sampling, std::size_t periods) {
    return ts::checked_mul(sampling, static_cast<std::int64_t>(periods));
}

util::Result<Frame> financial_frame(const SingleTimeseries& s) {
    if (!s.sampling()) return util::fail("Inconsistent sampling");
    const Duration sampling = *s.sampling();
    auto window = span_of(sampling, s.len() == 0 ? 0 : s.len() - 1);
    if (!window) return util::fail(std::move(window.error()));
    auto returns = s.to_return();  // checks the integrity first
    if (!returns) return util::fail(std::move(returns.error()));
    const double seconds = static_cast<double>(ts::whole_seconds(sampling));
    return Frame{std::move(*returns), sampling, *window, std::sqrt(seconds / ts::seconds_per_year)};
}

// The one value of a rolling result; NaN when nothing was computed.
util::Result<double> only_value(util::Result<SingleTimeseries> rolled) {
    if (!rolled) return util::fail(std::move(rolled.error()));
    if (rolled->is_empty()) return nan;
    return rolled->values().back();
}

template <class F>
util::Result<double> over_all_returns(const SingleTimeseries& s, F formula) {
    auto frame = financial_frame(s);
    if (!frame) return util::fail(std::move(frame.error()));
    const double power = ts::windows_per_year(frame->window);
    const double annualization = frame->annualization;
    return only_value(ts::rolling_apply(frame->returns.series(), frame->sampling, frame->window,
                                        [&](std::span<const double> r) { return formula(r, power, annualization); }));
}

util::Result<double> volatility(const SingleTimeseries& s) {
    return over_all_returns(s, [](std::span<const double> r, double, double annualization) {
        return ts::sample_std_dev(r) / annualization;
    });
}

util::Result<double> sharpe_ratio(const SingleTimeseries& s) {
    return over_all_returns(s, [](std::span<const double> r, double power, double annualization) {
        return ts::compound_growth(r, power) / (ts::sample_std_dev(r) / annualization);
    });
}

util::Result<double> sortino_ratio(const SingleTimeseries& s) {
    std::vector<double> negative;
    return over_all_returns(s, [&](std::span<const double> r, double power, double annualization) {
        negative.clear();
        for (double x : r)
            if (x < 0.0) negative.push_back(x);
        return ts::compound_growth(r, power) / (ts::sample_std_dev(negative) / annualization);
    });
}

util::Result<double> calmar_ratio(const SingleTimeseries& s) {
    auto frame = financial_frame(s);
    if (!frame) return util::fail(std::move(frame.error()));
    auto growth = ts::annualized_return(frame->returns, frame->sampling, frame->window);
    if (!growth) return util::fail(std::move(growth.error()));
    // Windows of n - 1 values: the one ending at the last point leaves out x(0).
    auto drawdown = ts::max_drawdown(s, frame->sampling, frame->window);
    if (!drawdown) return util::fail(std::move(drawdown.error()));
    if (growth->is_empty()) return nan;
    const auto end = growth->timestamps().back();
    const auto stamps = drawdown->timestamps();
    for (std::size_t i = stamps.size(); i-- > 0;) {
        if (stamps[i] == end) return growth->values().back() / -drawdown->values()[i];
    }
    return nan;
}

util::Result<double> max_drawdown(const SingleTimeseries& s) {
    if (!s.sampling()) return util::fail("Inconsistent sampling");
    auto window = span_of(*s.sampling(), s.is_empty() ? 1 : s.len());
    if (!window) return util::fail(std::move(window.error()));
    return only_value(ts::max_drawdown(s, *s.sampling(), *window));
}

util::Result<double> ewma(const SingleTimeseries&) { return util::fail("function ewma not yet implemented"); }

constexpr MetricFunction functions[] = {
    {"min", false, min_of},
    {"max", false, max_of},
    {"sum", false, sum_of},
    {"mean", false, mean_of},
    {"return", false, return_of},
    {"abs_return", false, abs_return_of},
    {"last_value", false, last_value_of},
    {"volatility", true, volatility},
    {"sharpe_ratio", true, sharpe_ratio},
    {"sortino_ratio", true, sortino_ratio},
    {"calmar_ratio", true, calmar_ratio},
    {"max_drawdown", true, max_drawdown},
    {"ewma", true, ewma},
};

}  // namespace

util::Result<const MetricFunction*> MetricsFunctions::build(std::string_view name) {
    for (const auto& f : functions) {
        if (f.name == name) return &f;
    }
    return util::fail(fmt::format("Undefined metric function '{}'", name));
}

std::span<const MetricFunction> MetricsFunctions::table() { return functions; }

}  // namespace tarnel::eval
