#include "python_error.hpp"

#include <memory>

namespace py = pybind11;

namespace tarnel::python {

namespace {

std::string safe_str(py::handle obj) {
    PyObject* text = PyObject_Str(obj.ptr());
    if (text == nullptr) {
        PyErr_Clear();
        return "<unprintable>";
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size);
    std::string out = utf8 != nullptr ? std::string(utf8, static_cast<std::size_t>(size)) : "<unprintable>";
    if (utf8 == nullptr) PyErr_Clear();
    Py_DECREF(text);
    return out;
}

std::string error_text(const py::error_already_set& e) {
    std::string name = "Exception";
    if (e.type() && PyType_Check(e.type().ptr())) {
        auto qualname = py::reinterpret_steal<py::object>(
            PyType_GetQualName(reinterpret_cast<PyTypeObject*>(e.type().ptr())));
        if (qualname) name = safe_str(qualname);
        else PyErr_Clear();
    }
    return name + ": " + (e.value() ? safe_str(e.value()) : std::string());
}

}  // namespace

std::string type_name(py::handle obj) {
    auto name = py::reinterpret_steal<py::object>(PyType_GetQualName(Py_TYPE(obj.ptr())));
    if (!name) {
        PyErr_Clear();
        return "object";
    }
    return safe_str(name);
}

std::string take_python_error_text() {
    py::error_already_set e;
    return error_text(e);
}

util::Error foreign_error(py::error_already_set& e) {
    util::Error out(error_text(e), util::ErrorKind::Foreign);
    out.foreign = std::make_shared<py::error_already_set>(std::move(e));
    return out;
}

util::Error take_python_error() {
    py::error_already_set e;
    return foreign_error(e);
}

}  // namespace tarnel::python
