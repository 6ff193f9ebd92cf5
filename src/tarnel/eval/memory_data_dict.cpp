#include "tarnel/eval/memory_data_dict.hpp"

namespace tarnel::eval {

MemoryDataDict::MemoryDataDict(const parameters::SealedParameters& sealed, timeseries::Instant current_time,
                               std::optional<timeseries::Instant> last_update_time)
    : SplitTimeDataDict(SplitTime{sealed.start_date(), current_time, last_update_time}), sealed_(sealed) {}

util::Result<const MemoryDataDict::Value*> MemoryDataDict::lookup(const fields::SimulationField& field,
                                                                  std::string& key) {
    auto text = sealed_.stringify_identifier(field);
    if (!text) return util::fail(std::move(text.error()));
    key = std::move(*text);
    auto it = values_.find(key);
    if (it == values_.end()) return util::fail("Undefined key '" + key + "'", util::ErrorKind::MissingData);
    return &it->second;
}

util::Result<std::optional<decimal::DecimalValue>> MemoryDataDict::read_scalar(const fields::SimulationField& field) {
    std::string key;
    auto value = lookup(field, key);
    if (!value) return util::fail(std::move(value.error()));
    if (const auto* scalar = std::get_if<std::optional<decimal::DecimalValue>>(*value)) return *scalar;
    const auto& series = std::get<timeseries::SingleTimeseries>(**value);
    if (series.is_empty())
        return util::fail("Empty timeseries found from key " + key, util::ErrorKind::EmptyTimeseries);
    return decimal::DecimalValue::from_double(series.values().back());
}

util::Result<timeseries::SingleTimeseries> MemoryDataDict::read_timeseries(const fields::SimulationField& field) {
    std::string key;
    auto value = lookup(field, key);
    if (!value) return util::fail(std::move(value.error()));
    if (const auto* series = std::get_if<timeseries::SingleTimeseries>(*value)) return *series;
    return util::fail("Cannot extract timeseries on key " + key, util::ErrorKind::InvalidDatatype);
}

}  // namespace tarnel::eval
