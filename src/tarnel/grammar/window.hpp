#pragma once
// The time range of an aggregation.
#include <string>

#include "tarnel/grammar/bound_expr.hpp"
#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

struct Window {
    BoundExpr begin;
    BoundExpr end;

    // Window { begin: ..., end: ... }
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const Window&) const = default;
};

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(Window);
