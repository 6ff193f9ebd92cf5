#include "tarnel/decimal/rounding.hpp"

#include <algorithm>

#include "tarnel/decimal/pow10.hpp"

namespace tarnel::decimal::detail {

bool divide_pow10_rounded(WideUint& v, std::uint32_t k, Rounding mode, bool sticky) {
    if (k == 0) {
        return sticky;
    }
    // Low chunks first, so the last remainder holds the leading removed digits.
    while (k > 9) {
        sticky |= v.div_small(pow10_u32[9]) != 0;
        k -= 9;
    }
    const std::uint32_t d = pow10_u32[k];
    const std::uint64_t twice = 2 * static_cast<std::uint64_t>(v.div_small(d));
    bool up = false;
    if (twice > d || (twice == d && sticky)) {
        up = true;
    } else if (twice == d) {
        up = mode == Rounding::HalfUp || (v.limb(0) & 1U) != 0;
    }
    if (up) {
        v.add_small(1);
    }
    return sticky || twice != 0;
}

std::optional<Fitted> fit(const WideUint& v, std::uint32_t scale, bool negative, std::uint32_t min_drop, bool sticky) {
    std::uint32_t k = std::max(min_drop, scale > max_scale ? scale - max_scale : 0U);
    const std::size_t bits = v.bit_length();
    if (bits > 96) {
        // 10^k <= 2^(bits-97) cannot bring the value below 2^96.
        k = std::max(k, static_cast<std::uint32_t>((bits - 97) * 30103 / 100000));
    }
    for (; k <= scale; ++k) {
        WideUint t = v;
        const bool inexact = divide_pow10_rounded(t, k, Rounding::HalfEven, sticky);
        if (t.fits_coefficient()) {
            const u128 c = t.low_u128();
            return Fitted{*DecimalValue::from_parts(c, scale - k, negative && c != 0), inexact};
        }
    }
    return std::nullopt;
}

}  // namespace tarnel::decimal::detail
