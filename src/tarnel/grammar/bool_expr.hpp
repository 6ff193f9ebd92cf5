#pragma once
// A boolean expression: comparisons of numeric expressions and connectives.
#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "tarnel/grammar/box.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

class BoolExpr {
public:
    struct Eq {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Eq&) const = default;
    };
    struct Ne {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Ne&) const = default;
    };
    struct Lt {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Lt&) const = default;
    };
    struct Le {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Le&) const = default;
    };
    struct Gt {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Gt&) const = default;
    };
    struct Ge {
        Box<NumExpr> left;
        Box<NumExpr> right;
        bool operator==(const Ge&) const = default;
    };
    struct And {
        Box<BoolExpr> left;
        Box<BoolExpr> right;
        bool operator==(const And&) const = default;
    };
    struct Or {
        Box<BoolExpr> left;
        Box<BoolExpr> right;
        bool operator==(const Or&) const = default;
    };
    struct Not {
        Box<BoolExpr> operand;
        bool operator==(const Not&) const = default;
    };
    struct Literal {
        bool value = false;
        bool operator==(const Literal&) const = default;
    };
    using Variant = std::variant<Eq, Ne, Lt, Le, Gt, Ge, And, Or, Not, Literal>;

    BoolExpr() : v_(Literal{false}) {}
    template <class A>
        requires is_alternative_v<std::remove_cvref_t<A>, Variant>
    BoolExpr(A&& alternative) : v_(std::forward<A>(alternative)) {}  // NOLINT(google-explicit-constructor)

    static BoolExpr literal(bool v) { return Literal{v}; }
    static BoolExpr negation(BoolExpr operand) { return Not{Box<BoolExpr>(std::move(operand))}; }

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    template <class A>
    [[nodiscard]] const A* get_if() const { return std::get_if<A>(&v_); }
    template <class A>
    [[nodiscard]] A* get_if() { return std::get_if<A>(&v_); }

    // Eq(a, b), And(a, b), Not(a), Literal(true)
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const BoolExpr&) const = default;

private:
    Variant v_;
};

// Comparisons (Eq..Ge) over two numeric operands, connectives over two conditions.
template <class Op>
BoolExpr make_comparison(NumExpr left, NumExpr right) {
    return Op{Box<NumExpr>(std::move(left)), Box<NumExpr>(std::move(right))};
}
template <class Op>
BoolExpr make_connective(BoolExpr left, BoolExpr right) {
    return Op{Box<BoolExpr>(std::move(left)), Box<BoolExpr>(std::move(right))};
}

// Levels of nested nodes, numeric operands included.
[[nodiscard]] std::size_t tree_depth(const BoolExpr& e);

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(BoolExpr);
