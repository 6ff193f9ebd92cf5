#include "tarnel/binding/check_and_promote.hpp"

#include <fmt/format.h>

#include "tarnel/eval/metric_functions.hpp"
#include "tarnel/eval/scalar_functions.hpp"
#include "tarnel/grammar/composed_identifier.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"

namespace tarnel::binding {

namespace {

using Kind = FieldParseError::Kind;
using Promoted = std::expected<fields::SimulationField, FieldParseError>;

FieldParseError parser_error(const util::Error& e) { return {Kind::ParserError, e.message}; }

Promoted base_field(const fields::SimulatorRegistry& registry, const grammar::ComposedIdentifierRef& ci) {
    auto f = registry.base_parser().parse(ci.components[0], ci);
    if (!f) return std::unexpected(parser_error(f.error()));
    return fields::SimulationField(fields::BaseField{std::move(*f)});
}

Promoted protocol_field(const fields::SimulatorRegistry& registry, const grammar::ComposedIdentifierRef& ci) {
    auto found = registry.protocol(ci.components[0]);
    if (!found) return std::unexpected(FieldParseError{Kind::UnknownProtocol, std::string(ci.components[0])});
    auto f = found->entry->protocol->parse(ci.components[1], ci);
    if (!f) return std::unexpected(parser_error(f.error()));
    return fields::SimulationField(fields::ProtocolField{std::move(*f), *found->name});
}

Promoted agent_field(const fields::SimulatorRegistry& registry, const grammar::ComposedIdentifierRef& ci) {
    auto agent = names::Identifier::parse(ci.components[0]);
    if (!agent || !registry.has_agent(*agent))
        return std::unexpected(FieldParseError{Kind::UnknownAgent, std::string(ci.components[0])});
    auto found = registry.protocol(ci.components[1]);
    if (!found) return std::unexpected(FieldParseError{Kind::UnknownProtocol, std::string(ci.components[1])});
    auto f = found->entry->agent->parse(ci.components[2], ci);
    if (!f) return std::unexpected(parser_error(f.error()));
    return fields::SimulationField(fields::AgentProtocolField{std::move(*f), *found->name, std::move(*agent)});
}

Promoted resolve(const fields::SimulatorRegistry& registry, const std::string& text) {
    // The field parsers read components and options, not the raw record, so
    // the display text goes through the composed-identifier grammar again.
    auto ci = grammar::composed_identifier_with_options(text);
    if (!ci) return std::unexpected(FieldParseError{Kind::SyntaxError, ci.error().message});
    switch (ci->components.size()) {
        case 1: return base_field(registry, *ci);
        case 2: return protocol_field(registry, *ci);
        case 3: return agent_field(registry, *ci);
        default: return std::unexpected(FieldParseError{Kind::TooManyComponents, ci->canonical_text()});
    }
}

}  // namespace

std::expected<grammar::Identifier, ContextualFieldParseError> promote_identifier(
    const fields::SimulatorRegistry& registry, const eval::LocalVariableRegistry& locals,
    const grammar::RawIdentifier& raw) {
    // Options make a name a metric, even when a local has that name.
    if (!locals.empty() && raw.options.empty() && locals.contains(raw.name))
        return grammar::Identifier::local(raw.name);
    auto field = resolve(registry, raw.display());
    if (!field) return std::unexpected(ContextualFieldParseError::at(std::move(field.error()), raw));
    return grammar::Identifier::field(std::move(*field));
}

util::Status CheckAndPromote::on_identifier(grammar::Identifier& id) {
    const auto* unchecked = id.get_if<grammar::Identifier::Unchecked>();
    // Only a hand-built tree can arrive here already bound.
    if (unchecked == nullptr) return util::fail("Identifier bound twice: " + id.debug());
    auto promoted = promote_identifier(scope_.registry, locals_, unchecked->raw);
    if (!promoted) return util::fail(promoted.error().to_error());
    id = std::move(*promoted);
    return {};
}

util::Status CheckAndPromote::on_call(const grammar::NumExpr::Call& call) {
    const std::size_t n = call.args.size();
    if (eval::ScalarFunctions::exists(call.name, n)) return {};
    if (parameters::find_custom_function(scope_.functions, call.name, n) != nullptr) return {};
    return util::fail(fmt::format("Undefined function {} (with {} arguments)", call.name, n));
}

util::Status CheckAndPromote::on_aggregation(grammar::NumExpr::Aggregation& aggregation) {
    if (auto s = on_identifier(aggregation.series.identifier()); !s) return s;
    if (aggregation.series.identifier().get_if<grammar::Identifier::Local>() != nullptr)
        return util::fail("Local identifier not supported; Vec is required for aggregation");
    if (auto metric = eval::MetricsFunctions::build(aggregation.name); !metric)
        return util::fail(std::move(metric.error()));
    return {};
}

util::Status bind_expression(grammar::NumExpr& tree, BindingScope scope, const util::Limits& limits) {
    CheckAndPromote pass(scope, {});
    return num_traverse_mut(tree, pass, limits);
}

util::Status bind_condition(grammar::BoolExpr& tree, BindingScope scope, const util::Limits& limits) {
    CheckAndPromote pass(scope, {});
    return bool_traverse_mut(tree, pass, limits);
}

util::Status bind_statements(std::vector<grammar::Statement>& statements, const std::vector<std::string>& args,
                             BindingScope scope, const util::Limits& limits) {
    CheckAndPromote pass(scope, eval::LocalVariableRegistry::from_names(args));
    return statements_traverse_mut(statements, pass, limits);
}

}  // namespace tarnel::binding
