// The scale and rounding rules of the four operations, comparison and hashing.
#include <gtest/gtest.h>

#include <string>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/util/siphash.hpp"

namespace tarnel::decimal {
namespace {

DecimalValue dv(std::string_view text) {
    auto v = DecimalValue::decimal_or_scientific(text);
    EXPECT_TRUE(v) << text;
    return v.value_or(DecimalValue{});
}

enum class Op { Add, Sub, Mul, Div };

struct OpCase {
    Op op;
    std::string a;
    std::string b;
    std::string result;  // printed; "NaN" for absent
};

void PrintTo(const OpCase& c, std::ostream* os) {
    constexpr const char* names[] = {"+", "-", "*", "/"};
    *os << c.a << ' ' << names[static_cast<int>(c.op)] << ' ' << c.b;
}

std::string apply(Op op, const DecimalValue& a, const DecimalValue& b) {
    std::optional<DecimalValue> r;
    switch (op) {
        case Op::Add: r = a.checked_add(b); break;
        case Op::Sub: r = a.checked_sub(b); break;
        case Op::Mul: r = a.checked_mul(b); break;
        case Op::Div: r = a.checked_div(b); break;
    }
    return Decimal(r).to_string();
}

class Arithmetic : public ::testing::TestWithParam<OpCase> {};

TEST_P(Arithmetic, KeepsScaleAndRounds) {
    const auto& c = GetParam();
    EXPECT_EQ(apply(c.op, dv(c.a), dv(c.b)), c.result);
}

constexpr const char* max_text = "79228162514264337593543950335";

INSTANTIATE_TEST_SUITE_P(
    Addition, Arithmetic,
    ::testing::Values(OpCase{Op::Add, "1.5", "1.25", "2.75"}, OpCase{Op::Add, "1.50", "1", "2.50"},
                      OpCase{Op::Add, "1.5", "0.00", "1.5"}, OpCase{Op::Add, "0.00", "1.5", "1.5"},
                      OpCase{Op::Add, "0.000", "0.0", "0.0"}, OpCase{Op::Add, "1.5", "-1.50", "0.00"},
                      OpCase{Op::Add, "-1.5", "1.50", "0.00"}, OpCase{Op::Add, "-2", "0.5", "-1.5"},
                      OpCase{Op::Add, "-2", "-0.5", "-2.5"}, OpCase{Op::Add, max_text, "1", "NaN"},
                      OpCase{Op::Add, max_text, "-1", "79228162514264337593543950334"},
                      OpCase{Op::Add, max_text, "0.4", "79228162514264337593543950335"},
                      OpCase{Op::Add, max_text, "0.5", "NaN"},
                      // Half to even when the sum needs one digit fewer.
                      OpCase{Op::Add, "39614081257132168796771975166", "0.5", "39614081257132168796771975166"},
                      OpCase{Op::Add, "39614081257132168796771975167", "0.5", "39614081257132168796771975168"},
                      OpCase{Op::Add, "7922816251426433759354395033.5", "0.1", "7922816251426433759354395034"},
                      OpCase{Op::Add, "7922816251426433759354395033.5", "7922816251426433759354395033.5",
                             "15845632502852867518708790067"},
                      OpCase{Op::Add, "7922816251426433759354395032.5", "7922816251426433759354395032.5",
                             "15845632502852867518708790065"},
                      OpCase{Op::Add, "1", "0.0000000000000000000000000001", "1.0000000000000000000000000001"},
                      // The exact sum is rounded once, not digit by digit.
                      OpCase{Op::Add, "50000000000000000000", "0.00000000251", "50000000000000000000.000000003"},
                      OpCase{Op::Add, "50000000000000000000", "0.0000000004999999999999999999",
                             "50000000000000000000.000000000"},
                      OpCase{Op::Add, "50000000000000000000", "0.0000000005000000000000000001",
                             "50000000000000000000.000000001"}));

INSTANTIATE_TEST_SUITE_P(
    Subtraction, Arithmetic,
    ::testing::Values(OpCase{Op::Sub, "1.5", "1.25", "0.25"}, OpCase{Op::Sub, "0.00", "1.5", "-1.5"},
                      OpCase{Op::Sub, "0", "-1.5", "1.5"}, OpCase{Op::Sub, "1.5", "0.000", "1.5"},
                      OpCase{Op::Sub, "1.50", "1.5", "0.00"}, OpCase{Op::Sub, "0.0", "0", "0"}, OpCase{Op::Sub, "0", "0.0", "0.0"},
                      OpCase{Op::Sub, "1", "2", "-1"}, OpCase{Op::Sub, "-79228162514264337593543950335", "1", "NaN"},
                      OpCase{Op::Sub, max_text, "0.0000000000000000000000000001", max_text}));

INSTANTIATE_TEST_SUITE_P(
    Multiplication, Arithmetic,
    ::testing::Values(OpCase{Op::Mul, "1.5", "1.5", "2.25"}, OpCase{Op::Mul, "2.0", "3", "6.0"},
                      OpCase{Op::Mul, "1.10", "2", "2.20"}, OpCase{Op::Mul, "0.00", "1.5", "0"},
                      OpCase{Op::Mul, "-1.5", "0", "0"}, OpCase{Op::Mul, "-1.5", "2", "-3.0"},
                      OpCase{Op::Mul, "-1.5", "-2", "3.0"},
                      // Scale beyond 28: rounded half to even at 28 places.
                      OpCase{Op::Mul, "0.00000000000001", "0.000000000000015", "0.0000000000000000000000000002"},
                      OpCase{Op::Mul, "0.00000000000001", "0.000000000000025", "0.0000000000000000000000000002"},
                      OpCase{Op::Mul, "0.00000000000001", "0.0000000000000251", "0.0000000000000000000000000003"},
                      OpCase{Op::Mul, "0.0000000000001", "0.0000000000000001", "0.0000000000000000000000000000"},
                      OpCase{Op::Mul, "-0.0000000000001", "0.0000000000000001", "0.0000000000000000000000000000"},
                      OpCase{Op::Mul, "-0.00000000000001", "0.000000000000006", "-0.0000000000000000000000000001"},
                      OpCase{Op::Mul, max_text, "1", max_text}, OpCase{Op::Mul, max_text, "1.0", max_text},
                      OpCase{Op::Mul, max_text, "2", "NaN"},
                      OpCase{Op::Mul, max_text, "0.5", "39614081257132168796771975168"},
                      OpCase{Op::Mul, "7922816251426433759354395033.5", "10", max_text},
                      OpCase{Op::Mul, "7922816251426433759354395033.5", "10.01", "NaN"},
                      OpCase{Op::Mul, "1.0000000000000000000000000001", "1.0000000000000000000000000001",
                             "1.0000000000000000000000000002"},
                      // Two digits go at once: ...502.51 becomes ...503.
                      OpCase{Op::Mul, "48041161005095895928549235151", "1.01", "48521572615146854887834727503"}));

INSTANTIATE_TEST_SUITE_P(
    Division, Arithmetic,
    ::testing::Values(OpCase{Op::Div, "1.00", "1", "1.00"}, OpCase{Op::Div, "10", "4", "2.5"},
                      OpCase{Op::Div, "1", "0.50", "2"}, OpCase{Op::Div, "1", "3", "0.3333333333333333333333333333"},
                      OpCase{Op::Div, "2", "3", "0.6666666666666666666666666667"},
                      OpCase{Op::Div, "-2", "3", "-0.6666666666666666666666666667"},
                      OpCase{Op::Div, "1", "0", "NaN"}, OpCase{Op::Div, "0", "0", "NaN"},
                      OpCase{Op::Div, "0.00", "7", "0"}, OpCase{Op::Div, "1", "8", "0.125"},
                      OpCase{Op::Div, "1.000", "8", "0.125"}, OpCase{Op::Div, "1.0000", "8", "0.1250"},
                      OpCase{Op::Div, "-6", "-3", "2"}, OpCase{Op::Div, "6", "-0.3", "-20"},
                      OpCase{Op::Div, "100", "3", "33.333333333333333333333333333"},
                      OpCase{Op::Div, max_text, "3", "26409387504754779197847983445"},
                      OpCase{Op::Div, max_text, "0.1", "NaN"},
                      OpCase{Op::Div, max_text, "7", "11318308930609191084791992905"},
                      OpCase{Op::Div, "1", max_text, "0.0000000000000000000000000000"},
                      OpCase{Op::Div, "0.0000000000000000000000000001", "2", "0.0000000000000000000000000000"},
                      OpCase{Op::Div, "0.0000000000000000000000000003", "2", "0.0000000000000000000000000002"},
                      OpCase{Op::Div, "-0.0000000000000000000000000001", "3", "0.0000000000000000000000000000"},
                      OpCase{Op::Div, "7.9228162514264337593543950335", "0.5", "15.845632502852867518708790067"},
                      OpCase{Op::Div, "1", "1024", "0.0009765625"},
                      OpCase{Op::Div, "0.001", "1000", "0.000001"}, OpCase{Op::Div, "5", "0.001", "5000"},
                      OpCase{Op::Div, "2", "0.0000000000000000000000000001", "20000000000000000000000000000"},
                      OpCase{Op::Div, "8", "0.0000000000000000000000000001", "NaN"}));

struct CompareCase {
    std::string a;
    std::string b;
    int order;  // sign of a - b
};

class Comparison : public ::testing::TestWithParam<CompareCase> {};

TEST_P(Comparison, IsNumeric) {
    const auto& c = GetParam();
    const auto a = dv(c.a);
    const auto b = dv(c.b);
    const auto ord = a <=> b;
    EXPECT_EQ(ord < 0, c.order < 0);
    EXPECT_EQ(ord == 0, c.order == 0);
    EXPECT_EQ(a == b, c.order == 0);
    EXPECT_EQ((b <=> a) > 0, c.order < 0);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, Comparison,
    ::testing::Values(CompareCase{"1.50", "1.5", 0}, CompareCase{"1.5", "1.25", 1}, CompareCase{"-1.5", "1.25", -1},
                      CompareCase{"-1.5", "-1.25", -1}, CompareCase{"0.000", "0", 0}, CompareCase{"0", "-0.00", 0},
                      CompareCase{"0", "0.0000000000000000000000000001", -1},
                      CompareCase{"-0.0000000000000000000000000001", "0", -1},
                      CompareCase{"79228162514264337593543950335", "7.9228162514264337593543950335", 1},
                      CompareCase{"7.9228162514264337593543950335", "7.922816251426433759354395034", -1},
                      CompareCase{"100000000000000000", "99999999999999999.99999999999", 1},
                      CompareCase{"1000000000000000000000000000", "1000000000000000000000000000.0", 0},
                      CompareCase{"12345678901234567890", "1234567890123456789.1", 1}));

TEST(DecimalComparison, NegativeZeroFromDoubleEqualsZero) {
    const auto negative_zero = DecimalValue::from_double(-0.0);
    ASSERT_TRUE(negative_zero);
    EXPECT_TRUE(negative_zero->negative());
    EXPECT_EQ(*negative_zero, DecimalValue::from_i64(0));
    EXPECT_EQ(negative_zero->to_string(), "-0");
}

std::uint64_t hash_of(const Decimal& d) {
    util::SipHasher13 h;
    d.hash_feed(h);
    return h.finish();
}

struct HashCase {
    std::string a;
    std::string b;
};

class EqualHash : public ::testing::TestWithParam<HashCase> {};

TEST_P(EqualHash, EqualValuesHashAlike) {
    EXPECT_EQ(hash_of(dv(GetParam().a)), hash_of(dv(GetParam().b)));
}

INSTANTIATE_TEST_SUITE_P(Decimal, EqualHash,
                         ::testing::Values(HashCase{"1.50", "1.5"}, HashCase{"0.000", "0"},
                                           HashCase{"-12.3400", "-12.34"}, HashCase{"100", "100.00"}));

TEST(DecimalHash, FeedsNormalizedWords) {
    // -1.50 normalizes to coefficient 15, scale 1, sign set.
    util::SipHasher13 expected;
    expected.write_u64(1);
    expected.write_u32(15);
    expected.write_u32(0);
    expected.write_u32(0);
    expected.write_u32((1U << 16) | 0x8000'0000U);
    EXPECT_EQ(hash_of(dv("-1.50")), expected.finish());

    util::SipHasher13 wide;
    wide.write_u64(1);
    wide.write_u32(0xFFFF'FFFFU);
    wide.write_u32(0xFFFF'FFFFU);
    wide.write_u32(0xFFFF'FFFFU);
    wide.write_u32(28U << 16);
    EXPECT_EQ(hash_of(dv("7.9228162514264337593543950335")), wide.finish());

    util::SipHasher13 zero;
    zero.write_u64(1);
    for (int i = 0; i < 4; ++i) {
        zero.write_u32(0);
    }
    EXPECT_EQ(hash_of(*DecimalValue::from_double(-0.0)), zero.finish());

    util::SipHasher13 absent;
    absent.write_u64(0);
    EXPECT_EQ(hash_of(Decimal::absent()), absent.finish());
    EXPECT_NE(hash_of(dv("1.5")), hash_of(dv("-1.5")));
}

TEST(DecimalEquality, AbsentEqualsOnlyAbsent) {
    EXPECT_EQ(Decimal::absent(), Decimal::absent());
    EXPECT_FALSE(Decimal::absent() == Decimal(dv("0")));
    EXPECT_EQ(Decimal(dv("2.0")), Decimal(dv("2")));
}

TEST(DecimalOperators, AbsentOperandGivesAbsent) {
    const Decimal one = dv("1");
    const Decimal nan = Decimal::absent();
    for (const Decimal& r : {one + nan, nan - one, nan * one, one / nan, nan.pow(one), one.pow(nan)}) {
        EXPECT_TRUE(r.is_absent());
    }
    EXPECT_EQ((one / Decimal(dv("4"))).to_string(), "0.25");
}

TEST(DecimalValueOps, NormalizedAbsNegated) {
    EXPECT_EQ(dv("-1.2500").normalized().to_string(), "-1.25");
    EXPECT_EQ(dv("0.000").normalized().to_string(), "0");
    EXPECT_EQ(DecimalValue::from_double(-0.0)->normalized().to_string(), "0");
    EXPECT_EQ(dv("1200").normalized().to_string(), "1200");
    EXPECT_EQ(dv("-0.25").abs().to_string(), "0.25");
    EXPECT_EQ(dv("0.25").negated().to_string(), "-0.25");
    EXPECT_EQ(dv("0.00").negated().to_string(), "0.00");
}

}  // namespace
}  // namespace tarnel::decimal
