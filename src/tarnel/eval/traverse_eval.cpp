#include "tarnel/eval/traverse_eval.hpp"

#include <array>
#include <span>
#include <type_traits>
#include <vector>

#include <fmt/format.h>

#include "tarnel/eval/metric_functions.hpp"
#include "tarnel/eval/scalar_functions.hpp"
#include "tarnel/eval/vector_function.hpp"
#include "tarnel/timeseries/resample.hpp"

namespace tarnel::eval {

namespace {

using decimal::Decimal;
using grammar::BoolExpr;
using grammar::NumExpr;
using grammar::Statement;

// Holds one level of the evaluation depth for the duration of a node.
class DepthGuard {
public:
    explicit DepthGuard(EvalContext& ctx) : ctx_(ctx) { ++ctx_.depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    ~DepthGuard() { --ctx_.depth; }

private:
    EvalContext& ctx_;
};

util::Status check_depth(const EvalContext& ctx) {
    if (ctx.depth < ctx.limits.max_evaluation_depth) return {};
    return util::fail(fmt::format("Evaluation nested deeper than {} levels", ctx.limits.max_evaluation_depth));
}

util::Error unbound(const grammar::Identifier::Unchecked& u) {
    return util::Error("Identifier '" + u.raw.display() + "' was not bound before evaluation");
}

const ScalarFunction* find_builtin(std::string_view name, std::size_t arity) {
    for (const auto& f : ScalarFunctions::table())
        if (f.arity == arity && f.name == name) return &f;
    return nullptr;
}

util::Result<Decimal> eval_identifier(const grammar::Identifier& id, EvalContext& ctx,
                                      const LocalVariableRegistry& locals) {
    using I = grammar::Identifier;
    if (const auto* f = id.get_if<I::Field>()) {
        auto v = ctx.data.get_scalar(f->field);
        if (!v) return util::fail(std::move(v.error()));
        return Decimal(*v);
    }
    if (const auto* l = id.get_if<I::Local>()) {
        if (const Decimal* v = locals.get(l->name)) return *v;
        return util::fail("Undefined local variable '" + l->name);
    }
    return util::fail(unbound(std::get<I::Unchecked>(id.variant())));
}

// Calls of built-ins take at most two arguments; only wider custom calls
// pay for a heap buffer.
constexpr std::size_t inline_arguments = 4;

util::Result<Decimal> eval_call(const NumExpr::Call& call, EvalContext& ctx, LocalVariableRegistry& locals) {
    const std::size_t n = call.args.size();
    std::array<Decimal, inline_arguments> small{};
    std::vector<Decimal> large;
    std::span<Decimal> values;
    if (n <= inline_arguments) {
        values = std::span(small.data(), n);
    } else {
        large.resize(n);
        values = large;
    }
    for (std::size_t i = 0; i < n; ++i) {
        auto v = num_traverse_eval(call.args[i], ctx, locals);
        if (!v) return v;
        values[i] = *v;
    }
    if (const ScalarFunction* f = find_builtin(call.name, n)) return (*f)(values);
    if (const parameters::CustomFunction* f = parameters::find_custom_function(ctx.functions, call.name, n))
        return parameters::eval_custom_function(*f, values, ctx);
    return util::fail(fmt::format("Undefined function {} (with {} arguments)", call.name, n));
}

// The field an aggregation reads, or why it has none.
util::Result<const fields::SimulationField*> series_field(const grammar::VecExpr& series) {
    using I = grammar::Identifier;
    const grammar::Identifier& id = series.identifier();
    if (const auto* u = id.get_if<I::Unchecked>()) return util::fail(unbound(*u));
    if (id.get_if<I::Local>() != nullptr)
        return util::fail("Local identifier not supported; Vec is required for aggregation");
    return &std::get<I::Field>(id.variant()).field;
}

// The whole series, through its vector function if it has one.
util::Result<timeseries::SingleTimeseries> read_whole(const grammar::VecExpr& series,
                                                      const fields::SimulationField& field, EvalContext& ctx) {
    if (const auto* c = series.get_if<grammar::VecExpr::Call1>()) {
        auto function = VectorFunction::build(c->name);
        if (!function) return util::fail(std::move(function.error()));
        auto raw = ctx.data.get_timeseries(field);
        if (!raw) return raw;
        return function->apply(*raw);
    }
    return ctx.data.get_timeseries(field);
}

// The whole series, resampled to days when the metric asks for it, then windowed.
util::Result<timeseries::SingleTimeseries> read_whole_then_window(const NumExpr::Aggregation& agg,
                                                                  const fields::SimulationField& field, bool daily,
                                                                  EvalContext& ctx) {
    auto series = read_whole(agg.series, field, ctx);
    if (!series) return series;
    if (daily) {
        auto resampled = timeseries::resample_timeseries(*series, daily_sampling);
        if (!resampled) return util::fail(std::move(resampled.error()));
        *series = std::move(*resampled);
    }
    return ctx.data.window_of(*series, agg.window);
}

util::Result<Decimal> eval_aggregation(const NumExpr::Aggregation& agg, EvalContext& ctx) {
    auto metric = MetricsFunctions::build(agg.name);
    if (!metric) return util::fail(std::move(metric.error()));
    auto field = series_field(agg.series);
    if (!field) return util::fail(std::move(field.error()));
    // A plain series feeds the window directly, so the source may convert
    // only the points inside it.
    const bool plain = !(*metric)->daily && agg.series.get_if<grammar::VecExpr::Call1>() == nullptr;
    auto window = plain ? ctx.data.get_timeseries_window(**field, agg.window)
                        : read_whole_then_window(agg, **field, (*metric)->daily, ctx);
    if (!window) return util::fail(std::move(window.error()));
    auto value = (*metric)->impl(*window);
    if (!value) return util::fail(std::move(value.error()));
    return Decimal(decimal::DecimalValue::from_double(*value));
}

template <class Op>
util::Result<Decimal> eval_binary(const Op& node, EvalContext& ctx, LocalVariableRegistry& locals) {
    // Both operands are always evaluated, so an error on the right is not
    // hidden by an absent value on the left.
    auto left = num_traverse_eval(*node.left, ctx, locals);
    if (!left) return left;
    auto right = num_traverse_eval(*node.right, ctx, locals);
    if (!right) return right;
    if constexpr (std::is_same_v<Op, NumExpr::Add>) return *left + *right;
    else if constexpr (std::is_same_v<Op, NumExpr::Sub>) return *left - *right;
    else if constexpr (std::is_same_v<Op, NumExpr::Mul>) return *left * *right;
    else if constexpr (std::is_same_v<Op, NumExpr::Div>) return *left / *right;
    else return left->pow(*right);
}

template <class Op>
util::Result<bool> eval_comparison(const Op& node, EvalContext& ctx, LocalVariableRegistry& locals) {
    auto left = num_traverse_eval(*node.left, ctx, locals);
    if (!left) return util::fail(std::move(left.error()));
    auto right = num_traverse_eval(*node.right, ctx, locals);
    if (!right) return util::fail(std::move(right.error()));
    // The absent value is unequal to everything, itself included.
    if (left->is_absent() || right->is_absent()) return std::is_same_v<Op, BoolExpr::Ne>;
    const auto order = **left <=> **right;
    if constexpr (std::is_same_v<Op, BoolExpr::Eq>) return order == 0;
    else if constexpr (std::is_same_v<Op, BoolExpr::Ne>) return order != 0;
    else if constexpr (std::is_same_v<Op, BoolExpr::Lt>) return order < 0;
    else if constexpr (std::is_same_v<Op, BoolExpr::Le>) return order <= 0;
    else if constexpr (std::is_same_v<Op, BoolExpr::Gt>) return order > 0;
    else return order >= 0;
}

}  // namespace

util::Result<Decimal> num_traverse_eval(const NumExpr& e, EvalContext& ctx, LocalVariableRegistry& locals) {
    if (auto s = check_depth(ctx); !s) return util::fail(std::move(s.error()));
    DepthGuard guard(ctx);
    return std::visit(
        [&](const auto& node) -> util::Result<Decimal> {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, NumExpr::Literal>) return node.value;
            else if constexpr (std::is_same_v<T, NumExpr::Identifier>) return eval_identifier(node.identifier, ctx, locals);
            else if constexpr (std::is_same_v<T, NumExpr::Call>) return eval_call(node, ctx, locals);
            else if constexpr (std::is_same_v<T, NumExpr::Aggregation>) return eval_aggregation(node, ctx);
            else return eval_binary(node, ctx, locals);
        },
        e.variant());
}

util::Result<bool> bool_traverse_eval(const BoolExpr& e, EvalContext& ctx, LocalVariableRegistry& locals) {
    if (auto s = check_depth(ctx); !s) return util::fail(std::move(s.error()));
    DepthGuard guard(ctx);
    return std::visit(
        [&](const auto& node) -> util::Result<bool> {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, BoolExpr::Literal>) {
                return node.value;
            } else if constexpr (std::is_same_v<T, BoolExpr::Not>) {
                auto v = bool_traverse_eval(*node.operand, ctx, locals);
                if (!v) return v;
                return !*v;
            } else if constexpr (std::is_same_v<T, BoolExpr::And>) {
                auto left = bool_traverse_eval(*node.left, ctx, locals);
                if (!left || !*left) return left;
                return bool_traverse_eval(*node.right, ctx, locals);
            } else if constexpr (std::is_same_v<T, BoolExpr::Or>) {
                auto left = bool_traverse_eval(*node.left, ctx, locals);
                if (!left || *left) return left;
                return bool_traverse_eval(*node.right, ctx, locals);
            } else {
                return eval_comparison(node, ctx, locals);
            }
        },
        e.variant());
}

util::Result<StatementOutcome> statement_traverse_eval(const Statement& s, EvalContext& ctx,
                                                       LocalVariableRegistry& locals) {
    if (auto st = check_depth(ctx); !st) return util::fail(std::move(st.error()));
    DepthGuard guard(ctx);
    if (const auto* a = s.get_if<Statement::Assign>()) {
        auto v = num_traverse_eval(a->value, ctx, locals);
        if (!v) return util::fail(std::move(v.error()));
        locals.insert(a->name, *v);
        return StatementOutcome::proceed();
    }
    if (const auto* r = s.get_if<Statement::Return>()) {
        auto v = num_traverse_eval(r->value, ctx, locals);
        if (!v) return util::fail(std::move(v.error()));
        return StatementOutcome::returning(*v);
    }
    const auto& branch = std::get<Statement::IfElse>(s.variant());
    auto condition = bool_traverse_eval(branch.condition, ctx, locals);
    if (!condition) return util::fail(std::move(condition.error()));
    return statements_traverse_eval(*condition ? branch.then_branch : branch.else_branch, ctx, locals);
}

util::Result<StatementOutcome> statements_traverse_eval(const std::vector<Statement>& list, EvalContext& ctx,
                                                        LocalVariableRegistry& locals) {
    for (const auto& s : list) {
        auto outcome = statement_traverse_eval(s, ctx, locals);
        if (!outcome || outcome->returned) return outcome;
    }
    return StatementOutcome::proceed();
}

util::Result<Decimal> evaluate(const grammar::Expression& program, const parameters::CustomFunctions& functions,
                               DataDict& data, const util::Limits& limits) {
    EvalContext ctx{functions, data, limits};
    LocalVariableRegistry locals;
    return num_traverse_eval(program.tree, ctx, locals);
}

util::Result<bool> evaluate(const grammar::Condition& program, const parameters::CustomFunctions& functions,
                            DataDict& data, const util::Limits& limits) {
    EvalContext ctx{functions, data, limits};
    LocalVariableRegistry locals;
    return bool_traverse_eval(program.tree, ctx, locals);
}

}  // namespace tarnel::eval
