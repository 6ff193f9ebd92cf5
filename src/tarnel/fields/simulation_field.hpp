#pragma once
// The resolved form of a metric identifier, and the source of data keys.
#include <string>
#include <variant>

#include "tarnel/fields/field.hpp"
#include "tarnel/names/names.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

struct BaseField {
    DynField field;
    bool operator==(const BaseField&) const = default;
};
struct ProtocolField {
    DynField field;
    names::IdentifierOrAddr protocol;
    bool operator==(const ProtocolField&) const = default;
};
struct AgentProtocolField {
    DynField field;
    names::IdentifierOrAddr protocol;
    names::Identifier agent;
    bool operator==(const AgentProtocolField&) const = default;
};

class SimulationField {
public:
    using Variant = std::variant<BaseField, ProtocolField, AgentProtocolField>;
    SimulationField(Variant v) : v_(std::move(v)) {}  // NOLINT
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] const DynField& field() const;
    // BaseField { field: DynField(...) }, ProtocolField { field: ..., protocol: ... }, ...
    [[nodiscard]] std::string debug() const;
    // Variant index, then each field in order.
    void hash_feed(util::SipHasher13& h) const;
    // {"BaseField": {"field": <tagged field>}}, and likewise with `protocol`
    // and `agent` as plain strings for the other two kinds.
    [[nodiscard]] persist::Value to_persisted() const;
    // Accepts records as maps (unknown keys skipped) or as sequences.
    static util::Result<SimulationField> from_persisted(const persist::Value& v);
    friend bool operator==(const SimulationField&, const SimulationField&) = default;

private:
    Variant v_;
};

}  // namespace tarnel::fields

template <>
struct std::hash<tarnel::fields::SimulationField> {
    std::size_t operator()(const tarnel::fields::SimulationField& f) const noexcept {
        tarnel::util::SipHasher13 h;
        f.hash_feed(h);
        return static_cast<std::size_t>(h.finish());
    }
};
