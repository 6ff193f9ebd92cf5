#pragma once
// The program parser: numeric expressions, conditions and custom function
// definitions. Errors read "error at {line}:{column}: expected {expected}".
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/statement.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::grammar {

// What a `function name(a, b) { ... }` text defines.
struct FunctionDefinition {
    std::string name;
    std::vector<std::string> args;
    std::vector<Statement> statements;
    bool operator==(const FunctionDefinition&) const = default;
};

// The whole text, surrounding whitespace allowed. Beyond the limits the parse
// fails with "error at L:C: nesting deeper than N levels" or "... tree deeper
// than N levels" (or "program text longer than N bytes").
util::Result<NumExpr> parse_expression(std::string_view text, const util::Limits& limits = util::default_limits);
util::Result<BoolExpr> parse_condition(std::string_view text, const util::Limits& limits = util::default_limits);
util::Result<FunctionDefinition> parse_function(std::string_view text,
                                                const util::Limits& limits = util::default_limits);

// The same parsers without remembering failed sub-parses: slower on nested
// conditions, identical in every result and report. For tests and benchmarks.
namespace plain_backtracking {
util::Result<NumExpr> parse_expression(std::string_view text, const util::Limits& limits = util::default_limits);
util::Result<BoolExpr> parse_condition(std::string_view text, const util::Limits& limits = util::default_limits);
util::Result<FunctionDefinition> parse_function(std::string_view text,
                                                const util::Limits& limits = util::default_limits);
}  // namespace plain_backtracking

}  // namespace tarnel::grammar
