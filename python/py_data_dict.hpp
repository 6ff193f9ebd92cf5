#pragma once
// The data source of one eval call: the caller's dict, read through the data
// keys of the sealed parameters, with the split time of the call.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <unordered_map>

#include "tarnel/eval/data_dict.hpp"
#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"

namespace tarnel::python {

// Data keys as Python strings, per field of one compiled program and one
// sealed parameters value. Fields are found by address (they live in the
// program's tree or in the custom functions of those parameters, neither of
// which changes while the cache is kept for them) and confirmed by value, so
// a field met at a reused address is never given another field's key.
class KeyCache {
public:
    // Forgets every key unless they were made for `parameters_id`.
    void prepare(std::uint64_t parameters_id);
    [[nodiscard]] const pybind11::object* find(const fields::SimulationField& field) const;
    const pybind11::object& insert(const fields::SimulationField& field, pybind11::object key);
    void clear();

private:
    std::uint64_t parameters_id_ = 0;
    struct Entry {
        fields::SimulationField field;
        pybind11::object key;
    };
    std::unordered_map<const fields::SimulationField*, Entry> keys_;
};

class PyDataDictWithSplitTime final : public eval::SplitTimeDataDict {
public:
    // Borrows everything for the duration of one evaluation.
    PyDataDictWithSplitTime(pybind11::handle data, const parameters::SealedParameters& parameters,
                            eval::SplitTime times, KeyCache& keys);

    util::Result<timeseries::SingleTimeseries> get_timeseries_window(const fields::SimulationField& field,
                                                                     const grammar::Window& window) override;

protected:
    util::Result<std::optional<decimal::DecimalValue>> read_scalar(const fields::SimulationField& field) override;
    util::Result<timeseries::SingleTimeseries> read_timeseries(const fields::SimulationField& field) override;

private:
    struct Entry {
        pybind11::object value;
        pybind11::object key;
    };
    // The value under the field's key, held for the read.
    util::Result<Entry> lookup(const fields::SimulationField& field);
    util::Result<const pybind11::object*> key_of(const fields::SimulationField& field);

    pybind11::handle data_;
    const parameters::SealedParameters& parameters_;
    KeyCache& keys_;
};

}  // namespace tarnel::python
