#pragma once
// One step of a custom function body.
#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/box.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

class Statement {
public:
    struct Assign {
        std::string name;
        NumExpr value;
        bool operator==(const Assign&) const = default;
    };
    // Either branch may be empty.
    struct IfElse {
        BoolExpr condition;
        std::vector<Statement> then_branch;
        std::vector<Statement> else_branch;
        bool operator==(const IfElse&) const;
    };
    struct Return {
        NumExpr value;
        bool operator==(const Return&) const = default;
    };
    using Variant = std::variant<Assign, IfElse, Return>;

    Statement() = default;  // Assign("", Literal(NaN))
    template <class A>
        requires is_alternative_v<std::remove_cvref_t<A>, Variant>
    Statement(A&& alternative) : v_(std::forward<A>(alternative)) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    template <class A>
    [[nodiscard]] const A* get_if() const { return std::get_if<A>(&v_); }
    template <class A>
    [[nodiscard]] A* get_if() { return std::get_if<A>(&v_); }

    // Assign("x", ...), IfElse(cond, [...], [...]), Return(...)
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const Statement&) const = default;

private:
    Variant v_;
};

// [a, b, ...] in the diagnostic form; length then elements into the hash.
[[nodiscard]] std::string debug_statements(const std::vector<Statement>& statements);
void hash_statements(util::SipHasher13& h, const std::vector<Statement>& statements);

// Levels of nested nodes; an empty list is 0.
[[nodiscard]] std::size_t tree_depth(const Statement& s);
[[nodiscard]] std::size_t tree_depth(const std::vector<Statement>& statements);

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(Statement);
