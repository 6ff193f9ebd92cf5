#include "exceptions.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {
PyObject* make_exception(const char* qualified_name, const char* doc) {
    PyObject* type = PyErr_NewExceptionWithDoc(qualified_name, doc, PyExc_Exception, nullptr);
    if (!type) throw py::error_already_set();
    return type;
}
}  // namespace

PyObject* missing_data_error() {
    static PyObject* type = make_exception("tarnel.MissingDataError", "A required field is missing during the evaluation.");
    return type;
}
PyObject* invalid_datatype_error() {
    static PyObject* type = make_exception("tarnel.InvalidDatatypeError",
                                           "The required field has been found but does not match the expected type.");
    return type;
}
PyObject* mismatch_data_size_error() {
    static PyObject* type =
        make_exception("tarnel.MismatchDataSizeError", "The sizes of the timestamps and values arrays do not match.");
    return type;
}
PyObject* empty_timeseries_error() {
    static PyObject* type = make_exception("tarnel.EmptyTimeseriesError", "The timeseries is empty.");
    return type;
}

void register_exceptions(py::module_& m) {
    m.add_object("MissingDataError", py::handle(missing_data_error()));
    m.add_object("InvalidDatatypeError", py::handle(invalid_datatype_error()));
    m.add_object("MismatchDataSizeError", py::handle(mismatch_data_size_error()));
    m.add_object("EmptyTimeseriesError", py::handle(empty_timeseries_error()));
}

void raise_error(const util::Error& e) {
    using util::ErrorKind;
    if (e.kind == ErrorKind::Foreign && e.foreign && e.causes.empty()) {
        // A saved Python exception travelling through the core without context.
        auto saved = std::static_pointer_cast<py::error_already_set>(e.foreign);
        saved->restore();
        throw py::error_already_set();
    }
    PyObject* type = PyExc_RuntimeError;
    switch (e.kind) {
        case ErrorKind::MissingData: type = missing_data_error(); break;
        case ErrorKind::InvalidDatatype: type = invalid_datatype_error(); break;
        case ErrorKind::MismatchDataSize: type = mismatch_data_size_error(); break;
        case ErrorKind::EmptyTimeseries: type = empty_timeseries_error(); break;
        case ErrorKind::Value: type = PyExc_ValueError; break;
        case ErrorKind::Type: type = PyExc_TypeError; break;
        case ErrorKind::Runtime:
        case ErrorKind::Foreign: type = PyExc_RuntimeError; break;
    }
    PyErr_SetString(type, e.python_text().c_str());
    throw py::error_already_set();
}

}  // namespace tarnel::python
