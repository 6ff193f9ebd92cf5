#pragma once
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>

#include "borrow.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"

namespace tarnel::python {

// The Python `SealedParameters`: nothing (uninitialised) or one sealed value.
struct PySealedParameters {
    std::optional<parameters::SealedParameters> value;
    BorrowFlag borrow;
    // Changes whenever `value` is replaced; never reused in a process, so
    // per-program caches of data keys can tell the values apart.
    std::uint64_t id;

    PySealedParameters();
    explicit PySealedParameters(std::optional<parameters::SealedParameters> v);
    void replace(std::optional<parameters::SealedParameters> v);
};

pybind11::object make_sealed_parameters(parameters::SealedParameters value);

// The sealed value of an argument; ValueError "Uninitialized SealedParameters"
// when it holds none.
const parameters::SealedParameters& initialised(const PySealedParameters& holder);

void register_sealed_parameters(pybind11::module_& m);

}  // namespace tarnel::python
