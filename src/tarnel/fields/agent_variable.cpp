#include "tarnel/fields/agent_variable.hpp"

#include <array>

#include <fmt/format.h>

#include "tarnel/fields/option_resolution.hpp"
#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 1> parser_fields{"variables"};

}  // namespace

bool AgentVariable::dyn_eq(const Field& other) const {
    const auto* o = other.downcast<AgentVariable>();
    return o != nullptr && o->name_ == name_;
}

persist::Value AgentVariable::to_persisted() const { return names::to_persisted(name_); }

util::Result<DynField> AgentVariable::read(const persist::Value& v) {
    auto name = names::read_identifier(v);
    if (!name) return util::fail(std::move(name.error()));
    return DynField(std::make_shared<AgentVariable>(std::move(*name)));
}

bool AgentVariableParser::has_variable(std::string_view agent, std::string_view variable) const {
    auto it = variables_.find(agent);
    return it != variables_.end() && it->second.contains(variable);
}

util::Result<DynField> AgentVariableParser::parse(std::string_view /*name*/,
                                                  const grammar::ComposedIdentifierRef& identifier) const {
    if (auto s = reject_options(identifier); !s) return util::fail(std::move(s.error()));
    const auto& components = identifier.components;
    if (components.size() != 3 || components[1] != "variables") {
        return util::fail("Agent variable parser only supports three-part identifiers: <agent>.variables.<name>");
    }
    const std::string_view agent = components[0];
    const std::string_view variable = components[2];
    auto it = variables_.find(agent);
    if (it != variables_.end()) {
        if (auto found = it->second.find(variable); found != it->second.end()) {
            return DynField(std::make_shared<AgentVariable>(*found));
        }
    }
    return util::fail(fmt::format("Agent {} doesn't possess variable {}", agent, variable));
}

util::Status AgentVariableParser::write_typed(const AgentVariable& field, std::string& out) const {
    out += field.name().text();
    return {};
}

persist::Value AgentVariableParser::to_persisted() const {
    persist::Map agents;
    agents.reserve(variables_.size());
    for (const auto& [agent, names_of_agent] : variables_) {
        persist::Array list;
        list.reserve(names_of_agent.size());
        for (const auto& n : names_of_agent) list.push_back(names::to_persisted(n));
        agents.emplace_back(names::to_persisted(agent), persist::Value(std::move(list)));
    }
    return persist::Map{{persist::Value("variables"), persist::Value(std::move(agents))}};
}

std::string AgentVariableParser::debug() const {
    std::string out = "AgentVariableParser { variables: {";
    bool first_agent = true;
    for (const auto& [agent, names_of_agent] : variables_) {
        out += first_agent ? "" : ", ";
        first_agent = false;
        out += agent.debug() + ": {";
        bool first = true;
        for (const auto& n : names_of_agent) {
            out += first ? "" : ", ";
            first = false;
            out += n.debug();
        }
        out += "}";
    }
    return out + "} }";
}

util::Result<std::unique_ptr<FieldParser>> AgentVariableParser::read(const persist::Value& v) {
    auto record = persist::RecordReader::open(v, "struct AgentVariableParser with 1 element", parser_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto node = record->required("variables");
    if (!node) return util::fail(std::move(node.error()));
    auto map = persist::read_map(**node);
    if (!map) return util::fail(std::move(map.error()));
    VariableMap variables;
    for (const auto& [key, value] : **map) {
        auto agent = names::read_identifier(key);
        if (!agent) return util::fail(std::move(agent.error()));
        auto list = persist::read_array(value);
        if (!list) return util::fail(std::move(list.error()));
        VariableSet set;
        for (const auto& item : *list) {
            auto variable = names::read_identifier(item);
            if (!variable) return util::fail(std::move(variable.error()));
            set.insert(std::move(*variable));
        }
        // A repeated agent key: the last one wins, as for any map.
        variables.insert_or_assign(std::move(*agent), std::move(set));
    }
    return std::make_unique<AgentVariableParser>(std::move(variables));
}

}  // namespace tarnel::fields
