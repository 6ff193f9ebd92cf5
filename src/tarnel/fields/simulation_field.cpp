#include "tarnel/fields/simulation_field.hpp"

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
