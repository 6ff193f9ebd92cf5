#pragma once
// Exact decimals: sign, 96-bit coefficient, scale 0..28. `Decimal` adds the
// absent (abnormal) state that every failing operation yields.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarnel/util/siphash.hpp"

namespace tarnel::decimal {

using u128 = unsigned __int128;
using i128 = __int128;

inline constexpr std::uint32_t max_scale = 28;
inline constexpr u128 max_coefficient = (static_cast<u128>(1) << 96) - 1;

class DecimalValue {
public:
    constexpr DecimalValue() = default;

    // Checked construction; nullopt when coefficient > 2^96-1 or scale > 28.
    static constexpr std::optional<DecimalValue> from_parts(u128 coefficient, std::uint32_t scale, bool negative) {
        if (coefficient > max_coefficient || scale > max_scale) {
            return std::nullopt;
        }
        return DecimalValue(coefficient, scale, negative);
    }
    static DecimalValue from_i64(std::int64_t v);
    // Integer plus decimal count (input form): absent when d > 28 or |v| >= 2^96.
    static std::optional<DecimalValue> from_int_scaled(i128 v, std::uint32_t d);
    // Float conversion by exact binary-to-decimal steps; nullopt for NaN, inf,
    // or out of range.
    static std::optional<DecimalValue> from_double(double v);

    [[nodiscard]] u128 coefficient() const { return coefficient_; }
    [[nodiscard]] std::uint32_t scale() const { return scale_; }
    [[nodiscard]] bool negative() const { return negative_; }  // sign bit (may be set on zero)
    [[nodiscard]] bool is_zero() const { return coefficient_ == 0; }

    [[nodiscard]] double to_double() const;
    // Printed form: "-"?, integer digits, "." and exactly `scale` digits.
    [[nodiscard]] std::string to_string() const;
    // Same value with trailing fractional zeros removed (zero: 0, scale 0, no sign).
    [[nodiscard]] DecimalValue normalized() const;
    [[nodiscard]] DecimalValue abs() const;
    // Sign flipped; a zero is returned unchanged.
    [[nodiscard]] DecimalValue negated() const;

    // Plain notation first, then scientific notation.
    static std::optional<DecimalValue> decimal_or_scientific(std::string_view text);

    // Checked arithmetic; nullopt on overflow or division by zero.
    [[nodiscard]] std::optional<DecimalValue> checked_add(const DecimalValue& o) const;
    [[nodiscard]] std::optional<DecimalValue> checked_sub(const DecimalValue& o) const;
    [[nodiscard]] std::optional<DecimalValue> checked_mul(const DecimalValue& o) const;
    [[nodiscard]] std::optional<DecimalValue> checked_div(const DecimalValue& o) const;
    [[nodiscard]] std::optional<DecimalValue> checked_pow(const DecimalValue& exponent) const;
    [[nodiscard]] std::optional<DecimalValue> checked_exp() const;
    [[nodiscard]] std::optional<DecimalValue> checked_ln() const;

    // Numeric comparison: 1.50 == 1.5, -0 == 0.
    friend bool operator==(const DecimalValue& a, const DecimalValue& b);
    friend std::strong_ordering operator<=>(const DecimalValue& a, const DecimalValue& b);

    // Hash feed: normalized, then four little-endian u32 words (lo, mid, hi, flags).
    void hash_feed(util::SipHasher13& h) const;

private:
    constexpr DecimalValue(u128 c, std::uint32_t s, bool n) : coefficient_(c), scale_(s), negative_(n) {}
    u128 coefficient_ = 0;
    std::uint32_t scale_ = 0;
    bool negative_ = false;
};

// A DecimalValue or absent ("NaN").
class Decimal {
public:
    constexpr Decimal() = default;  // absent
    Decimal(DecimalValue v) : value_(v) {}  // NOLINT
    Decimal(std::optional<DecimalValue> v) : value_(v) {}  // NOLINT
    static Decimal absent() { return {}; }

    [[nodiscard]] bool is_absent() const { return !value_.has_value(); }
    [[nodiscard]] bool present() const { return value_.has_value(); }
    [[nodiscard]] const std::optional<DecimalValue>& value() const { return value_; }
    [[nodiscard]] const DecimalValue& operator*() const { return *value_; }
    [[nodiscard]] const DecimalValue* operator->() const { return &*value_; }

    // "NaN" when absent, else the printed value.
    [[nodiscard]] std::string to_string() const;
    // "nan" in any case -> absent; else decimal_or_scientific; else the same
    // with "_" removed. nullopt when the text does not convert.
    static std::optional<Decimal> from_str(std::string_view text);

    // Absent operands give absent; failures give absent.
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    friend Decimal operator/(const Decimal& a, const Decimal& b);
    [[nodiscard]] Decimal pow(const Decimal& exponent) const;

    // Two absent values are equal; present values compare numerically.
    friend bool operator==(const Decimal& a, const Decimal& b) { return a.value_ == b.value_; }

    // 8 LE bytes of 0 when absent; else 8 LE bytes of 1 then the value's feed.
    void hash_feed(util::SipHasher13& h) const;

private:
    std::optional<DecimalValue> value_;
};

}  // namespace tarnel::decimal
