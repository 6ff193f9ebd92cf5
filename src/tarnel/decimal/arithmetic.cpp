// Checked add, subtract, multiply and divide. Each works on the exact result
// (native 128-bit where it fits, a wide integer otherwise) and rounds once.
#include <algorithm>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/decimal/pow10.hpp"
#include "tarnel/decimal/rounding.hpp"
#include "tarnel/decimal/wide_uint.hpp"

namespace tarnel::decimal {

namespace {

using detail::WideUint;

std::optional<DecimalValue> from_fitted(const std::optional<detail::Fitted>& f) {
    if (!f) {
        return std::nullopt;
    }
    return f->value;
}

// a + b with b's sign given separately, so subtraction needs no copy.
std::optional<DecimalValue> add_signed(const DecimalValue& a, const DecimalValue& b, bool b_negative) {
    const std::uint32_t scale = std::max(a.scale(), b.scale());
    const std::uint32_t da = scale - a.scale();
    const std::uint32_t db = scale - b.scale();
    const bool same_sign = a.negative() == b_negative;
    if (a.coefficient() <= detail::scalable_below_2_126[da] && b.coefficient() <= detail::scalable_below_2_126[db]) {
        // Aligned operands stay below 2^126, so the sum fits natively.
        const u128 x = a.coefficient() * detail::pow10_u128[da];
        const u128 y = b.coefficient() * detail::pow10_u128[db];
        bool negative = a.negative();
        u128 sum = 0;
        if (same_sign) {
            sum = x + y;
        } else if (x >= y) {
            sum = x - y;
        } else {
            sum = y - x;
            negative = b_negative;
        }
        if (sum <= max_coefficient) {
            return DecimalValue::from_parts(sum, scale, negative && sum != 0);
        }
        return from_fitted(detail::fit(WideUint(sum), scale, negative));
    }
    WideUint x(a.coefficient());
    WideUint y(b.coefficient());
    x.mul_pow10(da);
    y.mul_pow10(db);
    bool negative = a.negative();
    if (same_sign) {
        x.add(y);
    } else if (compare(x, y) >= 0) {
        x.sub(y);
    } else {
        y.sub(x);
        x = y;
        negative = b_negative;
    }
    return from_fitted(detail::fit(x, scale, negative && !x.is_zero()));
}

}  // namespace

std::optional<DecimalValue> DecimalValue::checked_add(const DecimalValue& o) const {
    if (is_zero()) {
        return o;
    }
    if (o.is_zero()) {
        return *this;
    }
    return add_signed(*this, o, o.negative_);
}

std::optional<DecimalValue> DecimalValue::checked_sub(const DecimalValue& o) const {
    if (is_zero()) {
        return o.negated();
    }
    if (o.is_zero()) {
        return *this;
    }
    return add_signed(*this, o, !o.negative_);
}

std::optional<DecimalValue> DecimalValue::checked_mul(const DecimalValue& o) const {
    if (is_zero() || o.is_zero()) {
        return DecimalValue();
    }
    const std::uint32_t scale = scale_ + o.scale_;
    const bool negative = negative_ != o.negative_;
    constexpr u128 below_2_64 = static_cast<u128>(1) << 64;
    if (coefficient_ < below_2_64 && o.coefficient_ < below_2_64) {
        const u128 p = coefficient_ * o.coefficient_;
        if (p <= max_coefficient && scale <= max_scale) {
            return DecimalValue(p, scale, negative);
        }
        return from_fitted(detail::fit(WideUint(p), scale, negative));
    }
    return from_fitted(detail::fit(WideUint::product(coefficient_, o.coefficient_), scale, negative));
}

// The quotient is computed once at scale 28 (exactly, with its remainder),
// then reduced: rounded when digits must go, or stripped of trailing zeros
// down to the dividend's excess scale when it terminates.
std::optional<DecimalValue> DecimalValue::checked_div(const DecimalValue& o) const {
    if (o.is_zero()) {
        return std::nullopt;
    }
    if (is_zero()) {
        return DecimalValue();
    }
    const bool negative = negative_ != o.negative_;
    const std::uint32_t min_scale = scale_ > o.scale_ ? scale_ - o.scale_ : 0;
    const std::uint32_t lift = o.scale_ >= scale_ ? o.scale_ - scale_ : 0;  // dividend digits to add at min_scale

    if (lift <= 9) {
        // Exact at the smallest scale: no wide arithmetic needed.
        const u128 n = coefficient_ * detail::pow10_u128[lift];
        if (n % o.coefficient_ == 0) {
            const u128 q = n / o.coefficient_;
            if (q > max_coefficient) {
                return std::nullopt;
            }
            return DecimalValue(q, min_scale, negative);
        }
    }

    WideUint q(coefficient_);
    q.mul_pow10(lift + max_scale - min_scale);
    const u128 r = q.div_u128(o.coefficient_);
    std::optional<detail::Fitted> fitted;
    if (q.fits_coefficient()) {
        u128 c = q.low_u128();
        // Half to even on the remainder; r < divisor < 2^96, so 2r fits.
        const u128 twice = 2 * r;
        if (twice > o.coefficient_ || (twice == o.coefficient_ && (c & 1U) != 0)) {
            ++c;
        }
        if (c <= max_coefficient) {
            fitted = detail::Fitted{DecimalValue(c, max_scale, negative && c != 0), r != 0};
        } else {
            fitted = detail::fit(q, max_scale, negative, 1, r != 0);
        }
    } else {
        fitted = detail::fit(q, max_scale, negative, 1, r != 0);
    }
    if (!fitted) {
        return std::nullopt;
    }
    if (fitted->inexact) {
        return fitted->value;
    }
    u128 c = fitted->value.coefficient();
    const std::uint32_t s = fitted->value.scale();
    const std::uint32_t removed = s > min_scale ? detail::strip_zeros(c, s - min_scale) : 0;
    return DecimalValue(c, s - removed, negative);
}

}  // namespace tarnel::decimal
