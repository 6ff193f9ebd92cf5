#include "tarnel/fields/registry.hpp"

#include <array>

#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/empty_field_parser.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/fields/tagged.hpp"
#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 3> registry_fields{"base_parser", "agents", "parsers"};
constexpr std::array<std::string_view, 2> entry_fields{"agent", "protocol"};

std::unique_ptr<FieldParser> or_empty(std::unique_ptr<FieldParser> p) {
    if (p) return p;
    return std::make_unique<EmptyFieldParser>();
}

util::Result<ProtocolRegistryEntry> read_entry(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct ProtocolRegistryEntry with 2 elements", entry_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto agent_node = r->required("agent");
    if (!agent_node) return util::fail(std::move(agent_node.error()));
    auto protocol_node = r->required("protocol");
    if (!protocol_node) return util::fail(std::move(protocol_node.error()));
    auto agent = read_tagged_parser(**agent_node);
    if (!agent) return util::fail(std::move(agent.error()));
    auto protocol = read_tagged_parser(**protocol_node);
    if (!protocol) return util::fail(std::move(protocol.error()));
    return ProtocolRegistryEntry(std::move(*agent), std::move(*protocol));
}

}  // namespace

ProtocolRegistryEntry::ProtocolRegistryEntry(std::unique_ptr<FieldParser> agent_side,
                                             std::unique_ptr<FieldParser> protocol_side)
    : agent(or_empty(std::move(agent_side))), protocol(or_empty(std::move(protocol_side))) {}

ProtocolRegistryEntry::ProtocolRegistryEntry(const ProtocolRegistryEntry& o)
    : agent(o.agent->clone()), protocol(o.protocol->clone()) {}

ProtocolRegistryEntry& ProtocolRegistryEntry::operator=(const ProtocolRegistryEntry& o) {
    if (this != &o) {
        agent = o.agent->clone();
        protocol = o.protocol->clone();
    }
    return *this;
}

std::string RegistryBuildError::message() const {
    struct Visitor {
        std::string operator()(const ProtocolAlreadyExists& e) const {
            return "Protocol already exists " + std::string(e.name.text());
        }
        std::string operator()(const AgentAlreadyExists& e) const {
            return "Agent already exists " + std::string(e.name.text());
        }
    };
    return std::visit(Visitor{}, error);
}

SimulatorRegistry::SimulatorRegistry(std::unique_ptr<FieldParser> base_parser)
    : base_parser_(or_empty(std::move(base_parser))) {}

SimulatorRegistry SimulatorRegistry::with_builtin_entries() {
    SimulatorRegistry r(std::make_unique<GlobalFieldParser>());
    // Fixed valid names on an empty registry: these cannot fail.
    (void)r.register_protocol("all", std::make_unique<EmptyFieldParser>(), std::make_unique<AgentAnyProtocolFieldParser>());
    (void)r.register_protocol("variables", std::make_unique<EmptyFieldParser>(), std::make_unique<AgentVariableParser>());
    (void)r.register_protocol("common", std::make_unique<CommonFieldParser>(), std::make_unique<EmptyFieldParser>());
    return r;
}

SimulatorRegistry::SimulatorRegistry(const SimulatorRegistry& o)
    : base_parser_(o.base_parser_->clone()), agents_(o.agents_), entries_(o.entries_), index_(o.index_) {}

SimulatorRegistry& SimulatorRegistry::operator=(const SimulatorRegistry& o) {
    if (this != &o) {
        SimulatorRegistry copy(o);
        *this = std::move(copy);
    }
    return *this;
}

void SimulatorRegistry::insert_entry(names::IdentifierOrAddr name, ProtocolRegistryEntry e) {
    if (auto it = index_.find(name); it != index_.end()) {
        entries_[it->second].second = std::move(e);
        return;
    }
    index_.emplace(name, entries_.size());
    entries_.emplace_back(std::move(name), std::move(e));
}

std::expected<void, FromStrRegistryBuildError<names::ProtocolNameParseError>> SimulatorRegistry::register_protocol(
    std::string_view name, std::unique_ptr<FieldParser> protocol, std::unique_ptr<FieldParser> agent) {
    using Error = FromStrRegistryBuildError<names::ProtocolNameParseError>;
    auto parsed = names::IdentifierOrAddr::parse(name);
    if (!parsed) return std::unexpected(Error{std::move(parsed.error())});
    if (index_.contains(*parsed)) {
        return std::unexpected(Error{RegistryBuildError{RegistryBuildError::ProtocolAlreadyExists{std::move(*parsed)}}});
    }
    insert_entry(std::move(*parsed), ProtocolRegistryEntry(std::move(agent), std::move(protocol)));
    return {};
}

std::expected<void, FromStrRegistryBuildError<names::ValidationReport>> SimulatorRegistry::register_agent(
    std::string_view name) {
    using Error = FromStrRegistryBuildError<names::ValidationReport>;
    auto parsed = names::Identifier::parse(name);
    if (!parsed) return std::unexpected(Error{std::move(parsed.error())});
    if (agents_.contains(*parsed)) {
        return std::unexpected(Error{RegistryBuildError{RegistryBuildError::AgentAlreadyExists{std::move(*parsed)}}});
    }
    agents_.insert(std::move(*parsed));
    return {};
}

std::expected<ProtocolLookup, std::string> SimulatorRegistry::protocol(std::string_view name) const {
    auto parsed = names::IdentifierOrAddr::parse(name);
    if (!parsed) return std::unexpected(std::string(name));
    auto it = index_.find(*parsed);
    if (it == index_.end()) return std::unexpected(std::string(name));
    const auto& [key, e] = entries_[it->second];
    return ProtocolLookup{&key, &e};
}

const ProtocolRegistryEntry* SimulatorRegistry::entry(const names::IdentifierOrAddr& name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

ProtocolRegistryEntry* SimulatorRegistry::entry_mut(const names::IdentifierOrAddr& name) {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

ProtocolRegistryEntry* SimulatorRegistry::entry_mut(std::string_view name) {
    auto parsed = names::IdentifierOrAddr::parse(name);
    return parsed ? entry_mut(*parsed) : nullptr;
}

bool SimulatorRegistry::has_agent(std::string_view agent) const {
    auto parsed = names::Identifier::parse(agent);
    return parsed && agents_.contains(*parsed);
}

std::string SimulatorRegistry::debug() const {
    std::string out = "SimulatorRegistry { base_parser: " + base_parser_->debug() + ", agents: {";
    bool first = true;
    for (const auto& a : agents_) {
        out += first ? "" : ", ";
        first = false;
        out += a.debug();
    }
    out += "}, parsers: {";
    first = true;
    for (const auto& [name, e] : entries_) {
        out += first ? "" : ", ";
        first = false;
        out += name.debug() + ": ProtocolRegistryEntry { agent: " + e.agent->debug() +
               ", protocol: " + e.protocol->debug() + " }";
    }
    return out + "} }";
}

persist::Value SimulatorRegistry::to_persisted() const {
    persist::Array agents;
    agents.reserve(agents_.size());
    for (const auto& a : agents_) agents.push_back(names::to_persisted(a));
    persist::Map parsers;
    parsers.reserve(entries_.size());
    for (const auto& [name, e] : entries_) {
        persist::Map record{{persist::Value("agent"), write_tagged(*e.agent)},
                            {persist::Value("protocol"), write_tagged(*e.protocol)}};
        parsers.emplace_back(names::to_persisted(name), persist::Value(std::move(record)));
    }
    return persist::Map{{persist::Value("base_parser"), write_tagged(*base_parser_)},
                        {persist::Value("agents"), persist::Value(std::move(agents))},
                        {persist::Value("parsers"), persist::Value(std::move(parsers))}};
}

util::Result<SimulatorRegistry> SimulatorRegistry::from_persisted(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct SimulatorRegistry with 3 elements", registry_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto base_node = r->required("base_parser");
    if (!base_node) return util::fail(std::move(base_node.error()));
    auto agents_node = r->required("agents");
    if (!agents_node) return util::fail(std::move(agents_node.error()));
    auto parsers_node = r->required("parsers");
    if (!parsers_node) return util::fail(std::move(parsers_node.error()));

    auto base = read_tagged_parser(**base_node);
    if (!base) return util::fail(std::move(base.error()));
    SimulatorRegistry out(std::move(*base));

    auto agents = persist::read_array(**agents_node);
    if (!agents) return util::fail(std::move(agents.error()));
    for (const auto& a : *agents) {
        auto agent = names::read_identifier(a);
        if (!agent) return util::fail(std::move(agent.error()));
        out.agents_.insert(std::move(*agent));
    }

    auto parsers = persist::read_map(**parsers_node);
    if (!parsers) return util::fail(std::move(parsers.error()));
    for (const auto& [key, value] : **parsers) {
        auto name = names::read_identifier_or_addr(key);
        if (!name) return util::fail(std::move(name.error()));
        auto e = read_entry(value);
        if (!e) return util::fail(std::move(e.error()));
        // A name written twice (or an address in two spellings): the last wins, as for any map.
        out.insert_entry(std::move(*name), std::move(*e));
    }
    return out;
}

}  // namespace tarnel::fields
