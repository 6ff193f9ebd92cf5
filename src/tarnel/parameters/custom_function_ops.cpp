#include "tarnel/parameters/custom_function_ops.hpp"

#include <fmt/format.h>

#include "tarnel/binding/check_and_promote.hpp"
#include "tarnel/eval/local_variable_registry.hpp"
#include "tarnel/eval/traverse_eval.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/parameters/parameters.hpp"

namespace tarnel::parameters {

const CustomFunction* find_custom_function(const CustomFunctions& functions, const std::string& name,
                                           std::size_t arity) {
    auto it = functions.find(name);
    if (it == functions.end() || it->second.args.size() != arity) return nullptr;
    return &it->second;
}

util::Status add_custom_function(Parameters& parameters, std::string_view text) {
    auto definition = grammar::parse_function(text);
    if (!definition) return util::fail(std::move(definition.error()));
    CustomFunction function{std::move(definition->name), std::move(definition->args),
                            std::move(definition->statements)};
    // The function is not in the map yet, so its body cannot call itself.
    auto bound = binding::bind_statements(function.statements, function.args,
                                          {parameters.custom_functions(), parameters.registry()});
    if (!bound) return util::fail(std::move(bound.error()));
    // Checked after binding: a repeated name with a faulty body reports the body.
    if (parameters.custom_functions().contains(function.name))
        return util::fail("Function '" + function.name + "' already registered");
    std::string name = function.name;
    parameters.custom_functions().emplace(std::move(name), std::move(function));
    return {};
}

namespace {

class CallDepthGuard {
public:
    explicit CallDepthGuard(eval::EvalContext& ctx) : ctx_(ctx) { ++ctx_.call_depth; }
    CallDepthGuard(const CallDepthGuard&) = delete;
    CallDepthGuard& operator=(const CallDepthGuard&) = delete;
    ~CallDepthGuard() { --ctx_.call_depth; }

private:
    eval::EvalContext& ctx_;
};

}  // namespace

util::Result<decimal::Decimal> eval_custom_function(const CustomFunction& function,
                                                    std::span<const decimal::Decimal> values, eval::EvalContext& ctx) {
    if (values.size() != function.args.size())
        return util::fail(fmt::format("Invalid number of parameter for `{}`; found {}, expected {}", function.name,
                                      values.size(), function.args.size()));
    // Persisted parameters are not re-validated, so their functions may call
    // one another in a cycle.
    if (ctx.call_depth >= ctx.limits.max_call_depth)
        return util::fail(fmt::format("Custom function calls nested deeper than {} levels", ctx.limits.max_call_depth));
    CallDepthGuard guard(ctx);
    eval::LocalVariableRegistry locals;
    locals.reserve(function.args.size());
    // A repeated parameter name keeps the later value.
    for (std::size_t i = 0; i < values.size(); ++i) locals.insert(function.args[i], values[i]);
    auto outcome = eval::statements_traverse_eval(function.statements, ctx, locals);
    if (!outcome) return util::fail(std::move(outcome.error()));
    if (!outcome->returned) return util::fail("No return on path");
    return outcome->value;
}

}  // namespace tarnel::parameters
