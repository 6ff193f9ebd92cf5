#include "sealed_parameters_class.hpp"

#include "arguments.hpp"
#include "exceptions.hpp"
#include "instance.hpp"
#include "tarnel/parameters/parameters_persist.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

std::uint64_t next_id() {
    static std::uint64_t last = 0;
    return ++last;
}

PySealedParameters& self_of(py::handle self) { return constructed_instance<PySealedParameters>(self, "SealedParameters"); }

[[noreturn]] void raise_value_error(const util::Error& e) {
    PyErr_SetString(PyExc_ValueError, e.python_text().c_str());
    throw py::error_already_set();
}

}  // namespace

PySealedParameters::PySealedParameters() : id(next_id()) {}
PySealedParameters::PySealedParameters(std::optional<parameters::SealedParameters> v)
    : value(std::move(v)), id(next_id()) {}

void PySealedParameters::replace(std::optional<parameters::SealedParameters> v) {
    value = std::move(v);
    id = next_id();
}

py::object make_sealed_parameters(parameters::SealedParameters value) {
    return py::cast(new PySealedParameters(std::move(value)), py::return_value_policy::take_ownership);
}

const parameters::SealedParameters& initialised(const PySealedParameters& holder) {
    if (!holder.value) {
        PyErr_SetString(PyExc_ValueError, "Uninitialized SealedParameters");
        throw py::error_already_set();
    }
    return *holder.value;
}

void register_sealed_parameters(py::module_& m) {
    auto cls = py::class_<PySealedParameters>(
        m, "SealedParameters", py::is_final(),
        py::custom_type_setup([](PyHeapTypeObject* heap) { heap->ht_type.tp_name = "SealedParameters"; }))
        .def(py::init([] { return new PySealedParameters(); }), "__init__(self, /)\n--\n\n")
        .def(
            "to_json",
            [](py::handle self_handle) {
                auto& self = self_of(self_handle);
                BorrowFlag::Shared access(self.borrow);
                auto text = parameters::sealed_to_json(self.value);
                if (!text) raise_error(text.error());
                return py::str(*text);
            },
            "to_json($self)\n--\n\n")
        .def_static(
            "from_json",
            [](py::handle data) {
                auto text = str_argument(data, "data");
                auto holder = parameters::sealed_from_json(text);
                if (!holder) raise_error(holder.error());
                return py::cast(new PySealedParameters(std::move(*holder)), py::return_value_policy::take_ownership);
            },
            py::arg("data"), "from_json(data)\n--\n\n")
        .def(
            "__getstate__",
            [](py::handle self_handle) {
                auto& self = self_of(self_handle);
                BorrowFlag::Shared access(self.borrow);
                auto bytes = parameters::sealed_to_msgpack(self.value);
                if (!bytes) raise_value_error(bytes.error());
                return py::bytes(reinterpret_cast<const char*>(bytes->data()), bytes->size());
            },
            "__getstate__($self)\n--\n\n")
        .def("__repr__", [](py::handle self_handle) {
            auto& self = self_of(self_handle);
            BorrowFlag::Shared access(self.borrow);
            return parameters::debug_holder(self.value);
        });
    def_setstate(
        cls,
        [](py::handle self_handle, py::handle state) {
            auto& self = self_of(self_handle);
            auto decoded = parameters::sealed_from_msgpack(bytes_argument(state, "state"));
            if (!decoded) raise_value_error(decoded.error());
            BorrowFlag::Exclusive access(self.borrow);
            self.replace(std::move(*decoded));
        },
        "__setstate__($self, state)\n--\n\n");
}

}  // namespace tarnel::python
