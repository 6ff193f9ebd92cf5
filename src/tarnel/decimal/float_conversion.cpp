// Conversions to and from binary floating point.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/decimal/pow10.hpp"

namespace tarnel::decimal {

namespace {

// 10.0^n by repeated squaring, as the conversion prescribes (it differs from
// the correctly rounded power for some large n).
constexpr double squared_power_of_ten(std::uint32_t n) {
    double result = 1.0;
    double base = 10.0;
    while (n > 0) {
        if ((n & 1U) != 0) {
            result *= base;
        }
        n >>= 1;
        if (n > 0) {
            base *= base;
        }
    }
    return result;
}

constexpr auto squared_powers = [] {
    std::array<double, max_scale + 1> t{};
    for (std::uint32_t i = 0; i <= max_scale; ++i) {
        t[i] = squared_power_of_ten(i);
    }
    return t;
}();

// double(10^n) converted from the exact integer.
const auto exact_powers = [] {
    std::array<double, max_scale + 1> t{};
    for (std::uint32_t i = 0; i <= max_scale; ++i) {
        t[i] = static_cast<double>(detail::pow10_u128[i]);
    }
    return t;
}();

constexpr u128 two_pow_95 = static_cast<u128>(1) << 95;
constexpr u128 two_pow_52 = static_cast<u128>(1) << 52;

constexpr auto pow5 = [] {
    std::array<u128, 42> t{};
    u128 p = 1;
    for (auto& v : t) {
        v = p;
        p *= 5;
    }
    return t;
}();

// Largest c with c * 5^j still within 96 bits.
constexpr auto pow5_limit = [] {
    std::array<u128, pow5.size()> t{};
    for (std::size_t j = 0; j < t.size(); ++j) {
        t[j] = max_coefficient / pow5[j];
    }
    return t;
}();

std::int32_t trailing_zeros(u128 c) {
    const auto low = static_cast<std::uint64_t>(c);
    return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(static_cast<std::uint64_t>(c >> 64));
}

std::int32_t bit_width(u128 c) {
    const auto high = static_cast<std::uint64_t>(c >> 64);
    return high != 0 ? 64 + static_cast<std::int32_t>(std::bit_width(high))
                     : static_cast<std::int32_t>(std::bit_width(static_cast<std::uint64_t>(c)));
}

// c * 5^p (p > 0) as c' * 10^k: halve when even, multiply by 5 while it
// fits, otherwise drop the low bit. Runs of one kind are taken in one step.
void absorb_fives(u128& c, std::int32_t& k, std::int32_t p) {
    while (p > 0) {
        if ((c & 1U) == 0) {
            const std::int32_t t = std::min(p, trailing_zeros(c));
            c >>= t;
            k += t;
            p -= t;
        } else if (c <= max_coefficient / 5) {
            // An odd c stays odd: take the largest power of five that fits.
            std::int32_t j = 1;
            while (j < p && j + 1 < static_cast<std::int32_t>(pow5.size()) && c <= pow5_limit[j + 1]) {
                ++j;
            }
            c *= pow5[j];
            p -= j;
        } else {
            c >>= 1;
            ++k;
            --p;
        }
    }
}

// c / 5^p (p > 0) as c' * 10^k: double while below 2^95, else divide by 5.
void shed_fives(u128& c, std::int32_t& k, std::int32_t p) {
    while (p > 0) {
        if (c < two_pow_95) {
            const std::int32_t t = std::min(p, 96 - bit_width(c));
            c <<= t;
            k -= t;
            p -= t;
        } else {
            c /= 5;
            --p;
        }
    }
}

}  // namespace

double DecimalValue::to_double() const {
    double result = 0.0;
    if (scale_ == 0) {
        result = static_cast<double>(coefficient_);
    } else {
        u128 q = 0;
        u128 r = 0;
        constexpr u128 below_2_64 = static_cast<u128>(1) << 64;
        if (coefficient_ < below_2_64 && scale_ <= 19) {
            const auto c = static_cast<std::uint64_t>(coefficient_);
            const auto p = static_cast<std::uint64_t>(detail::pow10_u128[scale_]);
            q = c / p;
            r = c % p;
        } else {
            q = coefficient_ / detail::pow10_u128[scale_];
            r = coefficient_ % detail::pow10_u128[scale_];
        }
        const double f = static_cast<double>(r) / exact_powers[scale_];
        if (f == 0.0) {
            result = static_cast<double>(q);
        } else {
            const double t = squared_powers[scale_];
            result = std::round((static_cast<double>(q) + f) * t) / t;
        }
    }
    return negative_ ? -result : result;
}

std::optional<DecimalValue> DecimalValue::from_double(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const bool negative = std::signbit(v);
    if (v == 0.0) {
        return DecimalValue(0, 0, negative);
    }
    // Far beyond 2^96 nothing can fit; spare the digit loops.
    if (std::fabs(v) >= 0x1p100) {
        return std::nullopt;
    }
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const auto biased = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    u128 c = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const std::int32_t e = biased == 0 ? -1074 : biased - 1075;

    std::int32_t k = e;
    if (e < 0) {
        absorb_fives(c, k, -e);
    } else if (e > 0) {
        shed_fives(c, k, e);
    }
    for (; k > 0; --k) {
        if (c > max_coefficient / 10) {
            return std::nullopt;
        }
        c *= 10;
    }
    // Digits beyond 28 places go first, then digits beyond the precision
    // the double carries; each removed digit rounds half up on its own.
    auto drop_digit = [&c, &k] {
        const auto digit = static_cast<unsigned>(c % 10);
        c /= 10;
        ++k;
        return digit;
    };
    while (k < -static_cast<std::int32_t>(max_scale)) {
        const auto digit = drop_digit();
        if (c == 0) {
            return DecimalValue(0, 0, false);
        }
        if (digit >= 5) {
            ++c;
        }
    }
    while (k < 0 && c >= two_pow_52) {
        if (drop_digit() >= 5) {
            ++c;
        }
    }
    while (k < 0 && c % 10 == 0) {
        c /= 10;
        ++k;
    }
    return DecimalValue(c, static_cast<std::uint32_t>(-k), negative);
}

}  // namespace tarnel::decimal
