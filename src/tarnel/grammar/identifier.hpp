#pragma once
// A name in a syntax tree: as parsed (Unchecked), or after binding a
// simulation field (Field) or a local variable (Local).
#include <string>
#include <utility>
#include <variant>

#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/grammar/raw_identifier.hpp"
#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

class Identifier {
public:
    struct Unchecked {
        RawIdentifier raw;
        bool operator==(const Unchecked&) const = default;
    };
    struct Field {
        fields::SimulationField field;
        bool operator==(const Field&) const = default;
    };
    struct Local {
        std::string name;
        bool operator==(const Local&) const = default;
    };
    using Variant = std::variant<Unchecked, Field, Local>;

    Identifier() = default;
    Identifier(Unchecked u) : v_(std::move(u)) {}  // NOLINT(google-explicit-constructor)
    Identifier(Field f) : v_(std::move(f)) {}      // NOLINT(google-explicit-constructor)
    Identifier(Local l) : v_(std::move(l)) {}      // NOLINT(google-explicit-constructor)
    static Identifier unchecked(RawIdentifier raw) { return Unchecked{std::move(raw)}; }
    static Identifier field(fields::SimulationField f) { return Field{std::move(f)}; }
    static Identifier local(std::string name) { return Local{std::move(name)}; }

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    template <class A>
    [[nodiscard]] const A* get_if() const { return std::get_if<A>(&v_); }
    template <class A>
    [[nodiscard]] A* get_if() { return std::get_if<A>(&v_); }

    // Unchecked(RawIdentifier { ... }), Field(BaseField { ... }), Local("x")
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const Identifier&) const = default;

private:
    Variant v_;
};

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(Identifier);
