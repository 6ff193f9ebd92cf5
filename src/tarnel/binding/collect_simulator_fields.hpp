#pragma once
// Which simulation fields a bound program reads, following its calls into
// custom functions, and the windows over which it aggregates each of them.
#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

#include "tarnel/binding/traverse.hpp"
#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/window.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"

namespace tarnel::binding {

// One field of a program: aggregated over at least one window, or only read
// as a scalar.
struct CollectedField {
    struct Timeseries {
        fields::SimulationField field;
        grammar::Window window;
        bool operator==(const Timeseries&) const = default;
    };
    struct Instant {
        fields::SimulationField field;
        bool operator==(const Instant&) const = default;
    };
    std::variant<Timeseries, Instant> value;

    [[nodiscard]] const fields::SimulationField& field() const;
    [[nodiscard]] bool is_timeseries() const { return value.index() == 0; }
    bool operator==(const CollectedField&) const = default;
};

class CollectSimulatorFields : public VisitorRef {
public:
    explicit CollectSimulatorFields(const parameters::CustomFunctions& functions) : functions_(functions) {}

    // Walking a body again adds nothing to the collection.
    static constexpr bool walk_each_body_once = true;

    void on_identifier(const grammar::Identifier& id);
    void on_num_expr(const grammar::NumExpr& e);
    [[nodiscard]] const Statements* custom_function_body(const std::string& name, std::size_t arity) const;

    // Fields in the order they were first met. A field aggregated over
    // several windows keeps the first one (and the error log says so).
    [[nodiscard]] std::vector<CollectedField> into_vec() const;

    [[nodiscard]] std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        fields::SimulationField field;
        std::vector<grammar::Window> windows;  // distinct, first met first
        std::unordered_set<grammar::Window> seen;
    };
    // nullptr for locals and the global time fields, which need no data.
    Entry* entry_for(const grammar::Identifier& id);

    const parameters::CustomFunctions& functions_;
    std::vector<Entry> entries_;
    std::unordered_map<fields::SimulationField, std::size_t> index_;
};

// The fields of a bound tree, following calls into custom functions.
[[nodiscard]] std::vector<CollectedField> collect_simulator_fields(const grammar::NumExpr& tree,
                                                                   const parameters::CustomFunctions& functions);
[[nodiscard]] std::vector<CollectedField> collect_simulator_fields(const grammar::BoolExpr& tree,
                                                                   const parameters::CustomFunctions& functions);

}  // namespace tarnel::binding
