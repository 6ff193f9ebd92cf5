#pragma once
// The two whole-tree walks that binding and collection plug into: a read-only
// one that follows calls into custom function bodies, and a mutating one that
// hands every identifier, call, aggregation and assignment to a hook.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include <fmt/format.h>

#include "tarnel/eval/scalar_functions.hpp"
#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/statement.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::binding {

using Statements = std::vector<grammar::Statement>;

// Hooks of a read-only visitor; a visitor derives from this and shadows the
// hooks it needs (the walk calls them on the visitor's own type).
struct VisitorRef {
    void on_identifier(const grammar::Identifier& /*id*/) {}
    void on_num_expr(const grammar::NumExpr& /*e*/) {}
    void on_bool_expr(const grammar::BoolExpr& /*e*/) {}
    void on_bound_expr(const grammar::BoundExpr& /*b*/) {}
    // The body of the custom function of that name and parameter count, or
    // nullptr; asked only when no built-in has that name and arity.
    [[nodiscard]] const Statements* custom_function_body(const std::string& /*name*/, std::size_t /*arity*/) const {
        return nullptr;
    }
};

// A visitor whose result does not depend on how often a body is walked may
// declare `static constexpr bool walk_each_body_once = true;`: a body walked
// in full is then skipped at later calls, so functions calling one another
// several times each cost one walk instead of exponentially many.
template <class V>
concept WalksEachBodyOnce = requires { requires V::walk_each_body_once; };

namespace detail {

template <class V>
class RefWalk {
public:
    RefWalk(V& visitor, const util::Limits& limits) : v_(visitor), limits_(limits) {}

    void num(const grammar::NumExpr& e) {
        if (!enter()) return;
        v_.on_num_expr(e);
        std::visit([this](const auto& node) { num_node(node); }, e.variant());
        --depth_;
    }

    void boolean(const grammar::BoolExpr& e) {
        if (!enter()) return;
        v_.on_bool_expr(e);
        std::visit([this](const auto& node) { bool_node(node); }, e.variant());
        --depth_;
    }

    void statement(const grammar::Statement& s) {
        if (!enter()) return;
        std::visit([this](const auto& node) { statement_node(node); }, s.variant());
        --depth_;
    }

    void statements(const Statements& list) {
        for (const auto& s : list) statement(s);
    }

private:
    // Trees are depth-checked where they are made, but bodies reached through
    // calls stack up; past the bound nothing deeper could be evaluated either.
    bool enter() {
        if (depth_ >= limits_.max_evaluation_depth) {
            ++truncations_;
            return false;
        }
        ++depth_;
        return true;
    }

    template <class T>
    void num_node(const T& node) {
        using N = grammar::NumExpr;
        if constexpr (std::is_same_v<T, N::Literal>) {
        } else if constexpr (std::is_same_v<T, N::Identifier>) {
            v_.on_identifier(node.identifier);
        } else if constexpr (std::is_same_v<T, N::Call>) {
            for (const auto& arg : node.args) num(arg);
            call(node);
        } else if constexpr (std::is_same_v<T, N::Aggregation>) {
            v_.on_identifier(node.series.identifier());
            v_.on_bound_expr(node.window.begin);
            v_.on_bound_expr(node.window.end);
        } else {
            num(*node.left);
            num(*node.right);
        }
    }

    void call(const grammar::NumExpr::Call& node) {
        if (eval::ScalarFunctions::exists(node.name, node.args.size())) return;
        const Statements* body = v_.custom_function_body(node.name, node.args.size());
        if (body == nullptr) return;
        // Persisted parameters may hold functions that call one another in a
        // cycle; walking a body already on the way adds nothing.
        if (std::find(active_.begin(), active_.end(), body) != active_.end()) return;
        if (active_.size() >= limits_.max_call_depth) {
            ++truncations_;
            return;
        }
        if constexpr (WalksEachBodyOnce<V>) {
            if (complete_.contains(body)) return;
        }
        const std::size_t truncations_before = truncations_;
        active_.push_back(body);
        statements(*body);
        active_.pop_back();
        // A body cut short by a bound may hold more at a shallower call.
        if constexpr (WalksEachBodyOnce<V>) {
            if (truncations_ == truncations_before) complete_.insert(body);
        }
    }

    template <class T>
    void bool_node(const T& node) {
        using B = grammar::BoolExpr;
        if constexpr (std::is_same_v<T, B::Literal>) {
        } else if constexpr (std::is_same_v<T, B::Not>) {
            boolean(*node.operand);
        } else if constexpr (std::is_same_v<T, B::And> || std::is_same_v<T, B::Or>) {
            boolean(*node.left);
            boolean(*node.right);
        } else {
            num(*node.left);
            num(*node.right);
        }
    }

    template <class T>
    void statement_node(const T& node) {
        using S = grammar::Statement;
        if constexpr (std::is_same_v<T, S::Assign> || std::is_same_v<T, S::Return>) {
            num(node.value);
        } else {
            boolean(node.condition);
            statements(node.then_branch);
            statements(node.else_branch);
        }
    }

    V& v_;
    const util::Limits& limits_;
    std::size_t depth_ = 0;
    std::size_t truncations_ = 0;
    std::vector<const Statements*> active_;
    std::unordered_set<const Statements*> complete_;
};

}  // namespace detail

// Depth first, left to right; the walk cannot fail.
template <class V>
void num_traverse_ref(const grammar::NumExpr& e, V& visitor, const util::Limits& limits = util::default_limits) {
    detail::RefWalk<V>(visitor, limits).num(e);
}
template <class V>
void bool_traverse_ref(const grammar::BoolExpr& e, V& visitor, const util::Limits& limits = util::default_limits) {
    detail::RefWalk<V>(visitor, limits).boolean(e);
}
template <class V>
void statement_traverse_ref(const grammar::Statement& s, V& visitor, const util::Limits& limits = util::default_limits) {
    detail::RefWalk<V>(visitor, limits).statement(s);
}
template <class V>
void statements_traverse_ref(const Statements& list, V& visitor, const util::Limits& limits = util::default_limits) {
    detail::RefWalk<V>(visitor, limits).statements(list);
}

// Hooks of the mutating walk. The first error a hook returns ends the walk;
// nodes already rewritten stay rewritten.
struct VisitorMut {
    // May replace the identifier in place.
    util::Status on_identifier(grammar::Identifier& /*id*/) { return {}; }
    // After the arguments.
    util::Status on_call(const grammar::NumExpr::Call& /*call*/) { return {}; }
    // The series and the window are the hook's to handle.
    util::Status on_aggregation(grammar::NumExpr::Aggregation& /*aggregation*/) { return {}; }
    // After the assigned value has been walked.
    void on_assign(const std::string& /*name*/) {}
};

namespace detail {

template <class V>
class MutWalk {
public:
    MutWalk(V& visitor, const util::Limits& limits) : v_(visitor), limits_(limits) {}

    util::Status num(grammar::NumExpr& e) {
        if (auto s = enter(); !s) return s;
        auto r = std::visit([this](auto& node) { return num_node(node); }, e.variant());
        --depth_;
        return r;
    }

    util::Status boolean(grammar::BoolExpr& e) {
        if (auto s = enter(); !s) return s;
        auto r = std::visit([this](auto& node) { return bool_node(node); }, e.variant());
        --depth_;
        return r;
    }

    util::Status statement(grammar::Statement& s) {
        if (auto st = enter(); !st) return st;
        auto r = std::visit([this](auto& node) { return statement_node(node); }, s.variant());
        --depth_;
        return r;
    }

    util::Status statements(Statements& list) {
        for (auto& s : list)
            if (auto r = statement(s); !r) return r;
        return {};
    }

private:
    util::Status enter() {
        if (depth_ >= limits_.max_tree_depth)
            return util::fail(fmt::format("Syntax tree deeper than {} levels", limits_.max_tree_depth));
        ++depth_;
        return {};
    }

    template <class T>
    util::Status num_node(T& node) {
        using N = grammar::NumExpr;
        if constexpr (std::is_same_v<T, N::Literal>) {
            return {};
        } else if constexpr (std::is_same_v<T, N::Identifier>) {
            return v_.on_identifier(node.identifier);
        } else if constexpr (std::is_same_v<T, N::Call>) {
            for (auto& arg : node.args)
                if (auto r = num(arg); !r) return r;
            return v_.on_call(node);
        } else if constexpr (std::is_same_v<T, N::Aggregation>) {
            return v_.on_aggregation(node);
        } else {
            if (auto r = num(*node.left); !r) return r;
            return num(*node.right);
        }
    }

    template <class T>
    util::Status bool_node(T& node) {
        using B = grammar::BoolExpr;
        if constexpr (std::is_same_v<T, B::Literal>) {
            return {};
        } else if constexpr (std::is_same_v<T, B::Not>) {
            return boolean(*node.operand);
        } else if constexpr (std::is_same_v<T, B::And> || std::is_same_v<T, B::Or>) {
            if (auto r = boolean(*node.left); !r) return r;
            return boolean(*node.right);
        } else {
            if (auto r = num(*node.left); !r) return r;
            return num(*node.right);
        }
    }

    template <class T>
    util::Status statement_node(T& node) {
        using S = grammar::Statement;
        if constexpr (std::is_same_v<T, S::Assign>) {
            if (auto r = num(node.value); !r) return r;
            v_.on_assign(node.name);
            return {};
        } else if constexpr (std::is_same_v<T, S::Return>) {
            return num(node.value);
        } else {
            if (auto r = boolean(node.condition); !r) return r;
            if (auto r = statements(node.then_branch); !r) return r;
            return statements(node.else_branch);
        }
    }

    V& v_;
    const util::Limits& limits_;
    std::size_t depth_ = 0;
};

}  // namespace detail

template <class V>
util::Status num_traverse_mut(grammar::NumExpr& e, V& visitor, const util::Limits& limits = util::default_limits) {
    return detail::MutWalk<V>(visitor, limits).num(e);
}
template <class V>
util::Status bool_traverse_mut(grammar::BoolExpr& e, V& visitor, const util::Limits& limits = util::default_limits) {
    return detail::MutWalk<V>(visitor, limits).boolean(e);
}
template <class V>
util::Status statement_traverse_mut(grammar::Statement& s, V& visitor,
                                    const util::Limits& limits = util::default_limits) {
    return detail::MutWalk<V>(visitor, limits).statement(s);
}
template <class V>
util::Status statements_traverse_mut(Statements& list, V& visitor, const util::Limits& limits = util::default_limits) {
    return detail::MutWalk<V>(visitor, limits).statements(list);
}

}  // namespace tarnel::binding
