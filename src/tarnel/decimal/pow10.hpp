#pragma once
// Powers of ten shared by parsing, arithmetic and the float conversions.
#include <array>
#include <cstdint>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal::detail {

inline constexpr std::array<u128, 39> pow10_u128 = [] {
    std::array<u128, 39> t{};
    u128 p = 1;
    for (auto& v : t) {
        v = p;
        p *= 10;
    }
    return t;
}();

inline constexpr std::array<std::uint32_t, 10> pow10_u32 = {
    1U, 10U, 100U, 1'000U, 10'000U, 100'000U, 1'000'000U, 10'000'000U, 100'000'000U, 1'000'000'000U};

// Largest value that can be multiplied by 10^n and still stays below 2^126,
// so that two such products add without overflow.
inline constexpr std::array<u128, 39> scalable_below_2_126 = [] {
    std::array<u128, 39> t{};
    for (std::size_t n = 0; n < t.size(); ++n) {
        t[n] = ((static_cast<u128>(1) << 126) - 1) / pow10_u128[n];
    }
    return t;
}();

// Strips up to `limit` trailing zero digits; returns how many went.
inline std::uint32_t strip_zeros(u128& c, std::uint32_t limit) {
    std::uint32_t n = 0;
    if (c == 0) {
        return 0;
    }
    while (n < limit && (c & 1U) == 0 && c % 10 == 0) {
        c /= 10;
        ++n;
    }
    return n;
}

}  // namespace tarnel::decimal::detail
