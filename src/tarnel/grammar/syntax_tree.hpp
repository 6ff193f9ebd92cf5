#pragma once
// The printable form of an unbound tree: display templates with one "{}" per
// child, for get_syntax_tree.
#include <string>
#include <vector>

#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::grammar {

struct SyntaxTreeString {
    std::string name;
    std::vector<SyntaxTreeString> args;
    bool operator==(const SyntaxTreeString&) const = default;
};

// Fails with "Should be visited before semantic transformation" on a bound
// field identifier.
util::Result<SyntaxTreeString> syntax_tree_string(const NumExpr& e);
util::Result<SyntaxTreeString> syntax_tree_string(const BoolExpr& e);

}  // namespace tarnel::grammar
