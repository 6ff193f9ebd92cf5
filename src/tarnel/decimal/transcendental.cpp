// Power, exponential and natural logarithm by their fixed series.
#include "tarnel/decimal/decimal.hpp"
#include "tarnel/decimal/pow10.hpp"

namespace tarnel::decimal {

namespace {

using Opt = std::optional<DecimalValue>;

constexpr u128 e_coefficient = static_cast<u128>(2718281828459045235ULL) * 10'000'000'000ULL + 3602874714ULL;
constexpr u128 inv_e_coefficient = static_cast<u128>(3678794411714423215ULL) * 1'000'000'000ULL + 955237702ULL;

const DecimalValue e_value = *DecimalValue::from_parts(e_coefficient, 28, false);
const DecimalValue inv_e_value = *DecimalValue::from_parts(inv_e_coefficient, 28, false);
const DecimalValue one = DecimalValue::from_i64(1);
const DecimalValue exp_tolerance = *DecimalValue::from_parts(2, 7, false);

// Beyond e^66 the result leaves the decimal range.
constexpr std::int64_t max_exp_integer = 67;

Opt mul(const Opt& a, const Opt& b) { return a && b ? a->checked_mul(*b) : std::nullopt; }
Opt div(const Opt& a, const Opt& b) { return a && b ? a->checked_div(*b) : std::nullopt; }
Opt add(const Opt& a, const Opt& b) { return a && b ? a->checked_add(*b) : std::nullopt; }
Opt sub(const Opt& a, const Opt& b) { return a && b ? a->checked_sub(*b) : std::nullopt; }

// x^n by repeated squaring; no squaring after the last bit, so a power that
// fits never fails on an unused square.
Opt binary_power(const DecimalValue& x, std::uint64_t n) {
    Opt result = one;
    Opt base = x;
    while (n > 0) {
        if ((n & 1U) != 0) {
            result = mul(result, base);
        }
        n >>= 1;
        if (n > 0) {
            base = mul(base, base);
        }
        if (!result || !base) {
            return std::nullopt;
        }
    }
    return result;
}

// The series 1 + x + x^2/2! + ... for x > 0, at most 27 terms, stopping once
// a term changes the sum by 2e-7 or less.
Opt exp_series(const DecimalValue& x) {
    Opt sum = add(one, x);
    Opt power = x;
    Opt factorial = one;
    for (std::int64_t n = 2; n <= 27; ++n) {
        power = mul(power, x);
        factorial = mul(factorial, DecimalValue::from_i64(n));
        const Opt term = div(power, factorial);
        const Opt previous = sum;
        sum = add(sum, term);
        const Opt change = sub(sum, previous);
        if (!change) {
            return std::nullopt;
        }
        if (change->abs() <= exp_tolerance) {
            break;
        }
    }
    return sum;
}

// e^f for 0 <= f < 1, summed until the terms vanish at 28 places.
Opt exp_fraction(const DecimalValue& f) {
    Opt sum = add(one, f);
    Opt term = f;
    for (std::int64_t n = 2; n <= 64 && term && !term->is_zero(); ++n) {
        term = div(mul(term, f), DecimalValue::from_i64(n));
        sum = add(sum, term);
    }
    return term ? sum : std::nullopt;
}

// e^x for x > 0 as e^n * e^f, for arguments whose series overflows.
Opt exp_reduced(const DecimalValue& x) {
    const DecimalValue integer = *DecimalValue::from_parts(x.coefficient() / detail::pow10_u128[x.scale()], 0, false);
    if (integer > DecimalValue::from_i64(max_exp_integer)) {
        return std::nullopt;
    }
    const auto n = static_cast<std::uint64_t>(integer.coefficient());
    return mul(binary_power(e_value, n), exp_fraction(*x.checked_sub(integer)));
}

Opt exp_positive(const DecimalValue& x) {
    if (auto s = exp_series(x)) {
        return s;
    }
    return exp_reduced(x);
}

// P(n) of the integer power: x, x * x, or repeated squaring with trailing
// zeros removed.
Opt integer_power(const DecimalValue& x, std::uint64_t n) {
    if (n == 1) {
        return x;
    }
    if (n == 2) {
        return x.checked_mul(x);
    }
    const Opt p = binary_power(x, n);
    return p ? Opt(p->normalized()) : std::nullopt;
}

}  // namespace

std::optional<DecimalValue> DecimalValue::checked_exp() const {
    if (is_zero()) {
        return one;
    }
    if (!negative_) {
        return exp_positive(*this);
    }
    const Opt denominator = exp_positive(abs());
    if (!denominator) {
        // e^-x is below 10^-29 here: it rounds to zero at 28 places.
        return DecimalValue(0, max_scale, false);
    }
    return one.checked_div(*denominator);
}

std::optional<DecimalValue> DecimalValue::checked_ln() const {
    if (negative_ || is_zero()) {
        return std::nullopt;
    }
    if (*this == one) {
        return DecimalValue();
    }
    Opt x = *this;
    std::int64_t n = 0;
    // Each step divides or multiplies by e; 200 steps cover the whole range.
    for (int guard = 0; x && *x >= one; ++guard) {
        if (guard > 200) {
            return std::nullopt;
        }
        x = x->checked_mul(inv_e_value);
        ++n;
    }
    for (int guard = 0; x && *x <= inv_e_value; ++guard) {
        if (guard > 200) {
            return std::nullopt;
        }
        x = x->checked_mul(e_value);
        --n;
    }
    if (!x) {
        return std::nullopt;
    }
    const Opt integer = DecimalValue::from_i64(n);
    if (const Opt d = x->checked_sub(one); d && d->is_zero()) {
        return integer;
    }
    const Opt u = one.checked_sub(*x);
    Opt sum = u;
    Opt power = u;
    for (std::int64_t i = 2; i <= 100; ++i) {
        power = mul(power, u);
        const Opt next = add(sum, div(power, DecimalValue::from_i64(i)));
        if (!next) {
            return std::nullopt;
        }
        if (*next == *sum) {
            break;
        }
        sum = next;
    }
    return sub(integer, sum);
}

std::optional<DecimalValue> DecimalValue::checked_pow(const DecimalValue& exponent) const {
    if (exponent.is_zero()) {
        return one;
    }
    if (is_zero()) {
        return DecimalValue();
    }
    if (*this == one) {
        return one;
    }
    if (exponent == one) {
        return *this;
    }
    const DecimalValue y = exponent.normalized();
    if (y.scale() == 0) {
        constexpr u128 limit = static_cast<u128>(1) << 32;
        if (y.coefficient() >= limit) {
            return std::nullopt;
        }
        const Opt p = integer_power(*this, static_cast<std::uint64_t>(y.coefficient()));
        return y.negative() ? div(one, p) : p;
    }
    const Opt r = mul(y, abs().checked_ln()).and_then([](const DecimalValue& v) { return v.checked_exp(); });
    if (!r) {
        return std::nullopt;
    }
    return negative_ ? r->negated() : *r;
}

}  // namespace tarnel::decimal
