#include "tarnel/decimal/decimal.hpp"

#include "tarnel/decimal/pow10.hpp"
#include "tarnel/decimal/wide_uint.hpp"

namespace tarnel::decimal {

namespace {

u128 magnitude(i128 v) { return v < 0 ? static_cast<u128>(0) - static_cast<u128>(v) : static_cast<u128>(v); }

// Compares |a| and |b| numerically.
std::strong_ordering compare_magnitude(const DecimalValue& a, const DecimalValue& b) {
    const u128 ca = a.coefficient();
    const u128 cb = b.coefficient();
    if (a.scale() == b.scale()) {
        return ca <=> cb;
    }
    const bool a_lower = a.scale() < b.scale();
    const std::uint32_t shift = a_lower ? b.scale() - a.scale() : a.scale() - b.scale();
    const u128 low = a_lower ? ca : cb;  // the one to scale up
    const u128 high = a_lower ? cb : ca;
    std::strong_ordering low_vs_high = std::strong_ordering::equal;
    if (low <= detail::scalable_below_2_126[shift]) {
        low_vs_high = low * detail::pow10_u128[shift] <=> high;
    } else {
        detail::WideUint w(low);
        w.mul_pow10(shift);
        low_vs_high = compare(w, detail::WideUint(high)) <=> 0;
    }
    return a_lower ? low_vs_high : 0 <=> low_vs_high;
}

}  // namespace

DecimalValue DecimalValue::from_i64(std::int64_t v) {
    return DecimalValue(magnitude(v), 0, v < 0);
}

std::optional<DecimalValue> DecimalValue::from_int_scaled(i128 v, std::uint32_t d) {
    const u128 c = magnitude(v);
    if (d > max_scale || c > max_coefficient) {
        return std::nullopt;
    }
    return DecimalValue(c, d, v < 0);
}

DecimalValue DecimalValue::normalized() const {
    if (coefficient_ == 0) {
        return {};
    }
    u128 c = coefficient_;
    const std::uint32_t removed = detail::strip_zeros(c, scale_);
    return DecimalValue(c, scale_ - removed, negative_);
}

DecimalValue DecimalValue::abs() const { return DecimalValue(coefficient_, scale_, false); }

DecimalValue DecimalValue::negated() const {
    // A zero is returned as it is: negation never invents a sign bit.
    return coefficient_ == 0 ? *this : DecimalValue(coefficient_, scale_, !negative_);
}

bool operator==(const DecimalValue& a, const DecimalValue& b) { return (a <=> b) == 0; }

std::strong_ordering operator<=>(const DecimalValue& a, const DecimalValue& b) {
    const bool a_neg = a.negative_ && a.coefficient_ != 0;
    const bool b_neg = b.negative_ && b.coefficient_ != 0;
    if (a.coefficient_ == 0 && b.coefficient_ == 0) {
        return std::strong_ordering::equal;
    }
    if (a_neg != b_neg) {
        return a_neg ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    const auto m = compare_magnitude(a, b);
    return a_neg ? 0 <=> m : m;
}

void DecimalValue::hash_feed(util::SipHasher13& h) const {
    const DecimalValue n = normalized();
    h.write_u32(static_cast<std::uint32_t>(n.coefficient_));
    h.write_u32(static_cast<std::uint32_t>(n.coefficient_ >> 32));
    h.write_u32(static_cast<std::uint32_t>(n.coefficient_ >> 64));
    const std::uint32_t flags = (n.scale_ << 16) | (n.negative_ ? 0x8000'0000U : 0U);
    h.write_u32(flags);
}

void Decimal::hash_feed(util::SipHasher13& h) const {
    if (!value_) {
        h.write_u64(0);
        return;
    }
    h.write_u64(1);
    value_->hash_feed(h);
}

Decimal operator+(const Decimal& a, const Decimal& b) {
    if (!a.value_ || !b.value_) {
        return {};
    }
    return a.value_->checked_add(*b.value_);
}

Decimal operator-(const Decimal& a, const Decimal& b) {
    if (!a.value_ || !b.value_) {
        return {};
    }
    return a.value_->checked_sub(*b.value_);
}

Decimal operator*(const Decimal& a, const Decimal& b) {
    if (!a.value_ || !b.value_) {
        return {};
    }
    return a.value_->checked_mul(*b.value_);
}

Decimal operator/(const Decimal& a, const Decimal& b) {
    if (!a.value_ || !b.value_) {
        return {};
    }
    return a.value_->checked_div(*b.value_);
}

Decimal Decimal::pow(const Decimal& exponent) const {
    if (!value_ || !exponent.value_) {
        return {};
    }
    return value_->checked_pow(*exponent.value_);
}

}  // namespace tarnel::decimal
