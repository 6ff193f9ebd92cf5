#pragma once
// The Python `Expression` and `Condition`: one compiled program each, or none.
#include <pybind11/pybind11.h>

namespace tarnel::python {

void register_condition(pybind11::module_& m);
void register_expression(pybind11::module_& m);

}  // namespace tarnel::python
