#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

#include "eval_helpers.hpp"
#include "tarnel/eval/data_dict.hpp"

namespace {

using namespace eval_test;
using namespace std::chrono_literals;
using tarnel::eval::SplitTime;
using tarnel::grammar::BoundExpr;
using tarnel::grammar::TimeExpr;

const Instant now = start + std::chrono::days(30);

struct YearsCase {
    const char* name;
    Duration since_start;
    const char* expected;
};

class YearsSince : public testing::TestWithParam<YearsCase> {};

TEST_P(YearsSince, MillisecondsOverAYearOf365Days) {
    const auto& c = GetParam();
    auto years = tarnel::eval::years_since(start, start + c.since_start);
    ASSERT_TRUE(years.has_value());
    EXPECT_EQ(years->to_string(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, YearsSince,
    testing::Values(YearsCase{"zero", 0ms, "0"}, YearsCase{"twelve_hours", 12h, "0.00136986301369863"},
                    YearsCase{"one_year", std::chrono::days(365), "1"},
                    YearsCase{"half_year", std::chrono::hours(365 * 12), "0.5"},
                    YearsCase{"before_start", -std::chrono::days(365), "-1"},
                    // Sub-millisecond parts are dropped toward zero on both sides.
                    YearsCase{"below_a_millisecond", 999us, "0"}, YearsCase{"negative_below_a_millisecond", -999us, "0"}),
    RowName{});

struct BoundCase {
    const char* name;
    BoundExpr bound;
    std::optional<Instant> last_update;
    std::optional<Instant> expected;  // none: out of range
};

class MaterializeTime : public testing::TestWithParam<BoundCase> {};

TEST_P(MaterializeTime, ResolvesBoundAgainstSplitTime) {
    const auto& c = GetParam();
    auto t = tarnel::eval::materialize_time(SplitTime{start, now, c.last_update}, c.bound);
    if (!c.expected) {
        ASSERT_FALSE(t.has_value());
        EXPECT_EQ(t.error().message,
                  "Window bound " + c.bound.debug() + " is out of the representable time range");
        return;
    }
    ASSERT_TRUE(t.has_value()) << t.error().message;
    EXPECT_EQ(*t, *c.expected);
}

BoundExpr delayed(TimeExpr t) { return BoundExpr::DelayedCurrentTime{t}; }
BoundExpr exact(Decimal d) { return BoundExpr::ExactTime{d}; }

INSTANTIATE_TEST_SUITE_P(
    Table, MaterializeTime,
    testing::Values(
        BoundCase{"last_update_none_is_start", BoundExpr::LastUpdate{}, std::nullopt, start},
        BoundCase{"last_update_given", BoundExpr::LastUpdate{}, start + 5h, start + 5h},
        BoundCase{"current_time", BoundExpr::CurrentTime{}, start + 5h, now},
        BoundCase{"seven_days", delayed(TimeExpr::Days{7}), std::nullopt, now - std::chrono::days(7)},
        BoundCase{"one_week", delayed(TimeExpr::Weeks{1}), std::nullopt, now - std::chrono::days(7)},
        BoundCase{"ninety_minutes", delayed(TimeExpr::Minutes{90}), std::nullopt, now - 90min},
        BoundCase{"negative_delay_lies_ahead", delayed(TimeExpr::Hours{-3}), std::nullopt, now + 3h},
        BoundCase{"exact_half_year", exact(dec("0.5")), std::nullopt, start + std::chrono::hours(365 * 12)},
        BoundCase{"exact_negative", exact(dec("-1")), std::nullopt, start - std::chrono::days(365)},
        BoundCase{"exact_nan_is_start", exact(Decimal::absent()), std::nullopt, start},
        BoundCase{"exact_zero", exact(dec("0")), start + 1h, start},
        BoundCase{"delay_beyond_range", delayed(TimeExpr::Minutes{100'000'000'000'000}), std::nullopt, std::nullopt},
        BoundCase{"delay_count_overflows", delayed(TimeExpr::Weeks{std::numeric_limits<std::int64_t>::max()}),
                  std::nullopt, std::nullopt},
        BoundCase{"negative_delay_beyond_range", delayed(TimeExpr::Days{-1'000'000}), std::nullopt, std::nullopt},
        BoundCase{"exact_beyond_range", exact(dec("1000")), std::nullopt, std::nullopt},
        BoundCase{"exact_saturates", exact(dec("-79228162514264337593543950335")), std::nullopt, std::nullopt}),
    RowName{});

}  // namespace
