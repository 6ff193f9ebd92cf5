#pragma once
// Built-in scalar functions on decimals. Every one returns absent as soon as
// an argument is absent, and absent for every numeric failure.
#include <cstddef>
#include <span>
#include <string_view>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::eval {

struct ScalarFunction {
    std::string_view name;
    std::size_t arity;  // exact
    decimal::Decimal (*impl)(std::span<const decimal::Decimal>);

    [[nodiscard]] decimal::Decimal operator()(std::span<const decimal::Decimal> args) const { return impl(args); }
};

struct ScalarFunctions {
    // "Undefined scalar function '<name>' (with <count> arguments)" when no
    // built-in has that name and arity.
    static util::Result<const ScalarFunction*> build(std::string_view name, std::size_t count);
    static bool exists(std::string_view name, std::size_t count);
    static std::span<const ScalarFunction> table();
};

}  // namespace tarnel::eval
