#pragma once
#include <pybind11/pybind11.h>

#include "tarnel/util/error.hpp"

namespace tarnel::python {

// The four module exception classes, created once per process.
PyObject* missing_data_error();
PyObject* invalid_datatype_error();
PyObject* mismatch_data_size_error();
PyObject* empty_timeseries_error();

void register_exceptions(pybind11::module_& m);

// Raises the Python exception an error stands for; always throws.
[[noreturn]] void raise_error(const util::Error& e);

}  // namespace tarnel::python
