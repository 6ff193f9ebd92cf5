#pragma once
// A numeric expression. Children are owned exclusively; copies are deep.
#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/grammar/box.hpp"
#include "tarnel/grammar/identifier.hpp"
#include "tarnel/grammar/tree_hash.hpp"
#include "tarnel/grammar/vec_expr.hpp"
#include "tarnel/grammar/window.hpp"

namespace tarnel::grammar {

class NumExpr {
public:
    struct Literal {
        decimal::Decimal value;
        bool operator==(const Literal&) const = default;
    };
    struct Identifier {
        grammar::Identifier identifier;
        bool operator==(const Identifier&) const = default;
    };
    struct Add {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Add&) const = default;
    };
    struct Sub {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Sub&) const = default;
    };
    struct Mul {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Mul&) const = default;
    };
    struct Div {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Div&) const = default;
    };
    // left is the base, right the exponent.
    struct Pow {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Pow&) const = default;
    };
    struct Call {
        std::string name;
        std::vector<NumExpr> args;
        bool operator==(const Call&) const;
    };
    struct Aggregation {
        std::string name;
        VecExpr series;
        Window window;
        bool operator==(const Aggregation&) const = default;
    };
    using Variant = std::variant<Literal, Identifier, Add, Sub, Mul, Div, Pow, Call, Aggregation>;

    NumExpr() = default;  // Literal(NaN)
    template <class A>
        requires is_alternative_v<std::remove_cvref_t<A>, Variant>
    NumExpr(A&& alternative) : v_(std::forward<A>(alternative)) {}  // NOLINT(google-explicit-constructor)

    // Shorthands for building trees by hand.
    static NumExpr literal(decimal::Decimal d) { return Literal{d}; }
    static NumExpr identifier(grammar::Identifier id) { return Identifier{std::move(id)}; }
    static NumExpr unchecked(std::string name, std::size_t position) {
        return Identifier{grammar::Identifier::unchecked(RawIdentifier{std::move(name), {}, position})};
    }
    static NumExpr call(std::string name, std::vector<NumExpr> args) { return Call{std::move(name), std::move(args)}; }

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    template <class A>
    [[nodiscard]] const A* get_if() const { return std::get_if<A>(&v_); }
    template <class A>
    [[nodiscard]] A* get_if() { return std::get_if<A>(&v_); }

    // Literal(Normal(1)), Add(a, b), Call("f", [...]), Aggregation("mean", ..., Window { ... })
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const NumExpr&) const = default;

private:
    Variant v_;
};

template <class Op>
NumExpr make_binary(NumExpr left, NumExpr right) {
    return Op{Box<NumExpr>(std::move(left)), Box<NumExpr>(std::move(right))};
}

// Levels of nested nodes: a leaf is 1 (an aggregation counts as a leaf: its
// series and window do not nest).
[[nodiscard]] std::size_t tree_depth(const NumExpr& e);

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(NumExpr);
