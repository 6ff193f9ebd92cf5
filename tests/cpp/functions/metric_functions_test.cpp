#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tarnel/eval/metric_functions.hpp"

namespace {

using namespace std::chrono_literals;
using tarnel::eval::MetricsFunctions;
using tarnel::timeseries::Duration;
using tarnel::timeseries::Instant;
using tarnel::timeseries::SingleTimeseries;

const Instant t0 = Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));
constexpr Duration one_day = std::chrono::hours(24);
constexpr double Y = 31'536'000.0;
const double nan = std::nan("");

SingleTimeseries make(const std::vector<double>& values, std::optional<Duration> sampling, Duration step = one_day) {
    std::vector<Instant> t;
    for (std::size_t i = 0; i < values.size(); ++i) t.push_back(t0 + step * static_cast<long>(i));
    return SingleTimeseries::from_components(std::move(t), values, sampling).value();
}
SingleTimeseries daily(const std::vector<double>& values) { return make(values, one_day); }

double run(std::string_view name, const SingleTimeseries& s) {
    auto f = MetricsFunctions::build(name);
    if (!f) {
        ADD_FAILURE() << f.error().message;
        return -12345.0;
    }
    auto r = (*f)->impl(s);
    EXPECT_TRUE(r.has_value()) << r.error().message;
    return r.value_or(-12345.0);
}

// Independent formulas, straight from the definitions.
std::vector<double> simple_returns(const std::vector<double>& x) {
    std::vector<double> r;
    for (std::size_t i = 1; i < x.size(); ++i) r.push_back(x[i] / x[i - 1] - 1);
    return r;
}
double sample_sd(const std::vector<double>& xs) {
    double sum = -0.0;
    for (double x : xs) sum += x;
    const double m = sum / static_cast<double>(xs.size());
    double sq = -0.0;
    for (double x : xs) sq += (x - m) * (x - m);
    return std::sqrt(sq / static_cast<double>(xs.size() - 1));
}
double annualized(const std::vector<double>& r, double window_seconds) {
    double base = 1;
    for (double x : r) base *= 1 + x;
    return std::pow(base, 1 / (window_seconds / Y)) - 1;
}
const double daily_factor = std::sqrt(86400.0 / Y);

struct TableCase {
    const char* name;
    bool daily;
};
class Table : public testing::TestWithParam<TableCase> {};
TEST_P(Table, NameAndDailyFlag) {
    auto f = MetricsFunctions::build(GetParam().name);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ((*f)->name, GetParam().name);
    EXPECT_EQ((*f)->daily, GetParam().daily);
}
INSTANTIATE_TEST_SUITE_P(Functions, Table,
                         testing::Values(TableCase{"min", false}, TableCase{"max", false}, TableCase{"sum", false},
                                         TableCase{"mean", false}, TableCase{"return", false},
                                         TableCase{"abs_return", false}, TableCase{"last_value", false},
                                         TableCase{"volatility", true}, TableCase{"sharpe_ratio", true},
                                         TableCase{"sortino_ratio", true}, TableCase{"calmar_ratio", true},
                                         TableCase{"max_drawdown", true}, TableCase{"ewma", true}));

class Unknown : public testing::TestWithParam<const char*> {};
TEST_P(Unknown, IsAnError) {
    auto f = MetricsFunctions::build(GetParam());
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().message, std::string("Undefined metric function '") + GetParam() + "'");
}
INSTANTIATE_TEST_SUITE_P(Names, Unknown, testing::Values("median", "Mean", "", "sum ", "sqrt"));

struct ValueCase {
    const char* name;
    const char* function;
    std::vector<double> values;
    double expected;  // NaN: the result must be NaN
};
class Values : public testing::TestWithParam<ValueCase> {};
TEST_P(Values, OnTheValuesAsTheyAre) {
    const auto& c = GetParam();
    const double got = run(c.function, make(c.values, std::nullopt, 1h));
    if (std::isnan(c.expected)) {
        EXPECT_TRUE(std::isnan(got)) << got;
    } else {
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(std::signbit(got), std::signbit(c.expected));
    }
}
INSTANTIATE_TEST_SUITE_P(
    Plain, Values,
    testing::Values(ValueCase{"sum_empty_is_negative_zero", "sum", {}, -0.0},
                    ValueCase{"sum_of_zeros_is_zero", "sum", {0, 0}, 0.0},
                    ValueCase{"sum_in_order", "sum", {1e16, 1, 1}, (1e16 + 1) + 1},
                    ValueCase{"mean", "mean", {1, 2, 3, 4}, 2.5},
                    ValueCase{"mean_empty", "mean", {}, nan},
                    ValueCase{"min_skips_nan", "min", {nan, 3, 1}, 1},
                    ValueCase{"min_nan_in_middle", "min", {3, nan, 5}, 3},
                    ValueCase{"min_all_nan", "min", {nan, nan}, nan},
                    ValueCase{"min_empty", "min", {}, nan},
                    ValueCase{"max_skips_nan", "max", {nan, 3, 1}, 3},
                    ValueCase{"max_nan_in_middle", "max", {3, nan, 5}, 5},
                    ValueCase{"max_empty", "max", {}, nan},
                    ValueCase{"return", "return", {100, 100.5}, (100.5 - 100) / 100},
                    ValueCase{"return_uses_ends", "return", {100, 7, 110}, (110.0 - 100) / 100},
                    ValueCase{"return_one_point", "return", {100}, nan},
                    ValueCase{"abs_return", "abs_return", {100, 90}, 10},
                    ValueCase{"abs_return_one_point", "abs_return", {100}, nan},
                    ValueCase{"last_value", "last_value", {1, 2, 3}, 3},
                    ValueCase{"last_value_empty", "last_value", {}, nan}),
    [](const auto& p) { return std::string(p.param.name); });

class Financial : public testing::TestWithParam<ValueCase> {};
TEST_P(Financial, OnDailyData) {
    const auto& c = GetParam();
    const double got = run(c.function, daily(c.values));
    if (std::isnan(c.expected))
        EXPECT_TRUE(std::isnan(got)) << got;
    else
        EXPECT_DOUBLE_EQ(got, c.expected);
}

const std::vector<double> four = {100, 104, 98, 103};
const std::vector<double> calmar_values = {100, 50, 60, 45};
const std::vector<double> two_falls = {100, 90, 95, 85.5, 88};
std::vector<double> negatives_of(const std::vector<double>& r) {
    std::vector<double> out;
    for (double x : r)
        if (x < 0) out.push_back(x);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Daily, Financial,
    testing::Values(
        ValueCase{"volatility", "volatility", four, sample_sd(simple_returns(four)) / daily_factor},
        ValueCase{"volatility_two_points", "volatility", {100, 110}, nan},
        ValueCase{"volatility_one_point", "volatility", {100}, nan},
        ValueCase{"volatility_empty", "volatility", {}, nan},
        ValueCase{"sharpe", "sharpe_ratio", four,
                  annualized(simple_returns(four), 3 * 86400.0) / (sample_sd(simple_returns(four)) / daily_factor)},
        ValueCase{"sharpe_two_points", "sharpe_ratio", {100, 110}, nan},
        ValueCase{"sharpe_empty", "sharpe_ratio", {}, nan},
        ValueCase{"sortino", "sortino_ratio", two_falls,
                  annualized(simple_returns(two_falls), 4 * 86400.0) /
                      (sample_sd(negatives_of(simple_returns(two_falls))) / daily_factor)},
        ValueCase{"sortino_one_negative", "sortino_ratio", {100, 110, 99, 120}, nan},
        ValueCase{"sortino_one_point", "sortino_ratio", {100}, nan},
        // The fall from 100 to 50 is outside the drawdown window.
        ValueCase{"calmar_drops_first_value", "calmar_ratio", calmar_values,
                  annualized(simple_returns(calmar_values), 3 * 86400.0) / -((45.0 - 60.0) / 60.0)},
        ValueCase{"calmar_one_point", "calmar_ratio", {100}, nan},
        ValueCase{"calmar_empty", "calmar_ratio", {}, nan},
        ValueCase{"max_drawdown", "max_drawdown", {100, 120, 90, 130}, (90.0 - 120.0) / 120.0},
        ValueCase{"max_drawdown_rising", "max_drawdown", {1, 2, 3}, 0},
        ValueCase{"max_drawdown_one_point", "max_drawdown", {100}, 0},
        ValueCase{"max_drawdown_empty", "max_drawdown", {}, nan}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Financial, CalmarOfTwoPointsHasNoDrawdown) {
    EXPECT_TRUE(std::isinf(run("calmar_ratio", daily({100, 110}))));
}

TEST(Financial, HourlySamplingAnnualizesBySeconds) {
    const std::vector<double> v = {100, 101, 99, 102};
    const auto r = simple_returns(v);
    EXPECT_DOUBLE_EQ(run("volatility", make(v, Duration(1h), 1h)), sample_sd(r) / std::sqrt(3600.0 / Y));
    EXPECT_DOUBLE_EQ(run("sharpe_ratio", make(v, Duration(1h), 1h)),
                     annualized(r, 3 * 3600.0) / (sample_sd(r) / std::sqrt(3600.0 / Y)));
}

class NeedsSampling : public testing::TestWithParam<const char*> {};
TEST_P(NeedsSampling, WithoutItFails) {
    auto f = MetricsFunctions::build(GetParam()).value();
    auto r = f->impl(make({1, 2, 3}, std::nullopt));
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message, "Inconsistent sampling");
}
INSTANTIATE_TEST_SUITE_P(Daily, NeedsSampling,
                         testing::Values("volatility", "sharpe_ratio", "sortino_ratio", "calmar_ratio",
                                         "max_drawdown"));

TEST(Ewma, AlwaysFails) {
    auto f = MetricsFunctions::build("ewma").value();
    EXPECT_EQ(f->impl(daily({1, 2, 3})).error().message, "function ewma not yet implemented");
    EXPECT_EQ(f->impl(SingleTimeseries{}).error().message, "function ewma not yet implemented");
}

}  // namespace
