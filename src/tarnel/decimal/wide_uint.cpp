#include "tarnel/decimal/wide_uint.hpp"

namespace tarnel::decimal::detail {

namespace {

constexpr std::uint64_t base = std::uint64_t{1} << 32;

std::uint32_t lo32(std::uint64_t v) { return static_cast<std::uint32_t>(v); }

}  // namespace

// Long division with one-limb quotient estimates, corrected at most twice
// (Knuth's algorithm D on 32-bit limbs).
u128 WideUint::div_u128(u128 divisor) {
    const WideUint v(divisor);
    const std::size_t n = v.used();
    const std::size_t m = used();
    if (n == 1) {
        return div_small(v.limb_[0]);
    }
    if (m < n) {
        const u128 r = low_u128();
        *this = WideUint();
        return r;
    }

    // Normalize so that the divisor's top limb has its high bit set.
    const int s = std::countl_zero(v.limb_[n - 1]);
    std::array<std::uint32_t, 4> vn{};
    std::array<std::uint32_t, limbs + 1> un{};
    for (std::size_t i = n - 1; i > 0; --i) {
        vn[i] = lo32((static_cast<std::uint64_t>(v.limb_[i]) << s) | (static_cast<std::uint64_t>(v.limb_[i - 1]) >> (32 - s)));
    }
    vn[0] = lo32(static_cast<std::uint64_t>(v.limb_[0]) << s);
    un[m] = lo32(static_cast<std::uint64_t>(limb_[m - 1]) >> (32 - s));
    for (std::size_t i = m - 1; i > 0; --i) {
        un[i] = lo32((static_cast<std::uint64_t>(limb_[i]) << s) | (static_cast<std::uint64_t>(limb_[i - 1]) >> (32 - s)));
    }
    un[0] = lo32(static_cast<std::uint64_t>(limb_[0]) << s);

    WideUint q;
    for (std::size_t j = m - n + 1; j-- > 0;) {
        const std::uint64_t top = (static_cast<std::uint64_t>(un[j + n]) << 32) | un[j + n - 1];
        std::uint64_t qhat = top / vn[n - 1];
        std::uint64_t rhat = top % vn[n - 1];
        while (qhat >= base || qhat * vn[n - 2] > ((rhat << 32) | un[j + n - 2])) {
            --qhat;
            rhat += vn[n - 1];
            if (rhat >= base) {
                break;
            }
        }
        // Multiply and subtract.
        std::int64_t borrow = 0;
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t p = qhat * vn[i] + carry;
            carry = p >> 32;
            const std::int64_t t = static_cast<std::int64_t>(un[i + j]) - borrow - static_cast<std::int64_t>(lo32(p));
            un[i + j] = lo32(static_cast<std::uint64_t>(t));
            borrow = t < 0 ? 1 : 0;
        }
        const std::int64_t t = static_cast<std::int64_t>(un[j + n]) - borrow - static_cast<std::int64_t>(carry);
        un[j + n] = lo32(static_cast<std::uint64_t>(t));
        if (t < 0) {
            // The estimate was one too large: add the divisor back.
            --qhat;
            std::uint64_t c = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint64_t sum = static_cast<std::uint64_t>(un[i + j]) + vn[i] + c;
                un[i + j] = lo32(sum);
                c = sum >> 32;
            }
            un[j + n] = lo32(static_cast<std::uint64_t>(un[j + n]) + c);
        }
        q.limb_[j] = lo32(qhat);
    }

    u128 r = 0;
    for (std::size_t i = n; i-- > 0;) {
        const std::uint32_t limb =
            lo32((static_cast<std::uint64_t>(un[i]) >> s) | (static_cast<std::uint64_t>(un[i + 1]) << (32 - s)));
        r = (r << 32) | limb;
    }
    *this = q;
    return r;
}

}  // namespace tarnel::decimal::detail
