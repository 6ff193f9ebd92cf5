#pragma once
// A one-argument built-in applied point by point to a sequence or a series.
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/eval/scalar_functions.hpp"
#include "tarnel/timeseries/single_timeseries.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::eval {

class VectorFunction {
public:
    // The one-argument built-in of that name, or the lookup's error (with
    // the count 1).
    static util::Result<VectorFunction> build(std::string_view name);

    [[nodiscard]] const ScalarFunction& function() const { return *function_; }
    [[nodiscard]] std::size_t arity() const { return function_->arity; }

    // Each value alone as the single argument; results in the same order.
    [[nodiscard]] std::vector<decimal::Decimal> eval(std::span<const decimal::Decimal> values) const;

    // Through decimals and back: NaN and infinities go in as absent, and an
    // absent result comes out as NaN. `out` must be as long as `in`.
    void eval_doubles(std::span<const double> in, std::span<double> out) const;

    // A series with the input's timestamps and sampling and the results.
    [[nodiscard]] util::Result<timeseries::SingleTimeseries> apply(const timeseries::SingleTimeseries& series) const;

private:
    explicit VectorFunction(const ScalarFunction* f) : function_(f) {}
    const ScalarFunction* function_;
};

}  // namespace tarnel::eval
