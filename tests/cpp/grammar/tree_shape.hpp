#pragma once
// Compact text of a tree for test tables: operators as Name(a, b), literals as
// printed, identifiers as their display text.
#include <string>
#include <vector>

#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/statement.hpp"

namespace tarnel::grammar::testing {

std::string shape(const NumExpr& e);
std::string shape(const BoolExpr& e);
std::string shape(const Statement& s);
std::string shape(const std::vector<Statement>& statements);

}  // namespace tarnel::grammar::testing
