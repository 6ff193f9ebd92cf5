#pragma once
// Conversion of the values of the caller's `timeseries` dict: a scalar read
// (a number, or the last element of a series) and a series read.
#include <pybind11/pybind11.h>

#include <optional>
#include <string_view>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/timeseries/single_timeseries.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::python {

// Python code may run during a read (a value's __str__ or __index__), so the
// caller holds a reference to `value` throughout. An absent result stands for
// a value that cannot be represented (decimal count above 28, magnitude of
// 2^96 or more).
util::Result<std::optional<decimal::DecimalValue>> read_scalar(pybind11::handle value, std::string_view key);

util::Result<timeseries::SingleTimeseries> read_series(pybind11::handle value, std::string_view key);

}  // namespace tarnel::python
