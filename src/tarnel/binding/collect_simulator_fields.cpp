#include "tarnel/binding/collect_simulator_fields.hpp"

#include "tarnel/eval/global_time.hpp"
#include "tarnel/util/logging.hpp"

namespace tarnel::binding {

const fields::SimulationField& CollectedField::field() const {
    return std::visit([](const auto& v) -> const fields::SimulationField& { return v.field; }, value);
}

CollectSimulatorFields::Entry* CollectSimulatorFields::entry_for(const grammar::Identifier& id) {
    const auto* f = id.get_if<grammar::Identifier::Field>();
    // The current and last update times are arguments of evaluation, not data.
    if (f == nullptr || eval::global_time_of(f->field) != eval::GlobalTime::None) return nullptr;
    auto [it, inserted] = index_.try_emplace(f->field, entries_.size());
    if (inserted) entries_.push_back(Entry{f->field, {}, {}});
    return &entries_[it->second];
}

void CollectSimulatorFields::on_identifier(const grammar::Identifier& id) { entry_for(id); }

void CollectSimulatorFields::on_num_expr(const grammar::NumExpr& e) {
    const auto* agg = e.get_if<grammar::NumExpr::Aggregation>();
    if (agg == nullptr) return;
    Entry* entry = entry_for(agg->series.identifier());
    if (entry != nullptr && entry->seen.insert(agg->window).second) entry->windows.push_back(agg->window);
}

const Statements* CollectSimulatorFields::custom_function_body(const std::string& name, std::size_t arity) const {
    const parameters::CustomFunction* f = parameters::find_custom_function(functions_, name, arity);
    return f == nullptr ? nullptr : &f->statements;
}

std::vector<CollectedField> CollectSimulatorFields::into_vec() const {
    std::vector<CollectedField> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) {
        if (e.windows.empty()) {
            out.push_back(CollectedField{CollectedField::Instant{e.field}});
            continue;
        }
        if (e.windows.size() > 1)
            util::log(util::LogLevel::Error, "tarnel", "Naive implementation of CollectSimulatorFields::into_vec may need update");
        out.push_back(CollectedField{CollectedField::Timeseries{e.field, e.windows.front()}});
    }
    return out;
}

std::vector<CollectedField> collect_simulator_fields(const grammar::NumExpr& tree,
                                                     const parameters::CustomFunctions& functions) {
    CollectSimulatorFields collector(functions);
    num_traverse_ref(tree, collector);
    return collector.into_vec();
}

std::vector<CollectedField> collect_simulator_fields(const grammar::BoolExpr& tree,
                                                     const parameters::CustomFunctions& functions) {
    CollectSimulatorFields collector(functions);
    bool_traverse_ref(tree, collector);
    return collector.into_vec();
}

}  // namespace tarnel::binding
