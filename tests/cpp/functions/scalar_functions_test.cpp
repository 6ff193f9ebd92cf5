#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tarnel/eval/scalar_functions.hpp"

namespace {

using tarnel::decimal::Decimal;
using tarnel::decimal::DecimalValue;
using tarnel::eval::ScalarFunctions;

// A text that does not parse becomes an unlikely sentinel, so the case fails
// instead of the table throwing before any test runs.
DecimalValue d(std::string_view text) {
    return DecimalValue::decimal_or_scientific(text).value_or(DecimalValue::from_i64(-999'999'999));
}
DecimalValue i(std::int64_t v) { return DecimalValue::from_i64(v); }
double as_double(const Decimal& v) { return v.present() ? v->to_double() : std::nan(""); }

Decimal call(std::string_view name, std::vector<Decimal> args) {
    auto f = ScalarFunctions::build(name, args.size());
    if (!f) {
        ADD_FAILURE() << f.error().message;
        return {};
    }
    return (*f)->impl(args);
}

// --- lookup ---

struct Entry {
    const char* name;
    std::size_t arity;
};
class Lookup : public testing::TestWithParam<Entry> {};
TEST_P(Lookup, ExactNameAndArity) {
    const auto& e = GetParam();
    auto f = ScalarFunctions::build(e.name, e.arity);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ((*f)->name, e.name);
    EXPECT_EQ((*f)->arity, e.arity);
    EXPECT_TRUE(ScalarFunctions::exists(e.name, e.arity));
    for (std::size_t other : {e.arity - 1, e.arity + 1}) {
        auto miss = ScalarFunctions::build(e.name, other);
        ASSERT_FALSE(miss.has_value());
        EXPECT_EQ(miss.error().message,
                  "Undefined scalar function '" + std::string(e.name) + "' (with " + std::to_string(other) +
                      " arguments)");
        EXPECT_FALSE(ScalarFunctions::exists(e.name, other));
    }
}
TEST_P(Lookup, AbsentInAbsentOut) {
    const auto& e = GetParam();
    const auto* f = ScalarFunctions::build(e.name, e.arity).value();
    for (std::size_t hole = 0; hole < e.arity; ++hole) {
        std::vector<Decimal> args(e.arity, Decimal(i(2)));
        args[hole] = Decimal::absent();
        EXPECT_TRUE(f->impl(args).is_absent()) << e.name << " hole " << hole;
    }
}
INSTANTIATE_TEST_SUITE_P(Table, Lookup,
                         testing::Values(Entry{"abs", 1}, Entry{"min", 2}, Entry{"max", 2}, Entry{"exp", 1},
                                         Entry{"ln", 1}, Entry{"log10", 1}, Entry{"log", 2}, Entry{"pow", 2},
                                         Entry{"sqrt", 1}, Entry{"erf", 1}, Entry{"normal_cdf", 1},
                                         Entry{"@uniswap_v3_tick_to_spot", 1}));

TEST(Lookup, NamesAreCaseSensitive) {
    EXPECT_EQ(ScalarFunctions::build("Sqrt", 1).error().message, "Undefined scalar function 'Sqrt' (with 1 arguments)");
    EXPECT_EQ(ScalarFunctions::build("uniswap_v3_tick_to_spot", 1).error().message,
              "Undefined scalar function 'uniswap_v3_tick_to_spot' (with 1 arguments)");
    EXPECT_FALSE(ScalarFunctions::exists("", 0));
}

// --- exact results: printed form (scale included) or absent ---

struct Exact {
    const char* name;
    const char* function;
    std::vector<Decimal> args;
    const char* printed;  // "NaN" for absent
};
class ExactResult : public testing::TestWithParam<Exact> {};
TEST_P(ExactResult, PrintsAs) {
    const auto& c = GetParam();
    EXPECT_EQ(call(c.function, c.args).to_string(), c.printed);
}
const Decimal negative_zero = DecimalValue::from_double(-0.0);
INSTANTIATE_TEST_SUITE_P(
    Cases, ExactResult,
    testing::Values(Exact{"max_tie_keeps_first", "max", {d("1.50"), d("1.5")}, "1.50"},
                    Exact{"max_tie_keeps_first_swapped", "max", {d("1.5"), d("1.50")}, "1.5"},
                    Exact{"min_tie_keeps_first", "min", {d("2.0"), d("2")}, "2.0"},
                    Exact{"min_tie_keeps_first_swapped", "min", {d("2"), d("2.0")}, "2"},
                    Exact{"max_larger", "max", {d("-1"), d("-2")}, "-1"},
                    Exact{"min_smaller", "min", {d("3.25"), d("-0.5")}, "-0.5"},
                    Exact{"abs", "abs", {d("-0.25")}, "0.25"},
                    Exact{"abs_positive", "abs", {d("7.10")}, "7.10"},
                    Exact{"sqrt_negative", "sqrt", {d("-4")}, "NaN"},
                    Exact{"sqrt_negative_zero", "sqrt", {negative_zero}, "NaN"},
                    Exact{"sqrt_zero", "sqrt", {d("0.00")}, "0"},
                    Exact{"log10_1000", "log10", {d("1000")}, "3"},
                    Exact{"log10_0_001", "log10", {d("0.001")}, "-3"},
                    Exact{"log10_100", "log10", {d("100")}, "2"},
                    Exact{"log10_0_01", "log10", {d("0.01")}, "-2"},
                    Exact{"log10_10_0", "log10", {d("10.0")}, "1"},
                    Exact{"log10_one_any_scale", "log10", {d("1.000")}, "0"},
                    Exact{"log10_0_0100", "log10", {d("0.0100")}, "-2"},
                    Exact{"log10_zero", "log10", {d("0")}, "NaN"},
                    Exact{"log10_negative_zero", "log10", {negative_zero}, "NaN"},
                    Exact{"log10_negative", "log10", {d("-10")}, "NaN"},
                    Exact{"log_base_one", "log", {d("8"), d("1")}, "NaN"},
                    Exact{"log_base_one_scaled", "log", {d("8"), d("1.00")}, "NaN"},
                    Exact{"log_of_zero", "log", {d("0"), d("2")}, "NaN"},
                    Exact{"log_base_zero", "log", {d("8"), d("0")}, "NaN"},
                    Exact{"pow_zero_zero", "pow", {d("0"), d("0")}, "1"},
                    Exact{"pow_inverse", "pow", {d("2"), d("-1")}, "0.5"},
                    Exact{"ln_zero", "ln", {d("0")}, "NaN"},
                    Exact{"ln_negative", "ln", {d("-1")}, "NaN"},
                    Exact{"exp_zero", "exp", {d("0")}, "1"},
                    Exact{"erf_zero", "erf", {d("0")}, "0"},
                    Exact{"erf_overflow_is_one", "erf", {d("10")}, "1"},
                    Exact{"erf_overflow_negative", "erf", {d("-10")}, "-1"},
                    Exact{"erf_huge", "erf", {d("79228162514264337593543950335")}, "1"},
                    Exact{"normal_cdf_zero", "normal_cdf", {d("0")}, "0.5"},
                    Exact{"normal_cdf_far_right", "normal_cdf", {d("20")}, "1"},
                    Exact{"normal_cdf_far_left", "normal_cdf", {d("-20")}, "0"},
                    Exact{"tick_zero", "@uniswap_v3_tick_to_spot", {d("0")}, "1"},
                    Exact{"tick_one", "@uniswap_v3_tick_to_spot", {d("1")}, "1.0001"},
                    Exact{"tick_two_keeps_scale_8", "@uniswap_v3_tick_to_spot", {d("2")}, "1.00020001"},
                    Exact{"tick_three", "@uniswap_v3_tick_to_spot", {d("3")}, "1.000300030001"},
                    Exact{"tick_beyond_range", "@uniswap_v3_tick_to_spot", {d("887272")}, "NaN"}),
    [](const auto& p) { return std::string(p.param.name); });

// --- results defined through the decimal engine ---

TEST(Numeric, Log10FallsBackToTheNaturalLogarithm) {
    const DecimalValue k = d("0.4342944819032518276511289189");
    for (const char* x : {"2", "0.5", "12.5", "1001"}) {
        auto ln = d(x).checked_ln();
        ASSERT_TRUE(ln.has_value()) << x;
        auto expected = ln->checked_mul(k);
        EXPECT_EQ(call("log10", {d(x)}).to_string(), Decimal(expected).to_string()) << x;
    }
}

TEST(Numeric, LogIsAQuotientOfLogarithms) {
    auto ln8 = d("8").checked_ln();
    auto ln2 = d("2").checked_ln();
    ASSERT_TRUE(ln8.has_value() && ln2.has_value());
    auto expected = ln8->checked_div(*ln2);
    EXPECT_EQ(call("log", {d("8"), d("2")}).to_string(), Decimal(expected).to_string());
    EXPECT_NEAR(as_double(call("log", {d("8"), d("2")})), 3.0, 1e-6);
}

TEST(Numeric, TickBelowZeroIsTheReciprocal) {
    auto expected = i(1).checked_div(d("1.00020001"));
    EXPECT_EQ(call("@uniswap_v3_tick_to_spot", {d("-2")}).to_string(), Decimal(expected).to_string());
    const double spot = as_double(call("@uniswap_v3_tick_to_spot", {d("100000")}));
    EXPECT_NEAR(spot / std::pow(1.0001, 100000.0), 1.0, 1e-9);
}

class Sqrt : public testing::TestWithParam<const char*> {};
TEST_P(Sqrt, SquaresBack) {
    const DecimalValue x = d(GetParam());
    auto root = call("sqrt", {x});
    ASSERT_TRUE(root.present());
    // Scale 28 limits tiny roots to an absolute precision of about 1e-28.
    EXPECT_NEAR(root->to_double(), std::sqrt(x.to_double()), std::sqrt(x.to_double()) * 1e-15 + 1e-27);
}
INSTANTIATE_TEST_SUITE_P(Values, Sqrt,
                         testing::Values("16", "2", "0.25", "1e-28", "0.0000000000000000000000000003",
                                         "79228162514264337593543950335", "123456789.123456789"));

TEST(Numeric, SqrtOfSixteenIsFourNumerically) { EXPECT_EQ(call("sqrt", {d("16")}), Decimal(i(4))); }

class Erf : public testing::TestWithParam<double> {};
TEST_P(Erf, OddAndCloseToTheTrueFunction) {
    const DecimalValue x = DecimalValue::from_double(GetParam()).value();
    auto plus = call("erf", {x});
    auto minus = call("erf", {x.negated()});
    ASSERT_TRUE(plus.present() && minus.present());
    EXPECT_EQ(*minus, plus->negated());
    // The approximation is good to about 3e-7.
    EXPECT_NEAR(plus->to_double(), std::erf(GetParam()), 1e-6);
    EXPECT_NEAR(as_double(call("normal_cdf", {x})), 0.5 * std::erfc(-GetParam() / std::sqrt(2.0)), 1e-6);
}
INSTANTIATE_TEST_SUITE_P(Points, Erf, testing::Values(0.001, 0.1, 0.5, 1.0, 1.7, 2.5, 4.0, 9.0, 9.5));

TEST(Numeric, ErfOfOneFromThePolynomial) {
    // x = 1: every power is 1, so S is the sum of the coefficients.
    const DecimalValue s = d("1.1225472632");
    auto s16 = s.checked_pow(i(16));
    ASSERT_TRUE(s16.has_value());
    auto expected = i(1).checked_sub(*i(1).checked_div(*s16));
    EXPECT_EQ(call("erf", {i(1)}).to_string(), Decimal(expected).to_string());
}

}  // namespace
