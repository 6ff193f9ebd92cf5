// Conversions from integers and to and from binary floating point.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal {
namespace {

TEST(DecimalFromI64, KeepsSignAndMagnitude) {
    EXPECT_EQ(DecimalValue::from_i64(0).to_string(), "0");
    EXPECT_FALSE(DecimalValue::from_i64(0).negative());
    EXPECT_EQ(DecimalValue::from_i64(-42).to_string(), "-42");
    EXPECT_EQ(DecimalValue::from_i64(std::numeric_limits<std::int64_t>::min()).to_string(), "-9223372036854775808");
    EXPECT_EQ(DecimalValue::from_i64(std::numeric_limits<std::int64_t>::max()).to_string(), "9223372036854775807");
}

struct ScaledCase {
    i128 value;
    std::uint32_t decimals;
    std::string printed;  // "NaN": absent
};

class FromIntScaled : public ::testing::TestWithParam<ScaledCase> {};

TEST_P(FromIntScaled, Converts) {
    const auto& c = GetParam();
    EXPECT_EQ(Decimal(DecimalValue::from_int_scaled(c.value, c.decimals)).to_string(), c.printed);
}

constexpr i128 two_96 = static_cast<i128>(1) << 96;

INSTANTIATE_TEST_SUITE_P(
    Decimal, FromIntScaled,
    ::testing::Values(ScaledCase{150, 2, "1.50"}, ScaledCase{-150, 2, "-1.50"}, ScaledCase{0, 5, "0.00000"},
                      ScaledCase{7, 28, "0.0000000000000000000000000007"}, ScaledCase{7, 29, "NaN"},
                      ScaledCase{1, 4294967295U, "NaN"}, ScaledCase{two_96 - 1, 0, "79228162514264337593543950335"},
                      ScaledCase{-(two_96 - 1), 28, "-7.9228162514264337593543950335"},
                      ScaledCase{two_96, 0, "NaN"}, ScaledCase{-two_96, 3, "NaN"},
                      ScaledCase{std::numeric_limits<i128>::min(), 0, "NaN"},
                      ScaledCase{std::numeric_limits<i128>::max(), 0, "NaN"},
                      ScaledCase{1'000'000'000'000'000'000LL, 18, "1.000000000000000000"}));

struct FromDoubleCase {
    double value;
    std::string printed;  // "NaN": absent
};

void PrintTo(const FromDoubleCase& c, std::ostream* os) { *os << c.value; }

class FromDouble : public ::testing::TestWithParam<FromDoubleCase> {};

TEST_P(FromDouble, Converts) {
    EXPECT_EQ(Decimal(DecimalValue::from_double(GetParam().value)).to_string(), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, FromDouble,
    ::testing::Values(FromDoubleCase{0.1, "0.1"}, FromDoubleCase{2.0 / 3.0, "0.666666666666667"},
                      FromDoubleCase{1.0 / 3.0, "0.3333333333333333"}, FromDoubleCase{0.3, "0.3"},
                      FromDoubleCase{1e20, "100000000000000000000"}, FromDoubleCase{1e300, "NaN"},
                      FromDoubleCase{1e-30, "0"}, FromDoubleCase{-1e-30, "0"}, FromDoubleCase{0.0, "0"},
                      FromDoubleCase{-0.0, "-0"}, FromDoubleCase{1.25, "1.25"}, FromDoubleCase{-2.5, "-2.5"},
                      FromDoubleCase{1.0001, "1.0001"}, FromDoubleCase{123.456, "123.456"},
                      FromDoubleCase{1e-5, "0.00001"}, FromDoubleCase{1e-28, "0.0000000000000000000000000001"},
                      FromDoubleCase{4e-29, "0"}, FromDoubleCase{42.0, "42"},
                      FromDoubleCase{9007199254740993.0, "9007199254740992"},
                      FromDoubleCase{0x1p96, "79228162514264337593543950330"}, FromDoubleCase{0x1p97, "NaN"},
                      FromDoubleCase{std::numeric_limits<double>::denorm_min(), "0"},
                      FromDoubleCase{std::numeric_limits<double>::max(), "NaN"},
                      FromDoubleCase{std::numeric_limits<double>::quiet_NaN(), "NaN"},
                      FromDoubleCase{std::numeric_limits<double>::infinity(), "NaN"},
                      FromDoubleCase{-std::numeric_limits<double>::infinity(), "NaN"},
                      // Digits beyond the double's precision go one at a time, each
                      // rounded half up on its own, so a carry can ripple: ...6064|6 -> ...607.
                      FromDoubleCase{689.97308924960646, "689.973089249607"},
                      FromDoubleCase{0.0023791752752475985, "0.002379175275247599"},
                      FromDoubleCase{-24167.104122147804, "-24167.10412214781"},
                      // Random doubles checked against an independent rendering of the steps.
                      FromDoubleCase{323.83276483316234, "323.8327648331623"},
                      FromDoubleCase{150.8491739245019, "150.8491739245019"},
                      FromDoubleCase{650.9344730398537, "650.934473039854"},
                      FromDoubleCase{72.43628666754276, "72.4362866675428"},
                      FromDoubleCase{535.8820043066892, "535.882004306689"},
                      FromDoubleCase{365.6889169125855, "365.6889169125855"},
                      FromDoubleCase{-884002150450.5864, "-884002150450.586"},
                      FromDoubleCase{-5.706036383286766e-16, "-0.0000000000000005706036383287"},
                      FromDoubleCase{-1.3270863267522825e-17, "-0.0000000000000000132708632675"},
                      FromDoubleCase{-518673999745949.94, "-518673999745950"},
                      FromDoubleCase{-1509616217149720.8, "-1509616217149721"},
                      FromDoubleCase{-7.523960777007088e-07, "-0.000000752396077700709"},
                      FromDoubleCase{2.612518314634742e+16, "26125183146347420"},
                      FromDoubleCase{8954178849140113.0, "8954178849140113"},
                      FromDoubleCase{1.7108284528077358e-18, "0.0000000000000000017108284528"},
                      FromDoubleCase{9.525102111858401e-19, "0.0000000000000000009525102112"},
                      // A value that shrinks to zero before rounding is zero.
                      FromDoubleCase{7.6e-29, "0"}));

struct ToDoubleCase {
    std::string text;
    double value;
};

class ToDouble : public ::testing::TestWithParam<ToDoubleCase> {};

TEST_P(ToDouble, Converts) {
    const auto v = DecimalValue::decimal_or_scientific(GetParam().text);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->to_double(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, ToDouble,
    ::testing::Values(ToDoubleCase{"1.25", 1.25}, ToDoubleCase{"-1.25", -1.25}, ToDoubleCase{"0.1", 0.1},
                      ToDoubleCase{"123", 123.0}, ToDoubleCase{"2.000", 2.0}, ToDoubleCase{"0", 0.0},
                      ToDoubleCase{"-0.5", -0.5}, ToDoubleCase{"12345.6789", 12345.6789},
                      ToDoubleCase{"79228162514264337593543950335", 79228162514264337593543950335.0},
                      ToDoubleCase{"1.000000000000000000", 1.0}, ToDoubleCase{"0.000001", 0.000001},
                      ToDoubleCase{"123456789012.123456789", 123456789012.12346}));

TEST(DecimalToDouble, NegativeZeroKeepsSign) {
    const double d = DecimalValue::from_double(-0.0)->to_double();
    EXPECT_EQ(d, 0.0);
    EXPECT_TRUE(std::signbit(d));
}

TEST(DecimalToDouble, TinyAndWideValuesStayClose) {
    for (const char* text : {"0.0000000000000000000000000001", "7.9228162514264337593543950335",
                             "0.3333333333333333333333333333", "1234567890123456789.123456789"}) {
        const auto v = DecimalValue::decimal_or_scientific(text);
        ASSERT_TRUE(v);
        const double expected = std::strtod(text, nullptr);
        EXPECT_NEAR(v->to_double(), expected, std::fabs(expected) * 1e-15) << text;
    }
}

TEST(DecimalFloatRoundTrip, ShortDecimalsSurvive) {
    // Decimals of up to 15 significant digits come back unchanged.
    for (const char* text : {"0.1", "1.5", "-273.15", "0.000123", "98765.4321", "1e-20", "3.14159265358979"}) {
        const auto v = DecimalValue::decimal_or_scientific(text);
        ASSERT_TRUE(v);
        const auto back = DecimalValue::from_double(v->to_double());
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, *v) << text;
    }
}

}  // namespace
}  // namespace tarnel::decimal
