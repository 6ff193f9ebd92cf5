#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "tarnel/eval/vector_function.hpp"

namespace {

using namespace std::chrono_literals;
using tarnel::decimal::Decimal;
using tarnel::decimal::DecimalValue;
using tarnel::eval::VectorFunction;
using tarnel::timeseries::Duration;
using tarnel::timeseries::Instant;
using tarnel::timeseries::SingleTimeseries;

class Rejects : public testing::TestWithParam<const char*> {};
TEST_P(Rejects, NamesWithoutAOneArgumentBuiltIn) {
    auto v = VectorFunction::build(GetParam());
    ASSERT_FALSE(v.has_value());
    EXPECT_EQ(v.error().message, std::string("Undefined scalar function '") + GetParam() + "' (with 1 arguments)");
}
INSTANTIATE_TEST_SUITE_P(Names, Rejects, testing::Values("max", "pow", "log", "nope", ""));

TEST(VectorFunction, EvalEachValueAlone) {
    auto v = VectorFunction::build("sqrt").value();
    EXPECT_EQ(v.arity(), 1U);
    EXPECT_EQ(v.function().name, "sqrt");
    std::vector<Decimal> in = {DecimalValue::from_i64(4), Decimal::absent(), DecimalValue::from_i64(-1),
                               DecimalValue::from_i64(9)};
    auto out = v.eval(in);
    ASSERT_EQ(out.size(), 4U);
    EXPECT_EQ(out[0], Decimal(DecimalValue::from_i64(2)));
    EXPECT_TRUE(out[1].is_absent());
    EXPECT_TRUE(out[2].is_absent());
    EXPECT_EQ(out[3], Decimal(DecimalValue::from_i64(3)));
    EXPECT_TRUE(v.eval({}).empty());
}

TEST(VectorFunction, SeriesKeepsTimestampsAndNanPoints) {
    const Instant t0 = Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto s = SingleTimeseries::from_components(std::vector<Instant>{t0, t0 + 1h, t0 + 2h, t0 + 3h, t0 + 4h},
                                               std::vector<double>{-0.25, nan, 1.5, inf, -inf}, Duration(1h))
                 .value();
    auto v = VectorFunction::build("abs").value();
    auto out = v.apply(s);
    ASSERT_TRUE(out.has_value()) << out.error().message;
    EXPECT_EQ(out->sampling(), Duration(1h));
    EXPECT_TRUE(std::equal(out->timestamps().begin(), out->timestamps().end(), s.timestamps().begin()));
    ASSERT_EQ(out->len(), 5U);
    EXPECT_EQ(out->values()[0], 0.25);
    EXPECT_TRUE(std::isnan(out->values()[1]));
    EXPECT_EQ(out->values()[2], 1.5);
    EXPECT_TRUE(std::isnan(out->values()[3]));
    EXPECT_TRUE(std::isnan(out->values()[4]));
}

TEST(VectorFunction, GoesThroughDecimals) {
    // 0.1 converts to exactly 0.1, whose double is the nearest one again.
    auto v = VectorFunction::build("abs").value();
    const double in[] = {0.1, -2.0 / 3.0, 1e300};
    double out[3] = {};
    v.eval_doubles(in, out);
    EXPECT_EQ(out[0], 0.1);
    const auto two_thirds = DecimalValue::from_double(2.0 / 3.0);
    ASSERT_TRUE(two_thirds.has_value());
    EXPECT_EQ(out[1], two_thirds->to_double());
    EXPECT_TRUE(std::isnan(out[2]));  // beyond 96 bits: absent
}

}  // namespace
