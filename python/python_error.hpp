#pragma once
// Python errors seen from the core: their text, and a saved exception that
// travels through the core as an ErrorKind::Foreign error.
#include <pybind11/pybind11.h>

#include <string>

#include "tarnel/util/error.hpp"

namespace tarnel::python {

// The type's __qualname__ ("float", "ndarray").
std::string type_name(pybind11::handle obj);

// Fetches and clears the pending Python error; "TypeName: message".
std::string take_python_error_text();

// Fetches and clears the pending Python error into a Foreign error that
// raise_error re-raises unchanged.
util::Error take_python_error();

// The same for an exception already caught as error_already_set.
util::Error foreign_error(pybind11::error_already_set& e);

}  // namespace tarnel::python
