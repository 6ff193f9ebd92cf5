#include <gtest/gtest.h>

#include <cmath>

#include "series_helpers.hpp"
#include "tarnel/timeseries/resample.hpp"

namespace {

using namespace series_test;
using tarnel::timeseries::resample_timeseries;

struct ResampleCase {
    const char* name;
    std::vector<Instant> timestamps;
    std::vector<double> values;
    Duration sampling;
    std::vector<Instant> grid;
    std::vector<double> expected;
};
class Resample : public testing::TestWithParam<ResampleCase> {};
TEST_P(Resample, InterpolatesOnTheGrid) {
    const auto& c = GetParam();
    auto got = resample_timeseries(series(c.timestamps, c.values, std::nullopt), c.sampling);
    ASSERT_TRUE(got.has_value()) << got.error().message;
    EXPECT_EQ(got->sampling(), c.sampling);
    ASSERT_EQ(std::vector<Instant>(got->timestamps().begin(), got->timestamps().end()), c.grid);
    ASSERT_EQ(got->len(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        if (std::isnan(c.expected[i]))
            EXPECT_TRUE(std::isnan(got->values()[i])) << i;
        else
            EXPECT_EQ(got->values()[i], c.expected[i]) << i;
    }
}
const double nan = std::nan("");
INSTANTIATE_TEST_SUITE_P(
    Grids, Resample,
    testing::Values(
        // 36 over 36 hours: a day in, two thirds of the way.
        ResampleCase{"stops_before_last_point", {t0, t0 + 36h}, {0, 36}, one_day, {t0, t0 + one_day},
                     {0, 0 + (36.0 - 0) * (86400.0 / 129600.0)}},
        ResampleCase{"points_on_the_grid", regular(4, one_day), {1.25, -3, 1e300, 7}, one_day, regular(4, one_day),
                     {1.25, -3, 1e300, 7}},
        ResampleCase{"hourly_to_daily", {t0, t0 + 1h, t0 + 23h, t0 + 25h, t0 + 49h}, {1, 2, 3, 5, 9}, one_day,
                     {t0, t0 + 24h, t0 + 48h}, {1, 3 + (5.0 - 3) * (3600.0 / 7200.0), 5 + (9.0 - 5) * (82800.0 / 86400.0)}},
        ResampleCase{"reaches_last_point_exactly", {t0, t0 + 3s}, {0, 9}, Duration(1s), regular(4, 1s), {0, 3, 6, 9}},
        // Whole seconds: 1 s of 1.5 s counts as the full gap.
        ResampleCase{"whole_seconds_only", {t0, t0 + 1500ms}, {0, 3}, Duration(1s), {t0, t0 + 1s}, {0, 3}},
        // A gap of less than a second has no whole second: 0/0.
        ResampleCase{"sub_second_gap", {t0, t0 + 500ms, t0 + 1s}, {0, 1, 2}, Duration(300ms),
                     {t0, t0 + 300ms, t0 + 600ms, t0 + 900ms}, {0, nan, nan, nan}},
        // A period with a sub-millisecond part never passes the last point.
        ResampleCase{"fractional_millisecond_period", {t0, t0 + 3ms}, {0, 3}, Duration(1'500'000),
                     {t0, t0 + Duration(1'500'000), t0 + 3ms}, {0, nan, 3}},
        ResampleCase{"single_point", {t0}, {4}, one_day, {t0}, {4}},
        ResampleCase{"nan_propagates", {t0, t0 + 2s}, {nan, 2}, Duration(1s), {t0, t0 + 1s, t0 + 2s}, {nan, nan, 2}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Resample, WithoutSamplingCopiesAndDropsTheSampling) {
    auto s = daily({1, 2, 3});
    auto got = resample_timeseries(s, std::nullopt);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->sampling(), std::nullopt);
    EXPECT_EQ(std::vector<double>(got->values().begin(), got->values().end()), (std::vector<double>{1, 2, 3}));
}

TEST(Resample, EmptySeriesTakesTheSampling) {
    auto got = resample_timeseries(SingleTimeseries{}, one_day);
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(got->is_empty());
    EXPECT_EQ(got->sampling(), one_day);
}

struct BadCase {
    const char* name;
    std::vector<Instant> timestamps;
    Duration sampling;
    const char* message;
};
class ResampleRejects : public testing::TestWithParam<BadCase> {};
TEST_P(ResampleRejects, WithAnError) {
    const auto& c = GetParam();
    auto got = resample_timeseries(series(c.timestamps, std::vector<double>(c.timestamps.size(), 1.0), std::nullopt),
                                   c.sampling);
    ASSERT_FALSE(got.has_value());
    EXPECT_EQ(got.error().message, c.message);
}
INSTANTIATE_TEST_SUITE_P(
    Samplings, ResampleRejects,
    testing::Values(BadCase{"zero", {t0, t0 + 1h}, Duration(0), "Invalid negative sampling"},
                    BadCase{"negative", {t0, t0 + 1h}, Duration(-1h), "Invalid negative sampling"},
                    BadCase{"empty_and_negative", {}, Duration(-1h), "Invalid negative sampling"},
                    BadCase{"below_a_millisecond", {t0, t0 + 1h}, Duration(999'999),
                            "resampling period must be at least one millisecond"},
                    BadCase{"too_many_points", {t0, t0 + 30 * one_day}, Duration(1ms),
                            "resampling grid would exceed 2147483647 points; choose a longer sampling"},
                    BadCase{"span_beyond_range", {Instant::min(), Instant::max()}, one_day,
                            "Duration out of the representable range"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
