#pragma once
#include <pybind11/pybind11.h>

#include "borrow.hpp"
#include "tarnel/parameters/parameters.hpp"

namespace tarnel::python {

// The Python `Parameters`: a builder with exclusive access for every change.
struct PyParameters {
    parameters::Parameters value;
    BorrowFlag borrow;
};

void register_parameters(pybind11::module_& m);

}  // namespace tarnel::python
