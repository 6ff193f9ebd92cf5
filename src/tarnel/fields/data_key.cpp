#include "tarnel/fields/data_key.hpp"

namespace tarnel::fields {
namespace {

util::Result<std::string> field_text(const FieldParser& parser, const DynField& field) {
    if (field.empty()) return util::fail("Parser was switched during runtime");
    return parser.stringify(field.get());
}

util::Result<const ProtocolRegistryEntry*> entry_of(const SimulatorRegistry& registry,
                                                    const names::IdentifierOrAddr& protocol) {
    const auto* e = registry.entry(protocol);
    if (e == nullptr) return util::fail("Unknown protocol " + std::string(protocol.text()));
    return e;
}

}  // namespace

util::Result<std::string> data_key(const SimulatorRegistry& registry, const SimulationField& field) {
    struct Visitor {
        const SimulatorRegistry& registry;
        util::Result<std::string> operator()(const BaseField& f) const { return field_text(registry.base_parser(), f.field); }
        util::Result<std::string> operator()(const ProtocolField& f) const {
            auto e = entry_of(registry, f.protocol);
            if (!e) return util::fail(std::move(e.error()));
            auto text = field_text(*(*e)->protocol, f.field);
            if (!text) return util::fail(std::move(text.error()));
            return std::string(f.protocol.text()) + "." + *text;
        }
        util::Result<std::string> operator()(const AgentProtocolField& f) const {
            auto e = entry_of(registry, f.protocol);
            if (!e) return util::fail(std::move(e.error()));
            auto text = field_text(*(*e)->agent, f.field);
            if (!text) return util::fail(std::move(text.error()));
            return std::string(f.agent.text()) + "." + std::string(f.protocol.text()) + "." + *text;
        }
    };
    return std::visit(Visitor{registry}, field.variant());
}

}  // namespace tarnel::fields
