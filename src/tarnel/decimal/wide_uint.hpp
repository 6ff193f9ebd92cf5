#pragma once
// Fixed-width unsigned integer for the exact intermediates of decimal
// arithmetic: aligned sums (<= 191 bits), products (<= 192 bits) and scaled
// dividends (<= 284 bits). Little-endian 32-bit limbs keep every partial
// product inside a native 64-bit word.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal::detail {

class WideUint {
public:
    static constexpr std::size_t limbs = 10;  // 320 bits

    constexpr WideUint() = default;
    constexpr explicit WideUint(u128 v) {
        for (std::size_t i = 0; i < 4; ++i) {
            limb_[i] = static_cast<std::uint32_t>(v >> (32 * i));
        }
    }

    [[nodiscard]] constexpr std::uint32_t limb(std::size_t i) const { return limb_[i]; }

    // Number of limbs up to the highest non-zero one.
    [[nodiscard]] constexpr std::size_t used() const {
        std::size_t n = limbs;
        while (n > 0 && limb_[n - 1] == 0) {
            --n;
        }
        return n;
    }
    [[nodiscard]] constexpr bool is_zero() const { return used() == 0; }
    [[nodiscard]] constexpr std::size_t bit_length() const {
        const std::size_t n = used();
        return n == 0 ? 0 : 32 * (n - 1) + static_cast<std::size_t>(std::bit_width(limb_[n - 1]));
    }
    [[nodiscard]] constexpr bool fits_u128() const { return used() <= 4; }
    // Low 128 bits.
    [[nodiscard]] constexpr u128 low_u128() const {
        u128 v = 0;
        for (std::size_t i = 4; i-- > 0;) {
            v = (v << 32) | limb_[i];
        }
        return v;
    }
    [[nodiscard]] constexpr bool fits_coefficient() const {
        return fits_u128() && low_u128() <= max_coefficient;
    }

    // The callers size their values so that these never carry out of the
    // top limb.
    constexpr void mul_small(std::uint32_t m) {
        std::uint64_t carry = 0;
        for (auto& l : limb_) {
            const std::uint64_t t = static_cast<std::uint64_t>(l) * m + carry;
            l = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
    }
    constexpr void mul_pow10(std::uint32_t k) {
        for (; k >= 9; k -= 9) {
            mul_small(1'000'000'000U);
        }
        if (k > 0) {
            std::uint32_t p = 1;
            for (; k > 0; --k) {
                p *= 10;
            }
            mul_small(p);
        }
    }
    constexpr void add_small(std::uint32_t v) {
        std::uint64_t carry = v;
        for (std::size_t i = 0; i < limbs && carry != 0; ++i) {
            const std::uint64_t t = static_cast<std::uint64_t>(limb_[i]) + carry;
            limb_[i] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
    }
    // In place quotient; returns the remainder.
    constexpr std::uint32_t div_small(std::uint32_t d) {
        std::uint64_t r = 0;
        for (std::size_t i = used(); i-- > 0;) {
            const std::uint64_t cur = (r << 32) | limb_[i];
            limb_[i] = static_cast<std::uint32_t>(cur / d);
            r = cur % d;
        }
        return static_cast<std::uint32_t>(r);
    }

    constexpr void add(const WideUint& o) {
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < limbs; ++i) {
            const std::uint64_t t = static_cast<std::uint64_t>(limb_[i]) + o.limb_[i] + carry;
            limb_[i] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
    }
    // Requires *this >= o.
    constexpr void sub(const WideUint& o) {
        std::uint64_t borrow = 0;
        for (std::size_t i = 0; i < limbs; ++i) {
            const std::uint64_t t = static_cast<std::uint64_t>(limb_[i]) - o.limb_[i] - borrow;
            limb_[i] = static_cast<std::uint32_t>(t);
            borrow = (t >> 32) & 1U;
        }
    }

    friend constexpr int compare(const WideUint& a, const WideUint& b) {
        for (std::size_t i = limbs; i-- > 0;) {
            if (a.limb_[i] != b.limb_[i]) {
                return a.limb_[i] < b.limb_[i] ? -1 : 1;
            }
        }
        return 0;
    }

    // Full product of two values below 2^160.
    static constexpr WideUint product(u128 a, u128 b) {
        const WideUint x(a);
        const WideUint y(b);
        WideUint out;
        const std::size_t nx = x.used();
        const std::size_t ny = y.used();
        for (std::size_t i = 0; i < nx; ++i) {
            std::uint64_t carry = 0;
            for (std::size_t j = 0; j < ny; ++j) {
                const std::uint64_t t =
                    static_cast<std::uint64_t>(x.limb_[i]) * y.limb_[j] + out.limb_[i + j] + carry;
                out.limb_[i + j] = static_cast<std::uint32_t>(t);
                carry = t >> 32;
            }
            out.limb_[i + ny] = static_cast<std::uint32_t>(carry);
        }
        return out;
    }

    // Quotient of *this by a non-zero divisor below 2^128, in place; returns
    // the remainder.
    u128 div_u128(u128 divisor);

private:
    std::array<std::uint32_t, limbs> limb_{};
};

}  // namespace tarnel::decimal::detail
