// The extension module: logging, classes, exceptions and full_version, in that order.
#include <pybind11/pybind11.h>

#include "exceptions.hpp"
#include "method_descriptors.hpp"
#include "parameters_class.hpp"
#include "program_class.hpp"
#include "sealed_parameters_class.hpp"
#include "tarnel/util/logging.hpp"
#include "tarnel/util/version.hpp"

namespace py = pybind11;

PYBIND11_MODULE(tarnel, m) {
    tarnel::util::init_logging_from_env();
    // Every docstring carries its own text signature.
    py::options options;
    options.disable_function_signatures();
    tarnel::python::register_condition(m);
    tarnel::python::register_expression(m);
    tarnel::python::register_parameters(m);
    tarnel::python::register_sealed_parameters(m);
    for (const char* name : {"Condition", "Expression", "Parameters", "SealedParameters"}) {
        tarnel::python::adopt_method_descriptors(m.attr(name));
    }
    tarnel::python::register_exceptions(m);
    m.def("full_version", &tarnel::util::full_version);
}
