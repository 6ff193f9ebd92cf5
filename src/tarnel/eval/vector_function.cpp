#include "tarnel/eval/vector_function.hpp"

#include <algorithm>
#include <limits>

namespace tarnel::eval {

util::Result<VectorFunction> VectorFunction::build(std::string_view name) {
    auto f = ScalarFunctions::build(name, 1);
    if (!f) return util::fail(std::move(f.error()));
    return VectorFunction(*f);
}

std::vector<decimal::Decimal> VectorFunction::eval(std::span<const decimal::Decimal> values) const {
    std::vector<decimal::Decimal> out;
    out.reserve(values.size());
    for (const auto& v : values) out.push_back(function_->impl(std::span(&v, 1)));
    return out;
}

void VectorFunction::eval_doubles(std::span<const double> in, std::span<double> out) const {
    const std::size_t n = std::min(in.size(), out.size());
    for (std::size_t i = 0; i < n; ++i) {
        const decimal::Decimal arg = decimal::DecimalValue::from_double(in[i]);
        const decimal::Decimal result = function_->impl(std::span(&arg, 1));
        out[i] = result.present() ? result->to_double() : std::numeric_limits<double>::quiet_NaN();
    }
}

util::Result<timeseries::SingleTimeseries> VectorFunction::apply(const timeseries::SingleTimeseries& series) const {
    std::vector<double> values(series.len());
    eval_doubles(series.values(), values);
    auto stamps = series.timestamps();
    return timeseries::SingleTimeseries::from_components(std::vector<timeseries::Instant>(stamps.begin(), stamps.end()),
                                                         std::move(values), series.sampling());
}

}  // namespace tarnel::eval
