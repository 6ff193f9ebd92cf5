#pragma once
// Rounding of exact wide intermediates to a representable decimal. Digits are
// always removed in one step from the exact value, so a result is never
// rounded twice.
#include <cstdint>
#include <optional>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/decimal/wide_uint.hpp"

namespace tarnel::decimal::detail {

enum class Rounding { HalfEven, HalfUp };

// v = round(v / 10^k). `sticky` says the exact value lies strictly above v
// (a non-zero fraction below v's last digit). Returns true when inexact.
bool divide_pow10_rounded(WideUint& v, std::uint32_t k, Rounding mode, bool sticky);

struct Fitted {
    DecimalValue value;
    bool inexact = false;
};

// The exact coefficient `v` at `scale` (which may exceed 28), with at least
// `min_drop` digits removed, reduced to the largest scale at which it fits
// and rounded half to even once. nullopt when it does not fit at scale 0.
// A result that rounds to zero has the sign bit clear.
std::optional<Fitted> fit(const WideUint& v, std::uint32_t scale, bool negative, std::uint32_t min_drop = 0,
                          bool sticky = false);

}  // namespace tarnel::decimal::detail
