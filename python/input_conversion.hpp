#pragma once
// Conversion of the values of the caller's `timeseries` dict: a scalar read
// (a number, or the last element of a series) and a series read.
#include <pybind11/pybind11.h>

#include <functional>
#include <optional>
#include <utility>
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

// The window's bounds, asked for once the read itself has succeeded.
using WindowBounds = std::function<util::Result<std::pair<timeseries::Instant, timeseries::Instant>>()>;

// A series read of the int64 form restricted to a window: the same result
// and errors as the whole read windowed afterwards, but only the values
// inside the window are converted. nullopt when the value is not of that form.
std::optional<util::Result<timeseries::SingleTimeseries>> read_int64_series_window(pybind11::handle value,
                                                                                   std::string_view key,
                                                                                   const WindowBounds& bounds);

}  // namespace tarnel::python
