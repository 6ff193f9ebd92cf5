#pragma once
// Timezone-aware UTC datetimes from Python arguments.
#include <pybind11/pybind11.h>

#include <optional>
#include <string_view>

#include "tarnel/timeseries/instant.hpp"

namespace tarnel::python {

// `value` must be a datetime.datetime whose tzinfo is datetime.timezone.utc.
// Raises TypeError "argument '<name>': ..." or ValueError "expected datetime.timezone.utc".
timeseries::Instant instant_from_python(pybind11::handle value, std::string_view argument);

// As above, with None allowed.
std::optional<timeseries::Instant> optional_instant_from_python(pybind11::handle value, std::string_view argument);

}  // namespace tarnel::python
