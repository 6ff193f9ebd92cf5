#pragma once
// Defining custom functions on live parameters, and running one call of a
// custom function inside an evaluation.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/parameters/custom_function.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::eval {
struct EvalContext;
}

namespace tarnel::parameters {

class Parameters;

// The function of that name whose parameter list has exactly `arity` names.
[[nodiscard]] const CustomFunction* find_custom_function(const CustomFunctions& functions, const std::string& name,
                                                         std::size_t arity);

// Parses `function name(a, b) { ... }`, binds the body against `parameters`
// as they are now (the parameter names as locals), then registers it. On any
// failure the parameters are unchanged.
util::Status add_custom_function(Parameters& parameters, std::string_view text);

// One call with a fresh local registry holding the parameters; fails when the
// body ends without returning, or when calls nest too deep.
util::Result<decimal::Decimal> eval_custom_function(const CustomFunction& function,
                                                    std::span<const decimal::Decimal> values, eval::EvalContext& ctx);

}  // namespace tarnel::parameters
