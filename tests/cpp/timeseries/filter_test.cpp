#include <gtest/gtest.h>

#include "series_helpers.hpp"
#include "tarnel/timeseries/filter.hpp"

namespace {

using namespace series_test;
using tarnel::timeseries::filter_timeseries;

struct FilterCase {
    const char* name;
    Instant start, end;
    std::vector<double> kept;
};
class Filter : public testing::TestWithParam<FilterCase> {};
TEST_P(Filter, InclusiveAtBothEnds) {
    auto s = daily({0, 1, 2, 3, 4});
    auto got = filter_timeseries(s, GetParam().start, GetParam().end);
    ASSERT_TRUE(got.has_value()) << got.error().message;
    EXPECT_EQ(std::vector<double>(got->values().begin(), got->values().end()), GetParam().kept);
    EXPECT_EQ(got->sampling(), one_day);
    for (std::size_t i = 0; i < got->len(); ++i)
        EXPECT_EQ(got->timestamps()[i], t0 + one_day * static_cast<long>(got->values()[i]));
}
INSTANTIATE_TEST_SUITE_P(
    Windows, Filter,
    testing::Values(FilterCase{"exact_ends", t0 + one_day, t0 + 3 * one_day, {1, 2, 3}},
                    FilterCase{"between_points", t0 + 1h, t0 + 3 * one_day - 1ns, {1, 2}},
                    FilterCase{"one_instant", t0 + 2 * one_day, t0 + 2 * one_day, {2}},
                    FilterCase{"everything", Instant::min(), Instant::max(), {0, 1, 2, 3, 4}},
                    FilterCase{"before_all", Instant::min(), t0 - 1ns, {}},
                    FilterCase{"after_all", t0 + 4 * one_day + 1ns, Instant::max(), {}},
                    FilterCase{"reversed_bounds", t0 + 3 * one_day, t0 + one_day, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Filter, WithoutSamplingStaysWithout) {
    auto s = series({t0, t0 + 1h, t0 + 3h}, {1, 2, 3}, std::nullopt);
    auto got = filter_timeseries(s, t0 + 1h, t0 + 3h).value();
    EXPECT_EQ(got.sampling(), std::nullopt);
    EXPECT_EQ(got.len(), 2U);
}

}  // namespace
