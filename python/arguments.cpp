#include "arguments.hpp"

#include <fmt/format.h>

#include "python_error.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

std::string cannot_convert(py::handle value, std::string_view target) {
    return fmt::format("'{}' object cannot be converted to '{}'", type_name(value), target);
}

// A str element of a sequence, or the reason it is not one.
std::optional<std::string> as_str(py::handle item) {
    if (!PyUnicode_Check(item.ptr())) return std::nullopt;
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(item.ptr(), &size);
    if (utf8 == nullptr) throw py::error_already_set();
    return std::string(utf8, static_cast<std::size_t>(size));
}

// The items of a sequence argument, held while they are converted.
std::vector<py::object> sequence_items(py::handle value, std::string_view argument) {
    if (PyUnicode_Check(value.ptr())) raise_argument_error(argument, "Can't extract `str` to `Vec`");
    if (PySequence_Check(value.ptr()) == 0) raise_argument_error(argument, cannot_convert(value, "Sequence"));
    // A snapshot: item access may run Python code that changes the sequence.
    auto fast = py::reinterpret_steal<py::object>(PySequence_List(value.ptr()));
    if (!fast) {
        auto reason = take_python_error_text();
        raise_argument_error(argument, reason);
    }
    std::vector<py::object> items;
    const auto n = PyList_GET_SIZE(fast.ptr());
    items.reserve(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) items.push_back(py::reinterpret_borrow<py::object>(PyList_GET_ITEM(fast.ptr(), i)));
    return items;
}

}  // namespace

void raise_argument_error(std::string_view argument, std::string_view reason) {
    PyErr_SetString(PyExc_TypeError, fmt::format("argument '{}': {}", argument, reason).c_str());
    throw py::error_already_set();
}

std::string str_argument(py::handle value, std::string_view argument) {
    if (auto s = as_str(value)) return *std::move(s);
    raise_argument_error(argument, cannot_convert(value, "PyString"));
}

std::optional<std::string> optional_str_argument(py::handle value, std::string_view argument) {
    if (value.is_none()) return std::nullopt;
    return str_argument(value, argument);
}

std::vector<std::string> str_sequence_argument(py::handle value, std::string_view argument) {
    std::vector<std::string> out;
    for (const auto& item : sequence_items(value, argument)) {
        auto s = as_str(item);
        if (!s) raise_argument_error(argument, cannot_convert(item, "PyString"));
        out.push_back(*std::move(s));
    }
    return out;
}

std::vector<std::pair<std::string, std::optional<std::string>>> token_pairs_argument(py::handle value,
                                                                                      std::string_view argument) {
    std::vector<std::pair<std::string, std::optional<std::string>>> out;
    for (const auto& item : sequence_items(value, argument)) {
        if (!PyTuple_Check(item.ptr())) raise_argument_error(argument, cannot_convert(item, "PyTuple"));
        const auto n = PyTuple_GET_SIZE(item.ptr());
        if (n != 2) {
            raise_argument_error(argument, fmt::format("expected tuple of length 2, but got tuple of length {}", n));
        }
        py::handle symbol = PyTuple_GET_ITEM(item.ptr(), 0);
        py::handle address = PyTuple_GET_ITEM(item.ptr(), 1);
        auto s = as_str(symbol);
        if (!s) raise_argument_error(argument, cannot_convert(symbol, "PyString"));
        std::optional<std::string> a;
        if (!address.is_none()) {
            a = as_str(address);
            if (!a) raise_argument_error(argument, cannot_convert(address, "PyString"));
        }
        out.emplace_back(*std::move(s), std::move(a));
    }
    return out;
}

std::span<const std::uint8_t> bytes_argument(py::handle value, std::string_view argument) {
    if (!PyBytes_Check(value.ptr())) raise_argument_error(argument, cannot_convert(value, "PyBytes"));
    return {reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(value.ptr())),
            static_cast<std::size_t>(PyBytes_GET_SIZE(value.ptr()))};
}

py::handle dict_argument(py::handle value, std::string_view argument) {
    if (!PyDict_Check(value.ptr())) raise_argument_error(argument, cannot_convert(value, "PyDict"));
    return value;
}

}  // namespace tarnel::python
