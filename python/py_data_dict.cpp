#include "py_data_dict.hpp"

#include <fmt/format.h>

#include "input_conversion.hpp"
#include "python_error.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

std::string_view text_of(const py::object& key) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key.ptr(), &size);
    return {utf8, static_cast<std::size_t>(size)};
}

// Python exceptions must not unwind through the evaluator.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (py::error_already_set& e) {
        return util::fail(foreign_error(e));
    } catch (const std::exception& e) {
        return util::fail(e.what());
    }
}

}  // namespace

void KeyCache::prepare(std::uint64_t parameters_id) {
    if (parameters_id != parameters_id_) {
        keys_.clear();
        parameters_id_ = parameters_id;
    }
}

const py::object* KeyCache::find(const fields::SimulationField& field) const {
    auto it = keys_.find(&field);
    if (it == keys_.end() || !(it->second.field == field)) return nullptr;
    return &it->second.key;
}

const py::object& KeyCache::insert(const fields::SimulationField& field, py::object key) {
    return keys_.insert_or_assign(&field, Entry{field, std::move(key)}).first->second.key;
}

void KeyCache::clear() {
    keys_.clear();
    parameters_id_ = 0;
}

PyDataDictWithSplitTime::PyDataDictWithSplitTime(py::handle data, const parameters::SealedParameters& parameters,
                                                 eval::SplitTime times, KeyCache& keys)
    : SplitTimeDataDict(times), data_(data), parameters_(parameters), keys_(keys) {}

util::Result<const py::object*> PyDataDictWithSplitTime::key_of(const fields::SimulationField& field) {
    if (const auto* cached = keys_.find(field)) return cached;
    auto text = parameters_.stringify_identifier(field);
    if (!text) return util::fail(std::move(text.error()));
    auto key = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(text->data(), static_cast<Py_ssize_t>(text->size()), nullptr));
    if (!key) return util::fail(take_python_error());
    return &keys_.insert(field, std::move(key));
}

util::Result<PyDataDictWithSplitTime::Entry> PyDataDictWithSplitTime::lookup(const fields::SimulationField& field) {
    auto key = key_of(field);
    if (!key) return util::fail(std::move(key.error()));
    // Hold the key too: Python code run by the lookup may reset the cache.
    py::object held_key = **key;
    PyObject* value = PyDict_GetItemWithError(data_.ptr(), held_key.ptr());
    if (value == nullptr) {
        if (PyErr_Occurred() != nullptr) return util::fail(take_python_error());
        return util::fail(fmt::format("Undefined key '{}'", text_of(held_key)), util::ErrorKind::MissingData);
    }
    // A strong reference: the value's own methods may remove it from the dict.
    return Entry{py::reinterpret_borrow<py::object>(value), std::move(held_key)};
}

util::Result<std::optional<decimal::DecimalValue>> PyDataDictWithSplitTime::read_scalar(
    const fields::SimulationField& field) {
    return guarded([&]() -> util::Result<std::optional<decimal::DecimalValue>> {
        auto entry = lookup(field);
        if (!entry) return util::fail(std::move(entry.error()));
        return python::read_scalar(entry->value, text_of(entry->key));
    });
}

util::Result<timeseries::SingleTimeseries> PyDataDictWithSplitTime::read_timeseries(const fields::SimulationField& field) {
    return guarded([&]() -> util::Result<timeseries::SingleTimeseries> {
        auto entry = lookup(field);
        if (!entry) return util::fail(std::move(entry.error()));
        return python::read_series(entry->value, text_of(entry->key));
    });
}

util::Result<timeseries::SingleTimeseries> PyDataDictWithSplitTime::get_timeseries_window(
    const fields::SimulationField& field, const grammar::Window& window) {
    return guarded([&]() -> util::Result<timeseries::SingleTimeseries> {
        auto entry = lookup(field);
        if (!entry) return util::fail(std::move(entry.error()));
        const auto key = text_of(entry->key);
        auto bounds = [&] { return materialize_window(window); };
        if (auto windowed = python::read_int64_series_window(entry->value, key, bounds)) return std::move(*windowed);
        auto series = python::read_series(entry->value, key);
        if (!series) return series;
        return window_of(*series, window);
    });
}

}  // namespace tarnel::python
