#include "syntax_tree_conversion.hpp"

#include <fmt/format.h>

namespace py = pybind11;

namespace tarnel::python {

namespace {

py::object node(const grammar::SyntaxTreeString& tree) {
    py::list args;
    for (const auto& child : tree.args) args.append(node(child));
    auto name = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(tree.name.data(), static_cast<Py_ssize_t>(tree.name.size()), nullptr));
    if (!name) {
        PyErr_Clear();
        PyErr_SetString(PyExc_ValueError,
                        fmt::format("Failed to serialize syntax_tree: invalid UTF-8 in {:?}", tree.name).c_str());
        throw py::error_already_set();
    }
    py::dict out;
    out["args"] = std::move(args);
    out["name"] = std::move(name);
    return out;
}

}  // namespace

py::object syntax_tree_to_python(const grammar::SyntaxTreeString& tree) { return node(tree); }

}  // namespace tarnel::python
