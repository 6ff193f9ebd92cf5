#include "tarnel/fields/simulation_field.hpp"

#include <array>

#include "tarnel/fields/tagged.hpp"
#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {

const DynField& SimulationField::field() const {
    return std::visit([](const auto& f) -> const DynField& { return f.field; }, v_);
}

std::string SimulationField::debug() const {
    struct Visitor {
        std::string operator()(const BaseField& f) const { return "BaseField { field: " + f.field.debug() + " }"; }
        std::string operator()(const ProtocolField& f) const {
            return "ProtocolField { field: " + f.field.debug() + ", protocol: " + f.protocol.debug() + " }";
        }
        std::string operator()(const AgentProtocolField& f) const {
            return "AgentProtocolField { field: " + f.field.debug() + ", protocol: " + f.protocol.debug() +
                   ", agent: " + f.agent.debug() + " }";
        }
    };
    return std::visit(Visitor{}, v_);
}

void SimulationField::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    struct Visitor {
        util::SipHasher13& h;
        void operator()(const BaseField& f) const { f.field.hash_feed(h); }
        void operator()(const ProtocolField& f) const {
            f.field.hash_feed(h);
            f.protocol.hash_feed(h);
        }
        void operator()(const AgentProtocolField& f) const {
            f.field.hash_feed(h);
            f.protocol.hash_feed(h);
            f.agent.hash_feed(h);
        }
    };
    std::visit(Visitor{h}, v_);
}

}  // namespace tarnel::fields

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 3> variants{"BaseField", "ProtocolField", "AgentProtocolField"};
constexpr std::array<std::string_view, 1> base_fields{"field"};
constexpr std::array<std::string_view, 2> protocol_fields{"field", "protocol"};
constexpr std::array<std::string_view, 3> agent_fields{"field", "protocol", "agent"};

util::Result<DynField> read_field_of(const persist::RecordReader& r) {
    auto node = r.required("field");
    if (!node) return util::fail(std::move(node.error()));
    return read_tagged_field(**node);
}

util::Result<names::IdentifierOrAddr> read_protocol_of(const persist::RecordReader& r) {
    auto node = r.required("protocol");
    if (!node) return util::fail(std::move(node.error()));
    return names::read_identifier_or_addr(**node);
}

util::Result<SimulationField> read_base(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct variant SimulationField::BaseField with 1 element", base_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto field = read_field_of(*r);
    if (!field) return util::fail(std::move(field.error()));
    return SimulationField(BaseField{std::move(*field)});
}

util::Result<SimulationField> read_protocol(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct variant SimulationField::ProtocolField with 2 elements",
                                         protocol_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto field = read_field_of(*r);
    if (!field) return util::fail(std::move(field.error()));
    auto protocol = read_protocol_of(*r);
    if (!protocol) return util::fail(std::move(protocol.error()));
    return SimulationField(ProtocolField{std::move(*field), std::move(*protocol)});
}

util::Result<SimulationField> read_agent(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct variant SimulationField::AgentProtocolField with 3 elements",
                                         agent_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto field = read_field_of(*r);
    if (!field) return util::fail(std::move(field.error()));
    auto protocol = read_protocol_of(*r);
    if (!protocol) return util::fail(std::move(protocol.error()));
    auto node = r->required("agent");
    if (!node) return util::fail(std::move(node.error()));
    auto agent = names::read_identifier(**node);
    if (!agent) return util::fail(std::move(agent.error()));
    return SimulationField(AgentProtocolField{std::move(*field), std::move(*protocol), std::move(*agent)});
}

persist::Value entry(std::string_view name, persist::Value v) { return persist::Map{{persist::Value(std::string(name)), std::move(v)}}; }

}  // namespace

persist::Value SimulationField::to_persisted() const {
    struct Visitor {
        persist::Value operator()(const BaseField& f) const {
            return persist::Map{{persist::Value("field"), write_tagged(f.field)}};
        }
        persist::Value operator()(const ProtocolField& f) const {
            return persist::Map{{persist::Value("field"), write_tagged(f.field)},
                                {persist::Value("protocol"), names::to_persisted(f.protocol)}};
        }
        persist::Value operator()(const AgentProtocolField& f) const {
            return persist::Map{{persist::Value("field"), write_tagged(f.field)},
                                {persist::Value("protocol"), names::to_persisted(f.protocol)},
                                {persist::Value("agent"), names::to_persisted(f.agent)}};
        }
    };
    return entry(variants[v_.index()], std::visit(Visitor{}, v_));
}

util::Result<SimulationField> SimulationField::from_persisted(const persist::Value& v) {
    auto e = persist::read_enum(v, "SimulationField", variants);
    if (!e) return util::fail(std::move(e.error()));
    auto payload = persist::require_payload(*e, "struct variant");
    if (!payload) return util::fail(std::move(payload.error()));
    switch (e->index) {
        case 0: return read_base(**payload);
        case 1: return read_protocol(**payload);
        default: return read_agent(**payload);
    }
}

}  // namespace tarnel::fields
