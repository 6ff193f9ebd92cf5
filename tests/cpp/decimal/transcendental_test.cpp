// Power, exponential and logarithm.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal {
namespace {

DecimalValue dv(std::string_view text) {
    auto v = DecimalValue::decimal_or_scientific(text);
    EXPECT_TRUE(v) << text;
    return v.value_or(DecimalValue{});
}

struct PowCase {
    std::string base;
    std::string exponent;
    std::string printed;  // exact result, "NaN" for absent
};

void PrintTo(const PowCase& c, std::ostream* os) { *os << c.base << " ^ " << c.exponent; }

class ExactPower : public ::testing::TestWithParam<PowCase> {};

TEST_P(ExactPower, FollowsTheCaseOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(Decimal(dv(c.base)).pow(dv(c.exponent)).to_string(), c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, ExactPower,
    ::testing::Values(PowCase{"0", "0", "1"}, PowCase{"0.00", "0.0", "1"}, PowCase{"5.5", "0", "1"},
                      PowCase{"0", "-1", "0"}, PowCase{"0.000", "2.5", "0"}, PowCase{"1.00", "7", "1"},
                      PowCase{"1.0", "0.5", "1"}, PowCase{"1.50", "1", "1.50"}, PowCase{"1.50", "1.000", "1.50"},
                      PowCase{"2", "-2", "0.25"}, PowCase{"2", "-1", "0.5"}, PowCase{"1.50", "2", "2.2500"},
                      PowCase{"1.50", "2.00", "2.2500"}, PowCase{"1.50", "3", "3.375"}, PowCase{"2", "10", "1024"},
                      PowCase{"-2", "3", "-8"}, PowCase{"-2", "2.0", "4"}, PowCase{"-1.5", "-2", "0.4444444444444444444444444444"},
                      PowCase{"1.0001", "2", "1.00020001"},
                      PowCase{"1.0001", "-1", "0.9999000099990000999900009999"},
                      PowCase{"2", "95", "39614081257132168796771975168"}, PowCase{"2", "96", "NaN"},
                      PowCase{"10", "28", "10000000000000000000000000000"},
                      PowCase{"10", "-28", "0.0000000000000000000000000001"},
                      PowCase{"0.1", "28", "0.0000000000000000000000000001"}, PowCase{"0.5", "200", "0"},
                      // x^3 fits although x^4 does not: no square is taken past the last bit.
                      PowCase{"4000000000", "3", "64000000000000000000000000000"},
                      PowCase{"2", "4294967296", "NaN"}, PowCase{"1.1", "-4294967296", "NaN"},
                      PowCase{"2", "4294967295", "NaN"}));

struct ApproxCase {
    std::string argument;
    double expected;
    double relative;  // allowed relative error
};

void PrintTo(const ApproxCase& c, std::ostream* os) { *os << c.argument; }

void expect_close(const std::optional<DecimalValue>& r, const ApproxCase& c) {
    ASSERT_TRUE(r) << c.argument;
    EXPECT_NEAR(r->to_double(), c.expected, std::fabs(c.expected) * c.relative + 1e-27) << c.argument;
}

class Exponential : public ::testing::TestWithParam<ApproxCase> {};

TEST_P(Exponential, IsClose) { expect_close(dv(GetParam().argument).checked_exp(), GetParam()); }

// The series stops once a term moves the sum by 2e-7 or less, and runs out
// of terms for larger arguments; beyond about 12 its powers overflow and the
// result comes from e^n * e^f instead.
INSTANTIATE_TEST_SUITE_P(
    Decimal, Exponential,
    ::testing::Values(ApproxCase{"0.5", std::exp(0.5), 1e-7}, ApproxCase{"1", std::exp(1.0), 1e-8},
                      ApproxCase{"-1", std::exp(-1.0), 1e-8}, ApproxCase{"2.302585092994046", 10.0, 1e-7},
                      ApproxCase{"5", std::exp(5.0), 1e-8}, ApproxCase{"10", std::exp(10.0), 1e-5},
                      ApproxCase{"12", 162754.79141900392, 1e-12}, ApproxCase{"-12", 1 / 162754.79141900392, 1e-12},
                      ApproxCase{"15", std::exp(15.0), 1e-12}, ApproxCase{"-15", std::exp(-15.0), 1e-9},
                      ApproxCase{"20.25", std::exp(20.25), 1e-12}, ApproxCase{"40", std::exp(40.0), 1e-12},
                      ApproxCase{"66", std::exp(66.0), 1e-12}, ApproxCase{"66.5", std::exp(66.5), 1e-12},
                      ApproxCase{"-40", std::exp(-40.0), 1e-8}, ApproxCase{"0.0000000000000000000000000001", 1.0, 0}));

TEST(DecimalExp, StatedSeriesIsKeptWhereItYieldsAValue) {
    // Terms up to 1/11!: the first below the 2e-7 tolerance.
    EXPECT_EQ(dv("1").checked_exp()->to_string(), "2.7182818261984928651595318263");
    EXPECT_EQ(dv("0").checked_exp()->to_string(), "1");
    EXPECT_EQ(dv("0.000").checked_exp()->to_string(), "1");
}

TEST(DecimalExp, AbsentOnlyOutsideTheRange) {
    EXPECT_FALSE(dv("66.6").checked_exp());
    EXPECT_FALSE(dv("67").checked_exp());
    EXPECT_FALSE(dv("1000000").checked_exp());
    EXPECT_FALSE(dv("79228162514264337593543950335").checked_exp());
    // The true values are far below 10^-28 and round to zero.
    for (const char* x : {"-70", "-1000", "-79228162514264337593543950335"}) {
        const auto r = dv(x).checked_exp();
        ASSERT_TRUE(r) << x;
        EXPECT_TRUE(r->is_zero()) << x;
        EXPECT_FALSE(r->negative()) << x;
    }
}

class Logarithm : public ::testing::TestWithParam<ApproxCase> {};

TEST_P(Logarithm, IsClose) { expect_close(dv(GetParam().argument).checked_ln(), GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Decimal, Logarithm,
    ::testing::Values(ApproxCase{"2", std::log(2.0), 1e-15}, ApproxCase{"0.5", std::log(0.5), 1e-15},
                      ApproxCase{"10", std::log(10.0), 1e-15}, ApproxCase{"1.0001", std::log(1.0001), 1e-11},
                      ApproxCase{"0.999", std::log(0.999), 1e-12}, ApproxCase{"1000000000000000000", std::log(1e18), 1e-15},
                      ApproxCase{"79228162514264337593543950335", std::log(79228162514264337593543950335.0), 1e-15},
                      ApproxCase{"0.000001", std::log(1e-6), 1e-9},
                      ApproxCase{"2.7182818284590452353602874714", 1.0, 1e-15}));

TEST(DecimalLn, ExactCasesAndDomain) {
    EXPECT_EQ(dv("1").checked_ln()->to_string(), "0");
    EXPECT_EQ(dv("1.000").checked_ln()->to_string(), "0");
    EXPECT_FALSE(dv("0").checked_ln());
    EXPECT_FALSE(dv("-1").checked_ln());
    EXPECT_FALSE(DecimalValue::from_double(-0.0)->checked_ln());
    EXPECT_LT(dv("0.5").checked_ln()->to_double(), 0.0);
}

class FractionalPower : public ::testing::TestWithParam<ApproxCase> {};

// argument "x^y"
TEST_P(FractionalPower, IsClose) {
    const std::string& text = GetParam().argument;
    const auto at = text.find('^');
    expect_close(dv(text.substr(0, at)).checked_pow(dv(text.substr(at + 1))), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, FractionalPower,
    ::testing::Values(ApproxCase{"2^0.5", std::sqrt(2.0), 1e-8}, ApproxCase{"9^0.5", 3.0, 1e-8},
                      ApproxCase{"4^-0.5", 0.5, 1e-8}, ApproxCase{"-8^0.5", -std::sqrt(8.0), 1e-8},
                      ApproxCase{"-8^0.50", -std::sqrt(8.0), 1e-8},
                      ApproxCase{"2^20.5", 1482910.4003789306, 1e-9},
                      ApproxCase{"1000000000000000000^0.5", 1e9, 1e-9},
                      ApproxCase{"999999999999999999^0.5", 999999999.9999999995, 1e-9},
                      ApproxCase{"10^-12.5", std::pow(10.0, -12.5), 1e-6}));

TEST(DecimalPow, FractionalPowerAbsentCases) {
    EXPECT_FALSE(dv("10").checked_pow(dv("30.5")));
    EXPECT_FALSE(dv("79228162514264337593543950335").checked_pow(dv("1.5")));
}

}  // namespace
}  // namespace tarnel::decimal
