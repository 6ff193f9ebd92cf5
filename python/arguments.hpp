#pragma once
// Conversion of Python arguments, with errors that name the argument:
// TypeError "argument '<name>': <reason>".
#include <pybind11/pybind11.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "instance.hpp"
#include "python_error.hpp"

namespace tarnel::python {

[[noreturn]] void raise_argument_error(std::string_view argument, std::string_view reason);

// A `str` only.
std::string str_argument(pybind11::handle value, std::string_view argument);
// None or a `str`.
std::optional<std::string> optional_str_argument(pybind11::handle value, std::string_view argument);
// Any sequence but a `str`, of `str` elements.
std::vector<std::string> str_sequence_argument(pybind11::handle value, std::string_view argument);
// A sequence of 2-tuples (str, None or str).
std::vector<std::pair<std::string, std::optional<std::string>>> token_pairs_argument(pybind11::handle value,
                                                                                      std::string_view argument);
// A `bytes` object, viewed (not copied) while `value` is alive.
std::span<const std::uint8_t> bytes_argument(pybind11::handle value, std::string_view argument);
// A `dict` (or a subclass).
pybind11::handle dict_argument(pybind11::handle value, std::string_view argument);

// An instance of the bound class T, or "argument '<name>': '<type>' object
// cannot be converted to '<class>'".
template <class T>
T& instance_argument(pybind11::handle value, std::string_view argument, const char* class_name) {
    if (pybind11::isinstance<T>(value)) return constructed_instance<T>(value, class_name);
    raise_argument_error(argument, "'" + type_name(value) + "' object cannot be converted to '" + class_name + "'");
}

}  // namespace tarnel::python
