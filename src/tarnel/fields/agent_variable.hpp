#pragma once
// Variables the caller declares per agent: agent.variables.name.
#include <map>
#include <set>

#include "tarnel/fields/typed_field_parser.hpp"
#include "tarnel/names/names.hpp"

namespace tarnel::fields {

class AgentVariable final : public Field {
public:
    static constexpr std::string_view tag = "AgentVariable";

    explicit AgentVariable(names::Identifier name) : name_(std::move(name)) {}
    [[nodiscard]] const names::Identifier& name() const { return name_; }

    [[nodiscard]] std::string debug() const override { return "AgentVariable(" + name_.debug() + ")"; }
    [[nodiscard]] std::shared_ptr<const Field> clone() const override { return std::make_shared<AgentVariable>(name_); }
    [[nodiscard]] bool dyn_eq(const Field& other) const override;
    void dyn_hash(util::SipHasher13& h) const override { name_.hash_feed(h); }
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    // The variable name.
    [[nodiscard]] persist::Value to_persisted() const override;

    static util::Result<DynField> read(const persist::Value& v);

private:
    names::Identifier name_;
};

// Orders identifiers by text and finds them by plain text too.
struct IdentifierLess {
    using is_transparent = void;
    bool operator()(const names::Identifier& a, const names::Identifier& b) const { return a.text() < b.text(); }
    bool operator()(const names::Identifier& a, std::string_view b) const { return a.text() < b; }
    bool operator()(std::string_view a, const names::Identifier& b) const { return a < b.text(); }
};

class AgentVariableParser final : public TypedFieldParser<AgentVariable> {
public:
    static constexpr std::string_view tag = "AgentVariableParser";
    using VariableSet = std::set<names::Identifier, IdentifierLess>;
    using VariableMap = std::map<names::Identifier, VariableSet, IdentifierLess>;

    AgentVariableParser() = default;
    explicit AgentVariableParser(VariableMap variables) : variables_(std::move(variables)) {}

    [[nodiscard]] const VariableMap& variables() const { return variables_; }
    [[nodiscard]] VariableMap& variables() { return variables_; }
    [[nodiscard]] bool has_variable(std::string_view agent, std::string_view variable) const;

    // A declared variable of the agent, without options.
    [[nodiscard]] util::Result<DynField> parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const override;
    [[nodiscard]] util::Status write_typed(const AgentVariable& field, std::string& out) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    [[nodiscard]] std::unique_ptr<FieldParser> clone() const override { return std::make_unique<AgentVariableParser>(*this); }
    // Record {variables: {agent: [names]}}.
    [[nodiscard]] persist::Value to_persisted() const override;
    [[nodiscard]] std::string debug() const override;

    static util::Result<std::unique_ptr<FieldParser>> read(const persist::Value& v);

protected:
    [[nodiscard]] std::string_view switched_message() const override { return "Parser has been changed during runtime"; }

private:
    VariableMap variables_;
};

}  // namespace tarnel::fields
