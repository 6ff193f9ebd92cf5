#include <gtest/gtest.h>

#include <cmath>

#include "series_helpers.hpp"
#include "tarnel/timeseries/rolling.hpp"

namespace {

using namespace series_test;
using tarnel::timeseries::annualized_return;
using tarnel::timeseries::max_drawdown;
using tarnel::timeseries::new_for_rolling;
using tarnel::timeseries::ReturnTimeseries;

const double nan = std::nan("");

struct StartCase {
    const char* name;
    std::size_t points;
    Duration sampling;
    Duration window;
    std::size_t per_window;  // expected k
    std::size_t output_len;
};
class RollingStart : public testing::TestWithParam<StartCase> {};
TEST_P(RollingStart, PointsPerWindow) {
    const auto& c = GetParam();
    auto got = new_for_rolling(daily(std::vector<double>(c.points, 1.0)), c.sampling, c.window);
    ASSERT_TRUE(got.has_value()) << got.error().message;
    EXPECT_EQ(got->points_per_window, c.per_window);
    EXPECT_EQ(got->output.len(), c.output_len);
    EXPECT_EQ(got->output.sampling(), c.sampling);
}
INSTANTIATE_TEST_SUITE_P(Windows, RollingStart,
                         testing::Values(StartCase{"three_days_of_five", 5, one_day, 3 * one_day, 3, 0},
                                         StartCase{"whole_series", 5, one_day, 5 * one_day, 5, 0},
                                         StartCase{"longer_than_series", 5, one_day, 10 * one_day, 0, 0},
                                         StartCase{"zero_window_all_nan", 5, one_day, Duration(0), 0, 5}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(RollingStart, ZeroWindowKeepsTheTimestamps) {
    auto s = daily({1, 2, 3});
    auto got = new_for_rolling(s, one_day, Duration(0)).value();
    EXPECT_TRUE(std::equal(got.output.timestamps().begin(), got.output.timestamps().end(), s.timestamps().begin()));
    for (double v : got.output.values()) EXPECT_TRUE(std::isnan(v));
}

struct StartBad {
    const char* name;
    Duration sampling;
    Duration window;
    const char* message;
};
class RollingStartRejects : public testing::TestWithParam<StartBad> {};
TEST_P(RollingStartRejects, WithAnError) {
    auto got = new_for_rolling(daily({1, 2, 3}), GetParam().sampling, GetParam().window);
    ASSERT_FALSE(got.has_value());
    EXPECT_EQ(got.error().message, GetParam().message);
}
INSTANTIATE_TEST_SUITE_P(
    Windows, RollingStartRejects,
    testing::Values(
        StartBad{"thirty_six_hours", one_day, 36h, "rolling window duration must be an exact number of sampling period"},
        StartBad{"twelve_hours", one_day, 12h, "rolling window duration must be an exact number of sampling period"},
        StartBad{"zero_sampling", Duration(0), one_day, "Invalid negative sampling"},
        StartBad{"sub_millisecond_sampling", Duration(500'000), one_day,
                 "rolling sampling must be at least one millisecond"},
        StartBad{"negative_sampling", -one_day, 2 * one_day, "Invalid negative sampling"},
        StartBad{"negative_both", -one_day, -2 * one_day, "Invalid negative sampling"},
        StartBad{"negative_window", one_day, -2 * one_day, "rolling window duration must not be negative"},
        StartBad{"negative_sampling_longer_than_series", -one_day, -10 * one_day, "Invalid negative sampling"}),
    [](const auto& p) { return std::string(p.param.name); });

struct DrawdownCase {
    const char* name;
    std::vector<double> values;
    std::size_t window_points;
    std::vector<double> expected;
};
class Drawdown : public testing::TestWithParam<DrawdownCase> {};
TEST_P(Drawdown, RunningPeakFromEachWindowStart) {
    const auto& c = GetParam();
    auto s = daily(c.values);
    auto got = max_drawdown(s, one_day, one_day * static_cast<long>(c.window_points));
    ASSERT_TRUE(got.has_value()) << got.error().message;
    ASSERT_EQ(got->len(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(got->values()[i], c.expected[i]) << i;
        EXPECT_EQ(got->timestamps()[i], s.timestamps()[i + c.window_points - 1]);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Series, Drawdown,
    testing::Values(DrawdownCase{"whole_series", {100, 120, 90, 130}, 4, {(90.0 - 120.0) / 120.0}},
                    DrawdownCase{"increasing", {1, 2, 3, 4}, 4, {0.0}},
                    DrawdownCase{"sliding_pairs", {100, 120, 90, 130}, 2, {0.0, (90.0 - 120.0) / 120.0, 0.0}},
                    DrawdownCase{"single_point_windows", {5, 4, 3}, 1, {0.0, 0.0, 0.0}},
                    DrawdownCase{"leading_nan_gives_way", {nan, 100, 50}, 3, {(50.0 - 100.0) / 100.0}},
                    DrawdownCase{"nan_never_replaces_a_number", {100, nan, 50}, 3, {(50.0 - 100.0) / 100.0}},
                    DrawdownCase{"longer_than_series", {1, 2}, 3, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Drawdown, NeedsTheSeriesSampling) {
    EXPECT_EQ(max_drawdown(daily({1, 2}), 1h, 2h).error().message, "Incompatible sampling");
    EXPECT_EQ(max_drawdown(series(regular(2, 1h), {1, 2}, std::nullopt), 1h, 2h).error().message,
              "Incompatible sampling");
    EXPECT_EQ(max_drawdown(daily({1, 2}), one_day, 36h).error().message,
              "rolling window duration must be an exact number of sampling period");
}

TEST(AnnualizedReturn, TwoDayWindowOfReturns) {
    auto returns = ReturnTimeseries(series({t0 + one_day, t0 + 2 * one_day}, {0.1, -0.1}, one_day));
    auto got = annualized_return(returns, one_day, 2 * one_day);
    ASSERT_TRUE(got.has_value()) << got.error().message;
    ASSERT_EQ(got->len(), 1U);
    EXPECT_EQ(got->timestamps()[0], t0 + 2 * one_day);
    const double power = 1.0 / (172800.0 / 31536000.0);
    EXPECT_EQ(got->values()[0], std::pow((1.0 + 0.1) * (1.0 + -0.1), power) - 1.0);
    EXPECT_NEAR(got->values()[0], std::pow(1.1 * 0.9, 182.5) - 1.0, 1e-15);
}

TEST(AnnualizedReturn, FromValuesComputesReturnsFirst) {
    auto got = annualized_return(daily({100, 110, 99, 120}), one_day, 2 * one_day);
    ASSERT_TRUE(got.has_value()) << got.error().message;
    const double power = 1.0 / (172800.0 / 31536000.0);
    const double r1 = 110.0 / 100 - 1, r2 = 99.0 / 110 - 1, r3 = 120.0 / 99 - 1;
    ASSERT_EQ(got->len(), 2U);
    EXPECT_EQ(got->values()[0], std::pow((1 + r1) * (1 + r2), power) - 1);
    EXPECT_EQ(got->values()[1], std::pow((1 + r2) * (1 + r3), power) - 1);
    EXPECT_EQ(got->timestamps()[1], t0 + 3 * one_day);
}

TEST(AnnualizedReturn, ZeroWindowIsAllNan) {
    auto got = annualized_return(daily({1, 2, 3}), one_day, Duration(0)).value();
    ASSERT_EQ(got.len(), 2U);
    EXPECT_TRUE(std::isnan(got.values()[0]) && std::isnan(got.values()[1]));
}

TEST(AnnualizedReturn, ReturnsOffTheRequestedGridAreAnError) {
    // Hourly returns stamped into a daily output cannot line up.
    auto hourly = series(regular(4, 1h), {1, 2, 3, 4}, Duration(1h));
    auto got = annualized_return(hourly, one_day, 2 * one_day);
    ASSERT_FALSE(got.has_value());
    EXPECT_EQ(got.error().message,
              "Pushed instant 2024-01-01T03:00:00Z is not one sampling period (86400s) after the last instant "
              "2024-01-01T02:00:00Z");
    auto returns = ReturnTimeseries(series(regular(3, 1h), {0.1, 0.1, 0.1}, Duration(1h)));
    auto off = annualized_return(returns, Duration(1ms), Duration(2ms));
    ASSERT_FALSE(off.has_value());
    EXPECT_EQ(off.error().message.rfind("Pushed instant", 0), 0U) << off.error().message;
}

}  // namespace
