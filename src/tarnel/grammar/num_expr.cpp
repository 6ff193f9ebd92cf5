#include "tarnel/grammar/num_expr.hpp"

#include <algorithm>

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

namespace {

template <class T>
concept BinaryNum = requires(const T& t) {
    { t.left } -> std::convertible_to<const Box<NumExpr>&>;
    { t.right } -> std::convertible_to<const Box<NumExpr>&>;
};

constexpr std::string_view variant_names[] = {"Literal", "Identifier", "Add",  "Sub",        "Mul",
                                              "Div",     "Pow",        "Call", "Aggregation"};

}  // namespace

bool NumExpr::Call::operator==(const Call& o) const { return name == o.name && args == o.args; }

std::string NumExpr::debug() const { return debug_text::text_of(*this); }

void NumExpr::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    std::visit(
        [&h](const auto& node) {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, Literal>) {
                node.value.hash_feed(h);
            } else if constexpr (std::is_same_v<T, Identifier>) {
                node.identifier.hash_feed(h);
            } else if constexpr (BinaryNum<T>) {
                node.left->hash_feed(h);
                node.right->hash_feed(h);
            } else if constexpr (std::is_same_v<T, Call>) {
                h.write_str(node.name);
                h.write_index(node.args.size());
                for (const auto& arg : node.args) arg.hash_feed(h);
            } else {
                h.write_str(node.name);
                node.series.hash_feed(h);
                node.window.hash_feed(h);
            }
        },
        v_);
}

std::size_t tree_depth(const NumExpr& e) {
    return std::visit(
        [](const auto& node) -> std::size_t {
            using T = std::decay_t<decltype(node)>;
            if constexpr (BinaryNum<T>) {
                return 1 + std::max(tree_depth(*node.left), tree_depth(*node.right));
            } else if constexpr (std::is_same_v<T, NumExpr::Call>) {
                std::size_t deepest = 0;
                for (const auto& arg : node.args) deepest = std::max(deepest, tree_depth(arg));
                return 1 + deepest;
            } else {
                return 1;
            }
        },
        e.variant());
}

void debug_text::append(std::string& out, const NumExpr& e) {
    std::string_view name = variant_names[e.index()];
    std::visit(
        [&out, name](const auto& node) {
            using T = std::decay_t<decltype(node)>;
            if constexpr (BinaryNum<T>) {
                append_pair(out, name, *node.left, *node.right);
                return;
            }
            out += name;
            out += '(';
            if constexpr (std::is_same_v<T, NumExpr::Literal>) {
                append(out, node.value);
            } else if constexpr (std::is_same_v<T, NumExpr::Identifier>) {
                append(out, node.identifier);
            } else if constexpr (std::is_same_v<T, NumExpr::Call>) {
                append_quoted(out, node.name);
                out += ", ";
                append_list(out, node.args);
            } else if constexpr (std::is_same_v<T, NumExpr::Aggregation>) {
                append_quoted(out, node.name);
                out += ", ";
                append(out, node.series);
                out += ", ";
                append(out, node.window);
            }
            if constexpr (!BinaryNum<T>) out += ')';
        },
        e.variant());
}

}  // namespace tarnel::grammar
