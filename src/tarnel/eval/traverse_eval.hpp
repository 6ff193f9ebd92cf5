#pragma once
// The evaluator: numeric, boolean and statement walks over a bound tree.
// Numeric problems give the absent value; only missing definitions, failed
// data access and failing built-ins are errors.
#include <cstddef>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/eval/data_dict.hpp"
#include "tarnel/eval/local_variable_registry.hpp"
#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/condition.hpp"
#include "tarnel/grammar/expression.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/statement.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::eval {

// What one evaluation reads; only the depth counters change while it runs.
struct EvalContext {
    const parameters::CustomFunctions& functions;
    DataDict& data;
    const util::Limits& limits = util::default_limits;
    std::size_t call_depth = 0;  // custom function calls in progress
    std::size_t depth = 0;       // tree levels in progress, across calls
};

// A statement either finishes ("continue") or returns a value.
struct StatementOutcome {
    bool returned = false;
    decimal::Decimal value;

    static StatementOutcome proceed() { return {}; }
    static StatementOutcome returning(decimal::Decimal v) { return {true, v}; }
};

util::Result<decimal::Decimal> num_traverse_eval(const grammar::NumExpr& e, EvalContext& ctx,
                                                 LocalVariableRegistry& locals);
util::Result<bool> bool_traverse_eval(const grammar::BoolExpr& e, EvalContext& ctx, LocalVariableRegistry& locals);
util::Result<StatementOutcome> statement_traverse_eval(const grammar::Statement& s, EvalContext& ctx,
                                                       LocalVariableRegistry& locals);
// The statements in order, up to the first return.
util::Result<StatementOutcome> statements_traverse_eval(const std::vector<grammar::Statement>& list, EvalContext& ctx,
                                                        LocalVariableRegistry& locals);

// A compiled program with an empty local registry. The caller has compared
// the signatures already.
util::Result<decimal::Decimal> evaluate(const grammar::Expression& program, const parameters::CustomFunctions& functions,
                                        DataDict& data, const util::Limits& limits = util::default_limits);
util::Result<bool> evaluate(const grammar::Condition& program, const parameters::CustomFunctions& functions,
                            DataDict& data, const util::Limits& limits = util::default_limits);

}  // namespace tarnel::eval
