// The array conversion of the series read must give, bit for bit, what the
// decimal type gives for each value.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "../../../python/scaled_values.hpp"

namespace {

using tarnel::decimal::DecimalValue;

std::vector<double> convert(const std::vector<std::int64_t>& values, std::uint32_t decimals) {
    return tarnel::python::scaled_int64_to_double(reinterpret_cast<const char*>(values.data()), values.size(), decimals);
}

void expect_same_as_decimal(const std::vector<std::int64_t>& values, std::uint32_t decimals) {
    const auto out = convert(values, decimals);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double expected = DecimalValue::from_int_scaled(values[i], decimals)->to_double();
        ASSERT_EQ(std::bit_cast<std::uint64_t>(out[i]), std::bit_cast<std::uint64_t>(expected))
            << values[i] << " with " << decimals << " decimals: " << out[i] << " vs " << expected;
    }
}

std::vector<std::int64_t> edge_values() {
    std::vector<std::int64_t> v = {0, 1, -1, 5, -5, 9, 10, 11, 15, 25, 99, 100, 101, 12345, -12345,
                                   std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(),
                                   std::numeric_limits<std::int64_t>::min() + 1, (std::int64_t{1} << 53) - 1,
                                   std::int64_t{1} << 53, (std::int64_t{1} << 53) + 1, 4503599627370497,
                                   (std::int64_t{1} << 50) - 1, std::int64_t{1} << 50, -(std::int64_t{1} << 50) + 1,
                                   -(std::int64_t{1} << 50), (std::int64_t{1} << 51) - 1, -(std::int64_t{1} << 51)};
    for (int k = 0; k <= 18; ++k) {
        std::int64_t p = 1;
        for (int i = 0; i < k; ++i) p *= 10;
        for (std::int64_t d : {-1, 0, 1}) {
            v.push_back(p + d);
            v.push_back(-(p + d));
            v.push_back(5 * p + d);
        }
    }
    return v;
}

std::vector<std::int64_t> random_values(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<std::int64_t> v;
    for (int i = 0; i < 20000; ++i) {
        const auto bits = static_cast<int>(rng() % 64);
        auto x = static_cast<std::int64_t>(rng() >> (63 - bits % 63));
        v.push_back(rng() % 2 ? x : -x);
    }
    return v;
}

class EveryDecimalCount : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(EveryDecimalCount, EdgeValuesMatchTheDecimalConversion) { expect_same_as_decimal(edge_values(), GetParam()); }

TEST_P(EveryDecimalCount, RandomValuesMatchTheDecimalConversion) {
    expect_same_as_decimal(random_values(GetParam() + 1), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Counts, EveryDecimalCount, ::testing::Range(std::uint32_t{0}, std::uint32_t{29}));

// Blocks of small values take a shortcut; one large value in a block must
// not change the others, and blocks may mix.
TEST_P(EveryDecimalCount, SmallValuesAloneAndMixedMatch) {
    std::mt19937_64 rng(GetParam() + 100);
    std::vector<std::int64_t> small;
    for (int i = 0; i < 3000; ++i) small.push_back(static_cast<std::int64_t>(rng() % (std::uint64_t{1} << 50)) - (std::int64_t{1} << 49));
    expect_same_as_decimal(small, GetParam());
    auto mixed = small;
    for (std::size_t i = 0; i < mixed.size(); i += 700) mixed[i] = std::numeric_limits<std::int64_t>::max() - static_cast<std::int64_t>(i);
    expect_same_as_decimal(mixed, GetParam());
}

// The conversion picks the AVX2 steps where the processor has them; the
// portable steps must give the same bits.
class CountsWithSteps : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(CountsWithSteps, PortableStepsMatchTheDecimalConversion) {
    const std::uint32_t d = GetParam();
    namespace detail = tarnel::python::scaled_detail;
    double t = 1;
    std::uint64_t p = 1;
    for (std::uint32_t i = 0; i < d; ++i) p *= 10, t *= 10;
    const auto values = random_values(d + 200);
    std::vector<double> qd, rd, sign, out(values.size()), small_out(values.size());
    std::vector<std::int64_t> small;
    for (auto v : values) {
        const std::uint64_t c = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        qd.push_back(static_cast<double>(c / p));
        rd.push_back(static_cast<double>(c % p));
        sign.push_back(v < 0 ? -1.0 : 1.0);
        small.push_back(v % tarnel::python::scaled_detail::small_limit);
    }
    detail::finish_block_plain(qd.data(), rd.data(), sign.data(), t, out.data(), out.size());
    detail::divide_block_plain(small.data(), t, small_out.data(), small.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double expected = DecimalValue::from_int_scaled(values[i], d)->to_double();
        ASSERT_EQ(std::bit_cast<std::uint64_t>(out[i]), std::bit_cast<std::uint64_t>(expected)) << values[i];
        const double small_expected = DecimalValue::from_int_scaled(small[i], d)->to_double();
        ASSERT_EQ(std::bit_cast<std::uint64_t>(small_out[i]), std::bit_cast<std::uint64_t>(small_expected)) << small[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, CountsWithSteps, ::testing::Range(std::uint32_t{1}, std::uint32_t{20}));

TEST(ScaledValues, CountsAbove28AreNaN) {
    for (std::uint32_t d : {29u, 30u, 1000u, 4294967295u}) {
        for (double x : convert({0, 1, -7}, d)) EXPECT_TRUE(std::isnan(x)) << d;
    }
}

TEST(ScaledValues, UnalignedInput) {
    const std::vector<std::int64_t> values = {150, -275, 3};
    std::vector<char> buffer(values.size() * sizeof(std::int64_t) + 1);
    std::memcpy(buffer.data() + 1, values.data(), values.size() * sizeof(std::int64_t));
    EXPECT_EQ(tarnel::python::scaled_int64_to_double(buffer.data() + 1, values.size(), 2),
              (std::vector<double>{1.5, -2.75, 0.03}));
}

}  // namespace
