#include "tarnel/eval/scalar_functions.hpp"

#include <fmt/format.h>

#include <optional>

namespace tarnel::eval {

namespace {

using decimal::Decimal;
using decimal::DecimalValue;
using decimal::u128;
using Opt = std::optional<DecimalValue>;

constexpr u128 digits(std::string_view text) {
    u128 v = 0;
    for (char c : text) v = v * 10 + static_cast<unsigned>(c - '0');
    return v;
}

// An exact constant given by its coefficient digits and scale.
DecimalValue constant(std::string_view coefficient, std::uint32_t scale) {
    return DecimalValue::from_parts(digits(coefficient), scale, false).value_or(DecimalValue{});
}

DecimalValue integer(std::int64_t v) { return DecimalValue::from_i64(v); }

Opt add(const Opt& a, const Opt& b) { return a && b ? a->checked_add(*b) : std::nullopt; }
Opt sub(const Opt& a, const Opt& b) { return a && b ? a->checked_sub(*b) : std::nullopt; }
Opt mul(const Opt& a, const Opt& b) { return a && b ? a->checked_mul(*b) : std::nullopt; }
Opt div(const Opt& a, const Opt& b) { return a && b ? a->checked_div(*b) : std::nullopt; }
Opt pow(const DecimalValue& x, std::int64_t n) { return x.checked_pow(integer(n)); }

// --- the functions, on present arguments ---

Opt abs_of(const DecimalValue& x) { return x.abs(); }

Opt min_of(const DecimalValue& a, const DecimalValue& b) { return b < a ? b : a; }

Opt max_of(const DecimalValue& a, const DecimalValue& b) { return b > a ? b : a; }

Opt exp_of(const DecimalValue& x) { return x.checked_exp(); }

Opt ln_of(const DecimalValue& x) { return x.checked_ln(); }

Opt log10_of(const DecimalValue& x) {
    if (x.negative() || x.is_zero()) return std::nullopt;
    if (x == integer(1)) return integer(0);
    const auto scale = static_cast<std::int64_t>(x.scale());
    u128 c = x.coefficient();
    if (c == 1 && scale > 0) return integer(-scale);
    std::int64_t divisions = 0;
    while (c % 10 == 0) {
        c /= 10;
        ++divisions;
    }
    if (c == 1) return integer(divisions - scale);
    static const DecimalValue inverse_ln10 = constant("4342944819032518276511289189", 28);
    return mul(x.checked_ln(), inverse_ln10);
}

Opt log_of(const DecimalValue& x, const DecimalValue& base) {
    auto num = x.checked_ln();
    auto den = base.checked_ln();
    if (!num || !den || den->is_zero()) return std::nullopt;
    return num->checked_div(*den);
}

Opt pow_of(const DecimalValue& x, const DecimalValue& y) { return x.checked_pow(y); }

// Newton's iteration from x / 2, stopping when an update leaves the estimate
// unchanged; the last estimate stands if it has not settled after 999.
Opt sqrt_of(const DecimalValue& x) {
    if (x.negative()) return std::nullopt;
    if (x.is_zero()) return integer(0);
    const DecimalValue two = integer(2);
    Opt g = x.checked_div(two);
    if (!g) return std::nullopt;
    if (g->is_zero()) g = x;
    Opt last = g->checked_add(integer(1));
    for (int updates = 0; updates < 999 && last && *last != *g; ++updates) {
        last = g;
        g = div(add(div(x, g), g), two);
        if (!g) return std::nullopt;
    }
    return g;
}

// 1 - 1 / S^16 with S a degree-6 polynomial. The sixteenth power overflows
// from |x| of about 9.3 on, where the function has reached its limit of 1.
Opt erf_of(const DecimalValue& x) {
    if (x < integer(0)) {
        auto positive = erf_of(x.abs());
        return positive ? std::optional(positive->negated()) : std::nullopt;
    }
    static const DecimalValue a[] = {constant("705230784", 10), constant("422820123", 10), constant("92705272", 10),
                                     constant("1520143", 10),   constant("2765672", 10),   constant("430638", 10)};
    const Opt powers[] = {x, x.checked_mul(x), pow(x, 3), pow(x, 4), pow(x, 5), pow(x, 6)};
    Opt s = integer(1);
    for (std::size_t i = 0; i < 6; ++i) s = add(s, mul(a[i], powers[i]));
    Opt s16 = s ? pow(*s, 16) : std::nullopt;
    Opt result = sub(integer(1), div(integer(1), s16));
    return result ? result : std::optional(integer(1));
}

Opt normal_cdf_of(const DecimalValue& x) {
    static const DecimalValue sqrt2 = constant("14142135623730951", 16);
    auto scaled = x.checked_div(sqrt2);
    if (!scaled) return std::nullopt;
    return div(add(integer(1), erf_of(*scaled)), integer(2));
}

Opt tick_to_spot_of(const DecimalValue& tick) {
    static const Opt base = DecimalValue::from_double(1.0001);
    return base ? base->checked_pow(tick) : std::nullopt;
}

// --- adapters: argument count and absent propagation ---

template <Opt (*F)(const DecimalValue&)>
Decimal unary(std::span<const Decimal> args) {
    if (args.size() != 1 || args[0].is_absent()) return {};
    return F(*args[0]);
}

template <Opt (*F)(const DecimalValue&, const DecimalValue&)>
Decimal binary(std::span<const Decimal> args) {
    if (args.size() != 2 || args[0].is_absent() || args[1].is_absent()) return {};
    return F(*args[0], *args[1]);
}

constexpr ScalarFunction functions[] = {
    {"abs", 1, unary<abs_of>},
    {"min", 2, binary<min_of>},
    {"max", 2, binary<max_of>},
    {"exp", 1, unary<exp_of>},
    {"ln", 1, unary<ln_of>},
    {"log10", 1, unary<log10_of>},
    {"log", 2, binary<log_of>},
    {"pow", 2, binary<pow_of>},
    {"sqrt", 1, unary<sqrt_of>},
    {"erf", 1, unary<erf_of>},
    {"normal_cdf", 1, unary<normal_cdf_of>},
    {"@uniswap_v3_tick_to_spot", 1, unary<tick_to_spot_of>},
};

const ScalarFunction* find(std::string_view name, std::size_t count) {
    for (const auto& f : functions) {
        if (f.name == name && f.arity == count) return &f;
    }
    return nullptr;
}

}  // namespace

util::Result<const ScalarFunction*> ScalarFunctions::build(std::string_view name, std::size_t count) {
    if (const auto* f = find(name, count)) return f;
    return util::fail(fmt::format("Undefined scalar function '{}' (with {} arguments)", name, count));
}

bool ScalarFunctions::exists(std::string_view name, std::size_t count) { return find(name, count) != nullptr; }

std::span<const ScalarFunction> ScalarFunctions::table() { return functions; }

}  // namespace tarnel::eval
