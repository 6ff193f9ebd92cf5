#pragma once
// A data source over values held in memory, keyed by data key: what the C++
// tests and benchmarks evaluate against.
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "tarnel/eval/data_dict.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"

namespace tarnel::eval {

class MemoryDataDict final : public SplitTimeDataDict {
public:
    // A scalar (absent when not representable) or a series.
    using Value = std::variant<std::optional<decimal::DecimalValue>, timeseries::SingleTimeseries>;

    // Keys come from `sealed`, which must outlive the dictionary.
    MemoryDataDict(const parameters::SealedParameters& sealed, timeseries::Instant current_time,
                   std::optional<timeseries::Instant> last_update_time = std::nullopt);

    void set(std::string key, Value value) { values_.insert_or_assign(std::move(key), std::move(value)); }

protected:
    // A series reads as its last value.
    util::Result<std::optional<decimal::DecimalValue>> read_scalar(const fields::SimulationField& field) override;
    util::Result<timeseries::SingleTimeseries> read_timeseries(const fields::SimulationField& field) override;

private:
    util::Result<const Value*> lookup(const fields::SimulationField& field, std::string& key);

    const parameters::SealedParameters& sealed_;
    std::map<std::string, Value, std::less<>> values_;
};

}  // namespace tarnel::eval
