#pragma once
// Everything metric identifiers of one parameter set can name: the parser of
// one-component identifiers, the registered agents, and per protocol a parser
// for protocol metrics and one for agent metrics.
#include <expected>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "tarnel/fields/field.hpp"
#include "tarnel/names/names.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

struct ProtocolRegistryEntry {
    std::unique_ptr<FieldParser> agent;     // agent.protocol.metric
    std::unique_ptr<FieldParser> protocol;  // protocol.metric

    ProtocolRegistryEntry(std::unique_ptr<FieldParser> agent_side, std::unique_ptr<FieldParser> protocol_side);
    // Copies are deep: each parser is cloned.
    ProtocolRegistryEntry(const ProtocolRegistryEntry& o);
    ProtocolRegistryEntry& operator=(const ProtocolRegistryEntry& o);
    ProtocolRegistryEntry(ProtocolRegistryEntry&&) noexcept = default;
    ProtocolRegistryEntry& operator=(ProtocolRegistryEntry&&) noexcept = default;
    ~ProtocolRegistryEntry() = default;
};

struct RegistryBuildError {
    struct ProtocolAlreadyExists {
        names::IdentifierOrAddr name;
    };
    struct AgentAlreadyExists {
        names::Identifier name;
    };
    std::variant<ProtocolAlreadyExists, AgentAlreadyExists> error;
    [[nodiscard]] std::string message() const;
};

// A registration by text: the name did not parse, or the registry refused it.
template <class ParseError>
struct FromStrRegistryBuildError {
    std::variant<ParseError, RegistryBuildError> error;  // ParseError, BuildError
    [[nodiscard]] std::string message() const {
        return std::visit([](const auto& e) { return e.message(); }, error);
    }
    [[nodiscard]] util::Error to_error() const { return util::Error(message()); }
};

// A registered protocol: the key it is registered under and its entry.
struct ProtocolLookup {
    const names::IdentifierOrAddr* name;
    const ProtocolRegistryEntry* entry;
};

class SimulatorRegistry {
public:
    using Entries = std::vector<std::pair<names::IdentifierOrAddr, ProtocolRegistryEntry>>;

    explicit SimulatorRegistry(std::unique_ptr<FieldParser> base_parser);
    // A global base parser and the entries all, variables and common.
    static SimulatorRegistry with_builtin_entries();

    SimulatorRegistry(const SimulatorRegistry& o);
    SimulatorRegistry& operator=(const SimulatorRegistry& o);
    SimulatorRegistry(SimulatorRegistry&&) noexcept = default;
    SimulatorRegistry& operator=(SimulatorRegistry&&) noexcept = default;
    ~SimulatorRegistry() = default;

    // Protocol side first. On failure both parsers are dropped.
    std::expected<void, FromStrRegistryBuildError<names::ProtocolNameParseError>> register_protocol(
        std::string_view name, std::unique_ptr<FieldParser> protocol, std::unique_ptr<FieldParser> agent);
    std::expected<void, FromStrRegistryBuildError<names::ValidationReport>> register_agent(std::string_view name);

    // The registered key and entry, or `name` itself when it does not parse or
    // is not registered.
    [[nodiscard]] std::expected<ProtocolLookup, std::string> protocol(std::string_view name) const;
    [[nodiscard]] const ProtocolRegistryEntry* entry(const names::IdentifierOrAddr& name) const;
    [[nodiscard]] ProtocolRegistryEntry* entry_mut(const names::IdentifierOrAddr& name);
    // By text (nullptr when it does not parse or is not registered).
    [[nodiscard]] ProtocolRegistryEntry* entry_mut(std::string_view name);

    [[nodiscard]] bool has_agent(const names::Identifier& agent) const { return agents_.contains(agent); }
    // Byte-for-byte membership of a text.
    [[nodiscard]] bool has_agent(std::string_view agent) const;
    [[nodiscard]] const std::set<names::Identifier>& agents() const { return agents_; }

    [[nodiscard]] const FieldParser& base_parser() const { return *base_parser_; }
    [[nodiscard]] FieldParser& base_parser_mut() { return *base_parser_; }
    // In registration order.
    [[nodiscard]] const Entries& entries() const { return entries_; }

    // The first parser of concrete type T: the base parser, then each entry's
    // protocol side and agent side in registration order.
    template <class T>
    [[nodiscard]] T* find_parser() {
        if (auto* p = base_parser_->downcast_mut<T>()) return p;
        for (auto& [name, e] : entries_) {
            if (auto* p = e.protocol->template downcast_mut<T>()) return p;
            if (auto* p = e.agent->template downcast_mut<T>()) return p;
        }
        return nullptr;
    }
    template <class T>
    [[nodiscard]] const T* find_parser() const {
        if (const auto* p = base_parser_->downcast<T>()) return p;
        for (const auto& [name, e] : entries_) {
            if (const auto* p = e.protocol->template downcast<T>()) return p;
            if (const auto* p = e.agent->template downcast<T>()) return p;
        }
        return nullptr;
    }

    [[nodiscard]] std::string debug() const;
    // Record {base_parser, agents, parsers}.
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<SimulatorRegistry> from_persisted(const persist::Value& v);

private:
    void insert_entry(names::IdentifierOrAddr name, ProtocolRegistryEntry e);

    std::unique_ptr<FieldParser> base_parser_;
    std::set<names::Identifier> agents_;
    Entries entries_;
    std::unordered_map<names::IdentifierOrAddr, std::size_t> index_;
};

}  // namespace tarnel::fields
