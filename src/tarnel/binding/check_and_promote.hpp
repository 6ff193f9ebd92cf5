#pragma once
// The binding pass: every unchecked identifier becomes a local variable or a
// simulation field resolved through the registry; calls and aggregations are
// checked against the built-in tables and the custom functions.
#include <expected>
#include <string>
#include <vector>

#include "tarnel/binding/field_parse_error.hpp"
#include "tarnel/binding/traverse.hpp"
#include "tarnel/eval/local_variable_registry.hpp"
#include "tarnel/fields/registry.hpp"
#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/identifier.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/raw_identifier.hpp"
#include "tarnel/parameters/custom_function.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::binding {

// What identifiers and calls resolve against: the sealed parameters when
// compiling a program, the live ones when defining a custom function.
struct BindingScope {
    const parameters::CustomFunctions& functions;
    const fields::SimulatorRegistry& registry;
};

// A local when the name is one (and written without options), otherwise the
// field the registry's parsers make of it.
std::expected<grammar::Identifier, ContextualFieldParseError> promote_identifier(
    const fields::SimulatorRegistry& registry, const eval::LocalVariableRegistry& locals,
    const grammar::RawIdentifier& raw);

class CheckAndPromote : public VisitorMut {
public:
    CheckAndPromote(BindingScope scope, eval::LocalVariableRegistry locals)
        : scope_(scope), locals_(std::move(locals)) {}

    util::Status on_identifier(grammar::Identifier& id);
    util::Status on_call(const grammar::NumExpr::Call& call);
    util::Status on_aggregation(grammar::NumExpr::Aggregation& aggregation);
    // Names assigned anywhere stay locals for every later statement.
    void on_assign(const std::string& name) { locals_.insert(name, decimal::Decimal::absent()); }

    [[nodiscard]] const eval::LocalVariableRegistry& locals() const { return locals_; }

private:
    BindingScope scope_;
    eval::LocalVariableRegistry locals_;
};

// A program tree, with no locals.
util::Status bind_expression(grammar::NumExpr& tree, BindingScope scope,
                             const util::Limits& limits = util::default_limits);
util::Status bind_condition(grammar::BoolExpr& tree, BindingScope scope,
                            const util::Limits& limits = util::default_limits);
// A custom function body, with its parameter names as the first locals.
util::Status bind_statements(std::vector<grammar::Statement>& statements, const std::vector<std::string>& args,
                             BindingScope scope, const util::Limits& limits = util::default_limits);

}  // namespace tarnel::binding
