#pragma once
// The series of an aggregation: a named series, or a one-argument scalar
// function applied to every value of one.
#include <string>
#include <utility>
#include <variant>

#include "tarnel/grammar/identifier.hpp"
#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

class VecExpr {
public:
    struct Identifier {
        grammar::Identifier identifier;
        bool operator==(const Identifier&) const = default;
    };
    struct Call1 {
        std::string name;
        grammar::Identifier identifier;
        bool operator==(const Call1&) const = default;
    };
    using Variant = std::variant<Identifier, Call1>;

    VecExpr() = default;
    VecExpr(Identifier i) : v_(std::move(i)) {}  // NOLINT(google-explicit-constructor)
    VecExpr(Call1 c) : v_(std::move(c)) {}       // NOLINT(google-explicit-constructor)

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    template <class A>
    [[nodiscard]] const A* get_if() const { return std::get_if<A>(&v_); }
    template <class A>
    [[nodiscard]] A* get_if() { return std::get_if<A>(&v_); }
    // The identifier of the series, whichever the variant.
    [[nodiscard]] const grammar::Identifier& identifier() const;
    [[nodiscard]] grammar::Identifier& identifier();

    // Identifier(...) or Call1("name", ...)
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const VecExpr&) const = default;

private:
    Variant v_;
};

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(VecExpr);
