// Parsing and printing of decimals.
#include <gtest/gtest.h>

#include <string>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal {
namespace {

struct ParseCase {
    std::string text;
    std::string printed;  // empty: the text must fail
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

std::string parse_printed(std::string_view text) {
    const auto v = DecimalValue::decimal_or_scientific(text);
    return v ? v->to_string() : std::string();
}

class PlainNotation : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PlainNotation, ParsesToPrintedForm) { EXPECT_EQ(parse_printed(GetParam().text), GetParam().printed); }

INSTANTIATE_TEST_SUITE_P(
    Decimal, PlainNotation,
    ::testing::Values(
        ParseCase{"0", "0"}, ParseCase{"1.50", "1.50"}, ParseCase{"+7", "7"}, ParseCase{"-12.345", "-12.345"},
        ParseCase{".5", "0.5"}, ParseCase{"5.", "5"}, ParseCase{"1_0.5", "10.5"}, ParseCase{"1_000_000", "1000000"},
        ParseCase{"-0.00", "0.00"}, ParseCase{"-0", "0"}, ParseCase{"0.0000005", "0.0000005"},
        ParseCase{"79228162514264337593543950335", "79228162514264337593543950335"},
        ParseCase{"-79228162514264337593543950335", "-79228162514264337593543950335"},
        ParseCase{"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
        // 29 fractional digits: rounded half up on the 29th.
        ParseCase{"0.30000000000000000000000000005", "0.3000000000000000000000000001"},
        ParseCase{"0.30000000000000000000000000004", "0.3000000000000000000000000000"},
        ParseCase{"-0.00000000000000000000000000009", "-0.0000000000000000000000000001"},
        ParseCase{"-0.00000000000000000000000000004", "0.0000000000000000000000000000"},
        // The coefficient fills 96 bits before 28 places.
        ParseCase{"66524494428321243757.23308471251", "66524494428321243757.233084713"},
        ParseCase{"7.92281625142643375935439503354", "7.9228162514264337593543950335"},
        // Rounding 2^96 - 1 up drops one more digit.
        ParseCase{"7.92281625142643375935439503355", "7.922816251426433759354395034"},
        ParseCase{"79228162514264337593543950335.4", "79228162514264337593543950335"},
        // Digits after the rounding point are checked but do not count.
        ParseCase{"1.000000000000000000000000000049999", "1.0000000000000000000000000000"},
        ParseCase{"1.00000000000000000000000000005_1", "1.0000000000000000000000000001"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, PlainNotation,
    ::testing::Values(ParseCase{"", ""}, ParseCase{"-", ""}, ParseCase{"+", ""}, ParseCase{".", ""},
                      ParseCase{"1.2.3", ""}, ParseCase{"1_", ""}, ParseCase{"1__0", ""}, ParseCase{"-_1", ""},
                      ParseCase{"+.5", ""}, ParseCase{" 1", ""}, ParseCase{"1 ", ""}, ParseCase{"nan", ""},
                      ParseCase{"0x10", ""}, ParseCase{"1,5", ""},
                      ParseCase{"79228162514264337593543950336", ""},
                      ParseCase{"792281625142643375935439503350", ""},
                      ParseCase{"79228162514264337593543950335.5", ""},
                      // A tail after the rounding digit is still validated.
                      ParseCase{"1.00000000000000000000000000000xyz", ""},
                      ParseCase{"1.000000000000000000000000000001.5", ""},
                      ParseCase{"1.00000000000000000000000000000_", ""}));

class ScientificNotation : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ScientificNotation, ParsesToPrintedForm) { EXPECT_EQ(parse_printed(GetParam().text), GetParam().printed); }

INSTANTIATE_TEST_SUITE_P(
    Decimal, ScientificNotation,
    ::testing::Values(ParseCase{"1e-28", "0.0000000000000000000000000001"},
                      ParseCase{"12.5e-27", "0.0000000000000000000000000125"}, ParseCase{"1.50e-2", "0.0150"},
                      ParseCase{"1.5e1", "15"}, ParseCase{"1.5E+1", "15"}, ParseCase{"1.2e10", "12000000000"},
                      ParseCase{"1.0e2", "100"}, ParseCase{"1.25e1", "12.5"}, ParseCase{"-2e3", "-2000"},
                      ParseCase{"1e28", "10000000000000000000000000000"}, ParseCase{"5e-0", "5"},
                      ParseCase{"5e-00000000001", "0.5"}, ParseCase{"0e5", "0"}, ParseCase{"-0e-3", "0.000"},
                      ParseCase{"1_0e1", "100"},
                      // The exponent applies to the rounded mantissa.
                      ParseCase{"1.00000000000000000000000000000001e5", "100000.00000000000000000000000"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, ScientificNotation,
    ::testing::Values(ParseCase{"1e-29", ""}, ParseCase{"1e29", ""}, ParseCase{"12.5e-28", ""},
                      ParseCase{"1e", ""}, ParseCase{"1e+", ""}, ParseCase{"1e-", ""}, ParseCase{"e5", ""},
                      ParseCase{"1e1_0", ""}, ParseCase{"1e5x", ""}, ParseCase{"1e 5", ""},
                      ParseCase{"1e4294967296", ""}, ParseCase{"1e-4294967295", ""}, ParseCase{"1e2e3", ""},
                      // c * 10^x must fit before the fractional zeros go.
                      ParseCase{"1.0e28", ""}, ParseCase{"8e28", ""},
                      ParseCase{"0.1234567890123456789012345678901e-5", ""}));

struct FromStrCase {
    std::string text;
    bool converts;
    bool absent;
    std::string printed;
};

void PrintTo(const FromStrCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class FromStr : public ::testing::TestWithParam<FromStrCase> {};

TEST_P(FromStr, Converts) {
    const auto& c = GetParam();
    const auto d = Decimal::from_str(c.text);
    ASSERT_EQ(d.has_value(), c.converts);
    if (!d) {
        return;
    }
    EXPECT_EQ(d->is_absent(), c.absent);
    EXPECT_EQ(d->to_string(), c.printed);
}

INSTANTIATE_TEST_SUITE_P(Decimal, FromStr,
                         ::testing::Values(FromStrCase{"nan", true, true, "NaN"}, FromStrCase{"NaN", true, true, "NaN"},
                                           FromStrCase{"NAN", true, true, "NaN"}, FromStrCase{"nAn", true, true, "NaN"},
                                           FromStrCase{" nan", false, false, ""}, FromStrCase{"nan1", false, false, ""},
                                           FromStrCase{"nana", false, false, ""}, FromStrCase{"1.50", true, false, "1.50"},
                                           FromStrCase{"1_0e1_0", true, false, "100000000000"},
                                           FromStrCase{"1__0", true, false, "10"}, FromStrCase{"_", false, false, ""},
                                           FromStrCase{"2.5e-1", true, false, "0.25"},
                                           FromStrCase{"inf", false, false, ""}));

struct PrintCase {
    u128 coefficient;
    std::uint32_t scale;
    bool negative;
    std::string printed;
};

class Printing : public ::testing::TestWithParam<PrintCase> {};

TEST_P(Printing, PrintsAllScaleDigits) {
    const auto& c = GetParam();
    const auto v = DecimalValue::from_parts(c.coefficient, c.scale, c.negative);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->to_string(), c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, Printing,
    ::testing::Values(PrintCase{5, 7, false, "0.0000005"}, PrintCase{1200, 0, false, "1200"},
                      PrintCase{150, 2, false, "1.50"}, PrintCase{0, 0, false, "0"}, PrintCase{0, 0, true, "-0"},
                      PrintCase{0, 3, false, "0.000"}, PrintCase{5, 1, true, "-0.5"},
                      PrintCase{max_coefficient, 0, false, "79228162514264337593543950335"},
                      PrintCase{max_coefficient, 28, true, "-7.9228162514264337593543950335"},
                      PrintCase{1, 28, false, "0.0000000000000000000000000001"},
                      // Crosses the 10^19 split with inner zeros.
                      PrintCase{static_cast<u128>(10'000'000'000'000'000'000ULL) * 10, 0, false,
                                "100000000000000000000"},
                      PrintCase{static_cast<u128>(10'000'000'000'000'000'000ULL) + 7, 20, false,
                                "0.10000000000000000007"}));

TEST(DecimalPrinting, AbsentPrintsNaN) { EXPECT_EQ(Decimal::absent().to_string(), "NaN"); }

TEST(DecimalParts, RejectsOutOfRange) {
    EXPECT_FALSE(DecimalValue::from_parts(max_coefficient + 1, 0, false));
    EXPECT_FALSE(DecimalValue::from_parts(1, 29, false));
}

}  // namespace
}  // namespace tarnel::decimal
