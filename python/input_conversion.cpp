#include "input_conversion.hpp"

#include <pybind11/numpy.h>

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <vector>

#include "python_error.hpp"
#include "scaled_values.hpp"
#include "tarnel/timeseries/instant.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

using decimal::DecimalValue;
using decimal::i128;
using util::ErrorKind;

constexpr std::uint32_t max_decimal_count = 28;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

py::detail::PyArray_Proxy* proxy(const py::object& a) { return py::detail::array_proxy(a.ptr()); }

// Live layout of a one-dimensional array (Python code may run between reads
// of an object array, so callers re-read it rather than keep pointers).
py::ssize_t length(const py::object& a) { return proxy(a)->dimensions[0]; }
bool contiguous(const py::object& a) { return (proxy(a)->flags & py::detail::npy_api::NPY_ARRAY_C_CONTIGUOUS_) != 0; }
bool aligned(const py::object& a) { return (proxy(a)->flags & py::detail::npy_api::NPY_ARRAY_ALIGNED_) != 0; }
const char* element(const py::object& a, py::ssize_t i) { return proxy(a)->data + i * proxy(a)->strides[0]; }

// The three parts of a series tuple once their types are known. The arrays
// are held for the duration of one read.
struct SeriesTuple {
    py::object times;
    py::object values;
    std::uint32_t decimals = 0;
};

enum class ValueKind { Int64, BigInt };

// Why a tuple form did not match, as "TypeName: message".
using ExtractError = std::string;

std::string describe(py::handle h) {
    if (!py::detail::npy_api::get().PyArray_Check_(h.ptr())) return fmt::format("'{}' object", type_name(h));
    auto* p = py::detail::array_proxy(h.ptr());
    return fmt::format("array of dtype {} with {} dimension(s)",
                       py::str(py::reinterpret_borrow<py::object>(p->descr)).cast<std::string>(), p->nd);
}

const py::dtype& dtype_of(ValueKind kind) {
    static const py::dtype i64 = py::dtype::of<std::int64_t>();
    static const py::dtype obj = py::dtype("O");
    return kind == ValueKind::Int64 ? i64 : obj;
}

// A one-dimensional array whose dtype is equivalent to `want` (nothing is cast).
bool is_vector_of(py::handle h, const py::dtype& want) {
    const auto& api = py::detail::npy_api::get();
    if (!api.PyArray_Check_(h.ptr())) return false;
    auto* p = py::detail::array_proxy(h.ptr());
    return p->nd == 1 && api.PyArray_EquivTypes_(p->descr, want.ptr());
}

std::expected<std::uint32_t, ExtractError> decimal_count(py::handle h) {
    // Integer index protocol, as for any integer argument (NumPy integers too).
    PyObject* index = PyNumber_Index(h.ptr());
    if (index == nullptr) return std::unexpected(take_python_error_text());
    int overflow = 0;
    const long long d = PyLong_AsLongLongAndOverflow(index, &overflow);
    Py_DECREF(index);
    if (overflow != 0 || d < 0 || d > static_cast<long long>(std::numeric_limits<std::uint32_t>::max())) {
        return std::unexpected(std::string("OverflowError: out of range integral type conversion attempted"));
    }
    return static_cast<std::uint32_t>(d);
}

std::expected<SeriesTuple, ExtractError> extract_tuple(py::handle value, ValueKind kind) {
    if (!PyTuple_Check(value.ptr())) {
        return std::unexpected(fmt::format("TypeError: '{}' object cannot be converted to 'tuple'", type_name(value)));
    }
    const auto n = PyTuple_GET_SIZE(value.ptr());
    if (n != 3) return std::unexpected(fmt::format("ValueError: expected tuple of length 3, but got tuple of length {}", n));
    py::handle times = PyTuple_GET_ITEM(value.ptr(), 0);
    py::handle values = PyTuple_GET_ITEM(value.ptr(), 1);
    static const py::dtype u32 = py::dtype::of<std::uint32_t>();
    if (!is_vector_of(times, u32)) {
        return std::unexpected(
            fmt::format("TypeError: {} cannot be converted to a one-dimensional array of uint32", describe(times)));
    }
    if (!is_vector_of(values, dtype_of(kind))) {
        return std::unexpected(fmt::format("TypeError: {} cannot be converted to a one-dimensional array of {}",
                                           describe(values), kind == ValueKind::Int64 ? "int64" : "object"));
    }
    // The tuple keeps the arrays alive, but the count's __index__ may run
    // Python code: hold them first.
    SeriesTuple t{py::reinterpret_borrow<py::object>(times), py::reinterpret_borrow<py::object>(values), 0};
    auto d = decimal_count(PyTuple_GET_ITEM(value.ptr(), 2));
    if (!d) return std::unexpected(std::move(d.error()));
    t.decimals = *d;
    return t;
}

util::Status check_sizes(const SeriesTuple& t, std::string_view key) {
    const auto nt = length(t.times);
    const auto nv = length(t.values);
    if (nt == nv && nt != 0) return {};
    if (nt == 0 && nv == 0) {
        return util::fail(fmt::format("Empty timeseries found from key {}", key), ErrorKind::EmptyTimeseries);
    }
    return util::fail(fmt::format("Mismatch times and values array size from key {}", key), ErrorKind::MismatchDataSize);
}

std::int64_t int64_at(const py::object& a, py::ssize_t i) {
    std::int64_t v = 0;
    std::memcpy(&v, element(a, i), sizeof v);  // arrays need not be aligned
    return v;
}

// A Python integer as a signed 128-bit value; nullopt when it needs more bits.
std::optional<i128> to_i128(PyObject* integer) {
    int overflow = 0;
    const long long small = PyLong_AsLongLongAndOverflow(integer, &overflow);
    if (overflow == 0) return static_cast<i128>(small);
    unsigned char bytes[16];
    if (_PyLong_AsByteArray(reinterpret_cast<PyLongObject*>(integer), bytes, sizeof bytes, 1, 1) != 0) {
        PyErr_Clear();
        return std::nullopt;
    }
    decimal::u128 u = 0;
    for (int i = 15; i >= 0; --i) u = (u << 8) | bytes[i];
    return static_cast<i128>(u);
}

// Element i of an object array as an integer (any object with an integer
// index); the error text on failure, nullopt beyond 128 bits.
std::expected<std::optional<i128>, std::string> object_integer_at(const py::object& a, py::ssize_t i) {
    PyObject* item = nullptr;
    std::memcpy(&item, element(a, i), sizeof item);
    if (item == nullptr) return std::unexpected(std::string("TypeError: 'NoneType' object cannot be interpreted as an integer"));
    if (PyLong_CheckExact(item)) return to_i128(item);
    // __index__ may run Python code that replaces this very element: hold it.
    auto held = py::reinterpret_borrow<py::object>(item);
    PyObject* index = PyNumber_Index(held.ptr());
    if (index == nullptr) return std::unexpected(take_python_error_text());
    auto result = to_i128(index);
    Py_DECREF(index);
    return result;
}

// The DecimalValue (v, d) as a double; NaN when it cannot be represented.
double scaled_to_double(i128 v, std::uint32_t d) {
    auto dv = DecimalValue::from_int_scaled(v, d);
    return dv ? dv->to_double() : nan;
}

std::vector<double> int64_values_to_double(const SeriesTuple& t) {
    return scaled_int64_to_double(element(t.values, 0), static_cast<std::size_t>(length(t.values)), t.decimals);
}

// The timestamps as one aligned run (a copy only when the array is not aligned).
struct Stamps {
    const std::uint32_t* data = nullptr;
    std::size_t size = 0;
    std::vector<std::uint32_t> copy;
};

Stamps stamps_of(const SeriesTuple& t) {
    Stamps s;
    s.size = static_cast<std::size_t>(length(t.times));
    s.data = reinterpret_cast<const std::uint32_t*>(element(t.times, 0));
    if (!aligned(t.times)) {
        s.copy.resize(s.size);
        std::memcpy(s.copy.data(), element(t.times, 0), s.size * sizeof(std::uint32_t));
        s.data = s.copy.data();
    }
    return s;
}

util::Result<timeseries::SingleTimeseries> series_from(std::span<const std::uint32_t> stamps, std::vector<double> values,
                                                       std::string_view key) {
    auto series = timeseries::SingleTimeseries::from_components(timeseries::generate_datetimes_from_epoch(stamps),
                                                                std::move(values), std::nullopt);
    if (!series) return util::fail(std::move(series.error()).context(fmt::format("While building timeseries for key '{}'", key)));
    return series;
}

util::Result<timeseries::SingleTimeseries> build_series(const SeriesTuple& t, std::vector<double> values,
                                                        std::string_view key) {
    if (!contiguous(t.times)) return util::fail("The given array is not contiguous");
    const Stamps stamps = stamps_of(t);
    return series_from(std::span(stamps.data, stamps.size), std::move(values), key);
}

bool strictly_increasing(const std::uint32_t* s, std::size_t n) {
    // An integer accumulator without an early exit: the loop vectorizes.
    std::uint32_t out_of_order = 0;
    for (std::size_t i = 1; i < n; ++i) out_of_order |= static_cast<std::uint32_t>(s[i] <= s[i - 1]);
    return out_of_order == 0;
}

util::Error invalid(std::string message) { return util::Error(std::move(message), ErrorKind::InvalidDatatype); }

// Steps 1 and 2 of a scalar read; nullopt when neither form applies.
std::optional<DecimalValue> plain_number(py::handle value) {
    PyObject* obj = value.ptr();
    // An exact tuple is neither an integer nor a decimal text (its str()
    // starts with a parenthesis): go straight to the series forms, sparing
    // the formatting of whole arrays.
    if (PyTuple_CheckExact(obj)) return std::nullopt;
    if (PyLong_CheckExact(obj)) {
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(obj, &overflow);
        if (overflow == 0) return DecimalValue::from_i64(v);
    } else if (Py_TYPE(obj)->tp_as_number != nullptr && Py_TYPE(obj)->tp_as_number->nb_index != nullptr) {
        if (PyObject* index = PyNumber_Index(obj)) {
            int overflow = 0;
            const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
            Py_DECREF(index);
            if (overflow == 0) return DecimalValue::from_i64(v);
        }
        PyErr_Clear();
    }
    PyObject* text = PyObject_Str(obj);
    if (text == nullptr) {
        PyErr_Clear();
        return std::nullopt;
    }
    std::optional<DecimalValue> parsed;
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size)) {
        parsed = DecimalValue::decimal_or_scientific(std::string_view(utf8, static_cast<std::size_t>(size)));
    } else {
        PyErr_Clear();
    }
    Py_DECREF(text);
    return parsed;
}

// Steps of a series read of the int64 form before any conversion.
util::Status check_int64_series(const SeriesTuple& t, std::string_view key) {
    if (auto s = check_sizes(t, key); !s) return s;
    if (!contiguous(t.values)) {
        return util::fail(invalid(fmt::format(
            "While extracting timeseries (u32 times, i64 values, decimal count) from key '{}': not contiguous slice",
            key)));
    }
    return {};
}

}  // namespace

util::Result<std::optional<DecimalValue>> read_scalar(py::handle value, std::string_view key) {
    if (auto number = plain_number(value)) return *number;

    if (auto t = extract_tuple(value, ValueKind::Int64)) {
        if (auto s = check_sizes(*t, key); !s) return util::fail(std::move(s.error()));
        if (!contiguous(t->values)) {
            return util::fail(invalid(fmt::format(
                "While extracting single value (int64 + decimal count) from key '{}': not contiguous slice", key)));
        }
        const std::int64_t last = int64_at(t->values, length(t->values) - 1);
        if (t->decimals > max_decimal_count) return std::optional<DecimalValue>{};
        return DecimalValue::from_int_scaled(last, t->decimals);
    }

    if (auto t = extract_tuple(value, ValueKind::BigInt)) {
        if (auto s = check_sizes(*t, key); !s) return util::fail(std::move(s.error()));
        auto last = object_integer_at(t->values, length(t->values) - 1);
        if (!last) {
            return util::fail(invalid(fmt::format(
                "While extracting single value (BigInt + decimal count) from key '{}': cannot PyObject convert to BigInt: {}",
                key, last.error())));
        }
        if (!*last) return std::optional<DecimalValue>{};  // beyond 128 bits: beyond 2^96 too
        return DecimalValue::from_int_scaled(**last, t->decimals);
    }

    return util::fail(invalid(fmt::format(
        "Cannot extract scalar or timeseries on key {}\nexpect a Decimal or (numpy.array of uint32, numpy.array of "
        "int64, uint32) or (numpy.array of uint32, numpy.array of BigInt, uint32)",
        key)));
}

util::Result<timeseries::SingleTimeseries> read_series(py::handle value, std::string_view key) {
    auto as_int64 = extract_tuple(value, ValueKind::Int64);
    if (as_int64) {
        const auto& t = *as_int64;
        if (auto s = check_int64_series(t, key); !s) return util::fail(std::move(s.error()));
        return build_series(t, int64_values_to_double(t), key);
    }

    auto as_big = extract_tuple(value, ValueKind::BigInt);
    if (as_big) {
        const auto& t = *as_big;
        if (auto s = check_sizes(t, key); !s) return util::fail(std::move(s.error()));
        if (!contiguous(t.values)) {
            return util::fail(invalid(fmt::format(
                "While extracting timeseries (u32 times, BigInt values, decimal count) from key '{}': not contiguous slice",
                key)));
        }
        std::vector<double> values;
        values.reserve(static_cast<std::size_t>(length(t.values)));
        // Re-read the length on every step: an element's __index__ may resize the array.
        for (py::ssize_t i = 0; i < length(t.values); ++i) {
            auto v = object_integer_at(t.values, i);
            if (!v) {
                return util::fail(invalid(fmt::format(
                    "While extracting timeseries (u32 times, BigInt values, decimal count) from key '{}': cannot "
                    "PyObject convert to BigInt: {}",
                    key, v.error())));
            }
            values.push_back(*v ? scaled_to_double(**v, t.decimals) : nan);
        }
        if (auto s = check_sizes(t, key); !s) return util::fail(std::move(s.error()));
        return build_series(t, std::move(values), key);
    }

    return util::fail(invalid(fmt::format(
        "Cannot extract timeseries on key {}\nexpect (numpy.array of uint32, numpy.array of int64, uint32) or "
        "(numpy.array of uint32, numpy.array of BigInt, uint32)\n\n{}\n\n{}",
        key, as_int64.error(), as_big.error())));
}

}  // namespace tarnel::python

namespace tarnel::python {

std::optional<util::Result<timeseries::SingleTimeseries>> read_int64_series_window(py::handle value,
                                                                                   std::string_view key,
                                                                                   const WindowBounds& bounds) {
    auto as_int64 = extract_tuple(value, ValueKind::Int64);
    if (!as_int64) return std::nullopt;
    const auto& t = *as_int64;
    if (auto s = check_int64_series(t, key); !s) return util::fail(std::move(s.error()));
    if (!contiguous(t.times)) return util::fail("The given array is not contiguous");
    const Stamps stamps = stamps_of(t);
    // Out of order: the whole read reports it, exactly as without a window.
    if (!strictly_increasing(stamps.data, stamps.size)) return build_series(t, int64_values_to_double(t), key);
    auto window = bounds();
    if (!window) return util::fail(std::move(window.error()));
    const auto instant = [](std::uint32_t s) { return timeseries::Instant(std::chrono::seconds(s)); };
    const auto* end = stamps.data + stamps.size;
    const auto* first = std::lower_bound(stamps.data, end, window->first,
                                         [&](std::uint32_t s, timeseries::Instant b) { return instant(s) < b; });
    const auto* last = std::upper_bound(first, end, window->second,
                                        [&](timeseries::Instant e, std::uint32_t s) { return e < instant(s); });
    const auto lo = static_cast<std::size_t>(first - stamps.data);
    const std::size_t count = first < last ? static_cast<std::size_t>(last - first) : 0;
    const char* values = element(t.values, 0) + lo * sizeof(std::int64_t);
    return series_from(std::span(stamps.data + lo, count), scaled_int64_to_double(values, count, t.decimals), key);
}

}  // namespace tarnel::python
