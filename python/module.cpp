// The extension module: logging, classes, exceptions and full_version, in that order.
#include <pybind11/pybind11.h>

#include "exceptions.hpp"
#include "tarnel/util/logging.hpp"
#include "tarnel/util/version.hpp"

namespace py = pybind11;

PYBIND11_MODULE(tarnel, m) {
    tarnel::util::init_logging_from_env();
    // Classes are registered here, in this order: Condition, Expression,
    // Parameters, SealedParameters.
    tarnel::python::register_exceptions(m);
    m.def("full_version", &tarnel::util::full_version);
}
