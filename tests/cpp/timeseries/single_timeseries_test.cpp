#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "series_helpers.hpp"
#include "tarnel/timeseries/sampling.hpp"

namespace {

using namespace series_test;
using tarnel::timeseries::compute_sampling;
using tarnel::timeseries::ReturnTimeseries;

struct IntegrityCase {
    const char* name;
    std::vector<Instant> timestamps;
    std::vector<double> values;
    std::optional<Duration> sampling;
    const char* message;  // nullptr: accepted
};
class Integrity : public testing::TestWithParam<IntegrityCase> {};
TEST_P(Integrity, FromComponentsChecksInOrder) {
    const auto& c = GetParam();
    auto got = SingleTimeseries::from_components(c.timestamps, c.values, c.sampling);
    if (c.message == nullptr) {
        ASSERT_TRUE(got.has_value()) << got.error().message;
        EXPECT_EQ(got->len(), c.values.size());
        EXPECT_TRUE(got->check_integrity().has_value());
    } else {
        ASSERT_FALSE(got.has_value());
        EXPECT_EQ(got.error().message, c.message);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Rules, Integrity,
    testing::Values(
        IntegrityCase{"hourly_claiming_daily", regular(3, 1h), {1, 2, 3}, one_day,
                      "Cheating sampling in timeseries; described as 86400s but computed as 3600s"},
        IntegrityCase{"hourly_without_sampling", regular(3, 1h), {1, 2, 3}, std::nullopt, nullptr},
        IntegrityCase{"irregular_claiming_hourly", {t0, t0 + 1h, t0 + 3h}, {1, 2, 3}, Duration(1h),
                      "Cheating sampling in timeseries; described as 3600s but computed as none"},
        IntegrityCase{"single_point_any_sampling", {t0}, {1}, Duration(7ns), nullptr},
        IntegrityCase{"empty_any_sampling", {}, {}, one_day, nullptr},
        IntegrityCase{"repeated_instant", {t0, t0}, {1, 2}, std::nullopt, "Timestamps should be in increasing order"},
        IntegrityCase{"decreasing", {t0 + 1h, t0}, {1, 2}, std::nullopt, "Timestamps should be in increasing order"},
        IntegrityCase{"lengths_before_order", {t0, t0, t0}, {1, 2}, std::nullopt,
                      "Length integrity failed, values: 2, timestamps: 3"},
        IntegrityCase{"more_values", {t0}, {1, 2}, std::nullopt, "Length integrity failed, values: 2, timestamps: 1"},
        IntegrityCase{"order_before_sampling", {t0, t0}, {1, 2}, one_day, "Timestamps should be in increasing order"},
        IntegrityCase{"zero_sampling_first", {t0, t0}, {1}, Duration(0), "Invalid negative sampling"},
        IntegrityCase{"negative_sampling", regular(2, 1h), {1, 2}, Duration(-1h), "Invalid negative sampling"},
        IntegrityCase{"nan_and_inf_values", regular(2, 1h),
                      {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()},
                      Duration(1h), nullptr}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(NewWithCapacity, ChecksTheSampling) {
    EXPECT_EQ(SingleTimeseries::new_with_capacity(Duration(0), 4).error().message, "Invalid negative sampling");
    auto s = SingleTimeseries::new_with_capacity(one_day, 4);
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(s->is_empty());
    EXPECT_EQ(s->sampling(), one_day);
}

TEST(Push, KeepsTheSeriesConsistent) {
    auto sampled = SingleTimeseries::new_with_capacity(one_day, 2).value();
    EXPECT_TRUE(sampled.push(t0, 1).has_value());
    EXPECT_TRUE(sampled.push(t0 + one_day, 2).has_value());
    auto off_grid = sampled.push(t0 + 3 * one_day, 3);
    ASSERT_FALSE(off_grid.has_value());
    EXPECT_EQ(off_grid.error().message,
              "Pushed instant 2024-01-04T00:00:00Z is not one sampling period (86400s) after the last instant "
              "2024-01-02T00:00:00Z");
    EXPECT_EQ(sampled.len(), 2U);
    EXPECT_TRUE(sampled.check_integrity().has_value());

    SingleTimeseries free;
    EXPECT_TRUE(free.push(t0, 1).has_value());
    EXPECT_TRUE(free.push(t0 + 5min, 2).has_value());
    EXPECT_EQ(free.push(t0 + 5min, 3).error().message, "Timestamps should be in increasing order");
    EXPECT_EQ(free.len(), 2U);

    auto at_end = SingleTimeseries::new_with_capacity(Duration(1), 1).value();
    EXPECT_TRUE(at_end.push(Instant::max(), 0).has_value());
    EXPECT_EQ(at_end.push(Instant::min(), 0).error().message, "Instant out of the representable range");
}

TEST(EnsureSameSampling, OnlyAnEqualSetSampling) {
    EXPECT_TRUE(daily({1, 2}).ensure_same_sampling(one_day).has_value());
    EXPECT_EQ(daily({1, 2}).ensure_same_sampling(1h).error().message, "Incompatible sampling");
    EXPECT_EQ(series({t0}, {1}, std::nullopt).ensure_same_sampling(one_day).error().message, "Incompatible sampling");
}

TEST(TimeValueIter, PairsInOrder) {
    auto s = series({t0, t0 + 1h}, {5, 6}, std::nullopt);
    std::vector<tarnel::timeseries::TimeValue> seen(s.time_value_iter().begin(), s.time_value_iter().end());
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_EQ(seen[1], (tarnel::timeseries::TimeValue{t0 + 1h, 6}));
}

struct WindowCase {
    std::size_t len, width, count;
};
class Windows : public testing::TestWithParam<WindowCase> {};
TEST_P(Windows, SlideByOnePoint) {
    std::vector<double> values(GetParam().len);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i);
    auto s = daily(values);
    auto windows = s.time_value_windows(GetParam().width);
    ASSERT_EQ(windows.size(), GetParam().count);
    std::size_t i = 0;
    for (const auto& w : windows) {
        ASSERT_EQ(w.values.size(), GetParam().width);
        if (!w.values.empty()) {
            EXPECT_EQ(w.values.front(), static_cast<double>(i));
            EXPECT_EQ(w.timestamps.back(), t0 + one_day * static_cast<long>(i + GetParam().width - 1));
        }
        ++i;
    }
}
INSTANTIATE_TEST_SUITE_P(Counts, Windows,
                         testing::Values(WindowCase{5, 2, 4}, WindowCase{5, 5, 1}, WindowCase{5, 6, 0},
                                         WindowCase{0, 1, 0}, WindowCase{3, 1, 3}, WindowCase{3, 0, 4}));

struct SamplingCase {
    std::vector<Instant> timestamps;
    std::optional<Duration> expected;
};
class ComputeSampling : public testing::TestWithParam<SamplingCase> {};
TEST_P(ComputeSampling, EqualDifferencesOnly) {
    EXPECT_EQ(compute_sampling(GetParam().timestamps), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Spacings, ComputeSampling,
    testing::Values(SamplingCase{{}, std::nullopt}, SamplingCase{{t0}, std::nullopt},
                    SamplingCase{{t0, t0 + 1h}, Duration(1h)}, SamplingCase{regular(4, 90s), Duration(90s)},
                    SamplingCase{{t0, t0 + 1s, t0 + 2s + 1ns}, std::nullopt},
                    SamplingCase{{t0, t0 + 2h, t0 + 3h}, std::nullopt},
                    // Differences equal modulo 2^64 must not pass for a sampling.
                    SamplingCase{{Instant::min(), Instant::min() + Duration(INT64_MAX), Instant::max()}, std::nullopt}));

TEST(ToReturn, SimpleReturnsAtTheEndOfEachPeriod) {
    auto s = daily({100, 110, 99});
    auto r = s.to_return();
    ASSERT_TRUE(r.has_value());
    ASSERT_EQ(r->len(), 2U);
    EXPECT_EQ(r->values()[0], 110.0 / 100.0 - 1.0);
    EXPECT_EQ(r->values()[1], 99.0 / 110.0 - 1.0);
    EXPECT_NEAR(r->values()[0], 0.1, 1e-15);
    EXPECT_NEAR(r->values()[1], -0.1, 1e-15);
    EXPECT_EQ(r->timestamps()[0], t0 + one_day);
    EXPECT_EQ(r->timestamps()[1], t0 + 2 * one_day);
    EXPECT_EQ(r->sampling(), one_day);
    // Already returns: unchanged.
    EXPECT_EQ(r->to_return().value(), *r);
}

TEST(ToReturn, ZeroAndShortSeries) {
    auto r = daily({0, 1, 0}).to_return().value();
    EXPECT_TRUE(std::isinf(r.values()[0]));
    EXPECT_EQ(r.values()[1], -1.0);
    EXPECT_TRUE(daily({5}).to_return().value().is_empty());
    EXPECT_TRUE(daily({}).to_return().value().is_empty());
    EXPECT_TRUE(std::isnan(daily({0, 0}).to_return().value().values()[0]));
}

TEST(MarkToMarket, IsAnIndependentCopy) {
    auto s = daily({1, 2});
    auto copy = s.to_mark_to_market();
    EXPECT_TRUE(copy.push(t0 + 2 * one_day, 3).has_value());
    EXPECT_EQ(s.len(), 2U);
    EXPECT_EQ(copy.len(), 3U);
}

}  // namespace
