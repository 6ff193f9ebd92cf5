#pragma once
// What a program needs from the caller, from its collected fields: the data
// keys it reads, each as an instant value or a series, and the windows it
// aggregates over.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tarnel/binding/collect_simulator_fields.hpp"
#include "tarnel/grammar/window.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::binding {

// Data key to true for a series, false for an instant value; `key_of` maps a
// field to its key (a Result). A key both read and aggregated is a series.
template <class KeyOf>
util::Result<std::map<std::string, bool>> expected_data(const std::vector<CollectedField>& collected, KeyOf&& key_of) {
    std::map<std::string, bool> out;
    for (const auto& c : collected) {
        util::Result<std::string> key = key_of(c.field());
        if (!key) return util::fail(std::move(key.error()));
        auto [it, inserted] = out.try_emplace(std::move(*key), c.is_timeseries());
        if (!inserted) it->second = it->second || c.is_timeseries();
    }
    return out;
}

// One text per aggregated field, in collection order.
[[nodiscard]] std::vector<std::string> expected_time_range(const std::vector<CollectedField>& collected);

// Window { begin: ..., end: ... }, the form the time range reports.
[[nodiscard]] std::string window_text(const grammar::Window& window);

}  // namespace tarnel::binding
