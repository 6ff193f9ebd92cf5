#include "datetime_conversion.hpp"

#include <datetime.h>
#include <fmt/format.h>

#include <chrono>

#include "python_error.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

void ensure_datetime_api() {
    if (PyDateTimeAPI == nullptr) {
        PyDateTime_IMPORT;
        if (PyDateTimeAPI == nullptr) throw py::error_already_set();
    }
}

[[noreturn]] void raise(PyObject* type, const std::string& text) {
    PyErr_SetString(type, text.c_str());
    throw py::error_already_set();
}

// CPython's accessors are macros with C casts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
bool is_datetime(PyObject* obj) { return PyDateTime_Check(obj); }
PyObject* tzinfo_of(PyObject* dt) { return PyDateTime_DATE_GET_TZINFO(dt); }

struct Fields {
    int year, month, day, hour, minute, second, microsecond;
};
Fields fields_of(PyObject* dt) {
    return {PyDateTime_GET_YEAR(dt),        PyDateTime_GET_MONTH(dt),  PyDateTime_GET_DAY(dt),
            PyDateTime_DATE_GET_HOUR(dt),   PyDateTime_DATE_GET_MINUTE(dt), PyDateTime_DATE_GET_SECOND(dt),
            PyDateTime_DATE_GET_MICROSECOND(dt)};
}
#pragma GCC diagnostic pop

}  // namespace

timeseries::Instant instant_from_python(py::handle value, std::string_view argument) {
    ensure_datetime_api();
    if (!is_datetime(value.ptr())) {
        raise(PyExc_TypeError,
              fmt::format("argument '{}': '{}' object cannot be converted to 'PyDateTime'", argument, type_name(value)));
    }
    auto tz = py::reinterpret_borrow<py::object>(tzinfo_of(value.ptr()));
    if (tz.is_none()) raise(PyExc_TypeError, fmt::format("argument '{}': expected a datetime with non-None tzinfo", argument));
    static const auto* utc = new py::object(py::module_::import("datetime").attr("timezone").attr("utc"));
    if (!tz.is(*utc) && !tz.equal(*utc)) raise(PyExc_ValueError, "expected datetime.timezone.utc");

    using namespace std::chrono;
    const Fields f = fields_of(value.ptr());
    const auto days = sys_days(year{f.year} / f.month / f.day).time_since_epoch().count();
    const std::int64_t micros_of_day =
        ((static_cast<std::int64_t>(f.hour) * 60 + f.minute) * 60 + f.second) * 1'000'000 + f.microsecond;
    // Instants hold nanoseconds in 64 bits: about 1677-09-21 to 2262-04-11.
    std::int64_t ns = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(days), std::int64_t{86'400'000'000'000}, &ns) ||
        __builtin_add_overflow(ns, micros_of_day * 1000, &ns)) {
        raise(PyExc_ValueError,
              fmt::format("argument '{}': datetime outside the supported range 1677-09-21 to 2262-04-11", argument));
    }
    return timeseries::Instant{nanoseconds{ns}};
}

std::optional<timeseries::Instant> optional_instant_from_python(py::handle value, std::string_view argument) {
    if (value.is_none()) return std::nullopt;
    return instant_from_python(value, argument);
}

}  // namespace tarnel::python
