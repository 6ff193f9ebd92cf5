#include "tarnel/grammar/bool_expr.hpp"

#include <algorithm>

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

namespace {

template <class T>
concept Comparison = requires(const T& t) {
    { t.left } -> std::convertible_to<const Box<NumExpr>&>;
    { t.right } -> std::convertible_to<const Box<NumExpr>&>;
};
template <class T>
concept Connective = requires(const T& t) {
    { t.left } -> std::convertible_to<const Box<BoolExpr>&>;
    { t.right } -> std::convertible_to<const Box<BoolExpr>&>;
};

constexpr std::string_view variant_names[] = {"Eq", "Ne", "Lt", "Le", "Gt", "Ge", "And", "Or", "Not", "Literal"};

}  // namespace

std::string BoolExpr::debug() const { return debug_text::text_of(*this); }

void BoolExpr::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    std::visit(
        [&h](const auto& node) {
            using T = std::decay_t<decltype(node)>;
            if constexpr (Comparison<T> || Connective<T>) {
                node.left->hash_feed(h);
                node.right->hash_feed(h);
            } else if constexpr (std::is_same_v<T, Not>) {
                node.operand->hash_feed(h);
            } else {
                h.write_bool(node.value);
            }
        },
        v_);
}

std::size_t tree_depth(const BoolExpr& e) {
    return std::visit(
        [](const auto& node) -> std::size_t {
            using T = std::decay_t<decltype(node)>;
            if constexpr (Comparison<T> || Connective<T>) {
                return 1 + std::max(tree_depth(*node.left), tree_depth(*node.right));
            } else if constexpr (std::is_same_v<T, BoolExpr::Not>) {
                return 1 + tree_depth(*node.operand);
            } else {
                return 1;
            }
        },
        e.variant());
}

void debug_text::append(std::string& out, const BoolExpr& e) {
    std::string_view name = variant_names[e.index()];
    std::visit(
        [&out, name](const auto& node) {
            using T = std::decay_t<decltype(node)>;
            if constexpr (Comparison<T> || Connective<T>) {
                append_pair(out, name, *node.left, *node.right);
            } else if constexpr (std::is_same_v<T, BoolExpr::Not>) {
                out += "Not(";
                append(out, *node.operand);
                out += ')';
            } else {
                out += node.value ? "Literal(true)" : "Literal(false)";
            }
        },
        e.variant());
}

}  // namespace tarnel::grammar
