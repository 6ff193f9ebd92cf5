#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding_helpers.hpp"
#include "tarnel/binding/check_and_promote.hpp"
#include "tarnel/binding/collect_simulator_fields.hpp"
#include "tarnel/binding/traverse.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"

namespace {

using namespace binding_test;
using tarnel::binding::BindingScope;
using tarnel::grammar::Identifier;

// Every identifier of a bound tree in walk order: a field as its data key,
// a local as "local <name>".
struct Describe : tarnel::binding::VisitorRef {
    const tarnel::fields::SimulatorRegistry* registry = nullptr;
    std::vector<std::string> seen;
    void on_identifier(const Identifier& id) {
        if (const auto* f = id.get_if<Identifier::Field>()) {
            auto key = tarnel::fields::data_key(*registry, f->field);
            seen.push_back(key ? *key : "key error: " + key.error().message);
        } else if (const auto* l = id.get_if<Identifier::Local>()) {
            seen.push_back("local " + l->name);
        } else {
            seen.push_back("unchecked");
        }
    }
    [[nodiscard]] std::string text() const {
        std::string out;
        for (const auto& s : seen) out += (out.empty() ? "" : ", ") + s;
        return out;
    }
};

class BindingFixture {
protected:
    tarnel::fields::SimulatorRegistry registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    [[nodiscard]] BindingScope scope() const { return {functions, registry}; }

    std::string bind_expression_text(const std::string& text) {
        auto tree = tarnel::grammar::parse_expression(text);
        if (!tree) return "parse error: " + tree.error().message;
        if (auto s = tarnel::binding::bind_expression(*tree, scope()); !s) return s.error().message;
        Describe d;
        d.registry = &registry;
        tarnel::binding::num_traverse_ref(*tree, d);
        return "ok: " + d.text();
    }
    std::string bind_condition_text(const std::string& text) {
        auto tree = tarnel::grammar::parse_condition(text);
        if (!tree) return "parse error: " + tree.error().message;
        if (auto s = tarnel::binding::bind_condition(*tree, scope()); !s) return s.error().message;
        Describe d;
        d.registry = &registry;
        tarnel::binding::bool_traverse_ref(*tree, d);
        return "ok: " + d.text();
    }
    std::string bind_function_text(const std::string& text) {
        auto def = tarnel::grammar::parse_function(text);
        if (!def) return "parse error: " + def.error().message;
        if (auto s = tarnel::binding::bind_statements(def->statements, def->args, scope()); !s)
            return s.error().message;
        Describe d;
        d.registry = &registry;
        tarnel::binding::statements_traverse_ref(def->statements, d);
        return "ok: " + d.text();
    }
};

struct TextCase {
    const char* name;
    const char* text;
    const char* expected;
};

class BindExpression : public BindingFixture, public testing::TestWithParam<TextCase> {};

TEST_P(BindExpression, Table) { EXPECT_EQ(bind_expression_text(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Resolved, BindExpression,
    testing::Values(
        TextCase{"global_field", "last_update", "ok: last_update"},
        TextCase{"global_field_in_sum", "current_time + 1", "ok: current_time"},
        TextCase{"protocol_field", "pool.dex_spot", "ok: pool.dex_spot"},
        TextCase{"at_sign_dropped", "@pool.dex_spot", "ok: pool.dex_spot"},
        TextCase{"common_positional_pair", "common.market_spot:{\"WETH/USDC\"}",
                 "ok: common.market_spot:{pair=\"WETH/USDC\"}"},
        TextCase{"common_named_pair", "common.market_spot:{pair=\"WETH/USDC\"}",
                 "ok: common.market_spot:{pair=\"WETH/USDC\"}"},
        TextCase{"agent_all", "bot.all.pnl", "ok: bot.all.pnl"},
        TextCase{"agent_variable", "bot.variables.x", "ok: bot.variables.x"},
        TextCase{"agent_protocol", "bot.pool.net_position", "ok: bot.pool.net_position"},
        TextCase{"agent_protocol_options", "bot.pool.token_amount:{\"USDC\", position=\"p1\"}",
                 "ok: bot.pool.token_amount:{token=\"USDC\",position=\"p1\"}"},
        TextCase{"aggregated_series", "mean of pool.dex_spot between t=t-days(7) and t", "ok: pool.dex_spot"},
        TextCase{"builtin_call", "max(pool.dex_spot, 1)", "ok: pool.dex_spot"},
        TextCase{"builtin_without_arguments_of_table", "sqrt(4)", "ok: "}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(
    Refused, BindExpression,
    testing::Values(
        TextCase{"unknown_agent", "1 + alice.all.pnl", "Unknown agent alice in 'alice.all.pnl' starting at position 4"},
        TextCase{"unknown_protocol", "pol.dex_spot", "Unknown protocol pol in 'pol.dex_spot' starting at position 0"},
        TextCase{"unknown_protocol_of_agent", "bot.pol.net_position",
                 "Unknown protocol pol in 'bot.pol.net_position' starting at position 0"},
        TextCase{"address_as_agent", "0x00000000000000000000000000000000000000aa.all.pnl",
                 "Unknown agent 0x00000000000000000000000000000000000000aa in "
                 "'0x00000000000000000000000000000000000000aa.all.pnl' starting at position 0"},
        TextCase{"bare_name_is_no_local", "x", "Error parsing field: Unknown field x in 'x' starting at position 0"},
        TextCase{"position_of_second_occurrence", "1 + x",
                 "Error parsing field: Unknown field x in 'x' starting at position 4"},
        TextCase{"undeclared_variable", "bot.variables.y",
                 "Error parsing field: Agent bot doesn't possess variable y in 'bot.variables.y' starting at position 0"},
        TextCase{"empty_side", "all.pnl", "Error parsing field: Unknown field pnl in 'all.pnl' starting at position 0"},
        TextCase{"missing_pair", "common.market_spot",
                 "Error parsing field: Missing named positional parameter pair(0) in 'common.market_spot' starting at "
                 "position 0"},
        TextCase{"only_outer_message_of_parser", "common.market_spot:{\"WETH/DAI\"}",
                 "Error parsing field: Error in option pair: in 'common.market_spot:{\"WETH/DAI\"}' starting at "
                 "position 0"},
        TextCase{"four_components_canonical", "a.b.c.d:{z=\"1\", \"p\"}",
                 "Invalid identifier a.b.c.d:{\"p\", z=\"1\"} in 'a.b.c.d:{z=\"1\", \"p\"}' starting at position 0"},
        TextCase{"undefined_function", "f(1, 2)", "Undefined function f (with 2 arguments)"},
        TextCase{"builtin_wrong_arity", "sqrt(1, 2)", "Undefined function sqrt (with 2 arguments)"},
        TextCase{"argument_checked_before_call", "f(pol.x)", "Unknown protocol pol in 'pol.x' starting at position 2"},
        TextCase{"unknown_metric_function", "nope of pool.dex_spot between t and t",
                 "Undefined metric function 'nope'"},
        TextCase{"series_checked_before_metric", "nope of pol.dex_spot between t and t",
                 "Unknown protocol pol in 'pol.dex_spot' starting at position 8"},
        TextCase{"left_operand_first", "pol.a + bot.b.c", "Unknown protocol pol in 'pol.a' starting at position 0"}),
    RowName{});

class BindCondition : public BindingFixture, public testing::TestWithParam<TextCase> {};

TEST_P(BindCondition, Table) { EXPECT_EQ(bind_condition_text(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, BindCondition,
    testing::Values(TextCase{"both_sides", "pool.dex_spot > 1 and bot.all.pnl < 0", "ok: pool.dex_spot, bot.all.pnl"},
                    TextCase{"under_not", "not (bot.all.pnl < last_update)", "ok: bot.all.pnl, last_update"},
                    TextCase{"right_side_error", "1 > x", "Error parsing field: Unknown field x in 'x' starting at position 4"},
                    TextCase{"right_connective_error", "true or pol.a = 1",
                             "Unknown protocol pol in 'pol.a' starting at position 8"}),
    RowName{});

class BindFunction : public BindingFixture, public testing::TestWithParam<TextCase> {
protected:
    void SetUp() override {
        define(functions, registry, "function max(a, b, c) { return a }");
        define(functions, registry, "function g(a) { return a }");
    }
};

TEST_P(BindFunction, Table) { EXPECT_EQ(bind_function_text(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Locals, BindFunction,
    testing::Values(
        TextCase{"parameter_is_local", "function f(a) { return a }", "ok: local a"},
        TextCase{"value_bound_before_name", "function f() { y = y + 1; return y }",
                 "Error parsing field: Unknown field y in 'y' starting at position 19"},
        TextCase{"assigned_then_local", "function f() { y = 1; return y + current_time }", "ok: local y, current_time"},
        TextCase{"branch_name_seen_by_other_branch_and_after",
                 "function f(a) { if a > 0 { z = 1 } else { w = z }; return z + w }",
                 "ok: local a, local z, local z, local w"},
        TextCase{"case_sensitive", "function f(a) { return A }",
                 "Error parsing field: Unknown field A in 'A' starting at position 23"},
        TextCase{"fields_in_body", "function f(a) { return a * pool.dex_spot }", "ok: local a, pool.dex_spot"}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(
    Calls, BindFunction,
    testing::Values(
        TextCase{"builtin_shadows_same_arity", "function f() { return max(1, 2) }", "ok: "},
        TextCase{"custom_of_other_arity", "function f() { return max(1, 2, 3) }", "ok: "},
        TextCase{"no_function_of_that_arity", "function f() { return max(1) }",
                 "Undefined function max (with 1 arguments)"},
        TextCase{"earlier_custom_function", "function f(a) { return g(a) }", "ok: local a"},
        TextCase{"custom_wrong_arity", "function f(a) { return g(a, a) }", "Undefined function g (with 2 arguments)"},
        TextCase{"itself_not_yet_defined", "function f(a) { return f(a) }", "Undefined function f (with 1 arguments)"}),
    RowName{});

TEST(BindWithoutCustomMax, ThreeArgumentMaxIsUndefined) {
    auto registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    auto tree = tarnel::grammar::parse_expression("max(1, 2, 3)").value();
    auto s = tarnel::binding::bind_expression(tree, {functions, registry});
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(s.error().message, "Undefined function max (with 3 arguments)");
}

// Trees no parser produces: they reach binding only when built by hand.
TEST(BindHandBuilt, AggregatingAParameterIsRefused) {
    auto registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    using tarnel::grammar::NumExpr;
    std::vector<tarnel::grammar::Statement> body{tarnel::grammar::Statement::Return{NumExpr::Aggregation{
        "mean", tarnel::grammar::VecExpr::Identifier{Identifier::unchecked({"a", {}, 0})},
        tarnel::grammar::Window{tarnel::grammar::BoundExpr::CurrentTime{}, tarnel::grammar::BoundExpr::CurrentTime{}}}}};
    auto s = tarnel::binding::bind_statements(body, {"a"}, {functions, registry});
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(s.error().message, "Local identifier not supported; Vec is required for aggregation");
}

TEST(BindHandBuilt, SecondBindingIsRefused) {
    auto registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    auto tree = tarnel::grammar::parse_expression("pool.dex_spot").value();
    ASSERT_TRUE(tarnel::binding::bind_expression(tree, {functions, registry}).has_value());
    auto again = tarnel::binding::bind_expression(tree, {functions, registry});
    ASSERT_FALSE(again.has_value());
    EXPECT_TRUE(again.error().message.starts_with("Identifier bound twice: Field(ProtocolField {"));
}

TEST(BindHandBuilt, TreeDeeperThanBoundIsRefused) {
    auto registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    tarnel::util::Limits limits;
    limits.max_tree_depth = 8;
    auto tree = tarnel::grammar::parse_expression("1+(1+(1+(1+(1+(1+(1+(1+(1+1))))))))").value();
    auto s = tarnel::binding::bind_expression(tree, {functions, registry}, limits);
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(s.error().message, "Syntax tree deeper than 8 levels");
}

// Counts what the read-only walk hands to its hooks, following calls into
// custom function bodies.
struct Counter : tarnel::binding::VisitorRef {
    const tarnel::parameters::CustomFunctions* functions = nullptr;
    int identifiers = 0;
    int bounds = 0;
    void on_identifier(const Identifier& /*id*/) { ++identifiers; }
    void on_bound_expr(const tarnel::grammar::BoundExpr& /*b*/) { ++bounds; }
    [[nodiscard]] const tarnel::binding::Statements* custom_function_body(const std::string& name,
                                                                          std::size_t arity) const {
        const auto* f = tarnel::parameters::find_custom_function(*functions, name, arity);
        return f == nullptr ? nullptr : &f->statements;
    }
};

TEST(TraverseRef, WalksBodyOncePerCallAndSkipsBuiltinsAndUnknownCalls) {
    auto registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    define(functions, registry, "function f(a) { if a > 0 { b = a } else { b = last_update }; return b }");
    define(functions, registry, "function max(a, b, c) { return a + b + c + current_time }");
    // Bound against functions that know nope, walked with functions that do not.
    auto known = functions;
    define(known, registry, "function nope() { return 1 }");
    auto tree = tarnel::grammar::parse_expression(
                    "f(1) + f(2) + max(1, 2) + nope() + mean of pool.dex_spot between t=t-days(1) and last_update")
                    .value();
    ASSERT_TRUE(tarnel::binding::bind_expression(tree, {known, registry}).has_value());
    Counter c;
    c.functions = &functions;
    tarnel::binding::num_traverse_ref(tree, c);
    // Each call of f meets a, a, last_update and b; the built-in max and the
    // unknown nope add nothing; the aggregation adds its series and two bounds.
    EXPECT_EQ(c.identifiers, 2 * 4 + 1);
    EXPECT_EQ(c.bounds, 2);
}

TEST(TraverseRef, BodyCutShortByTheDepthBoundIsWalkedAgainLater) {
    auto registry = sample_registry();
    tarnel::parameters::CustomFunctions functions;
    define(functions, registry, "function leaf() { return pool.dex_spot }");
    define(functions, registry, "function outer() { return leaf() }");
    auto tree = tarnel::grammar::parse_expression("outer() + leaf()").value();
    ASSERT_TRUE(tarnel::binding::bind_expression(tree, {functions, registry}).has_value());
    // Through outer the identifier in leaf lies at level 6, through the
    // direct call at level 4.
    tarnel::util::Limits limits;
    limits.max_evaluation_depth = 5;
    tarnel::binding::CollectSimulatorFields collector(functions);
    tarnel::binding::num_traverse_ref(tree, collector, limits);
    auto fields = collector.into_vec();
    ASSERT_EQ(fields.size(), 1U);
    EXPECT_EQ(tarnel::fields::data_key(registry, fields[0].field()).value(), "pool.dex_spot");
}

TEST(PromoteIdentifier, DisplayTextThatDoesNotParseIsASyntaxError) {
    auto registry = sample_registry();
    tarnel::eval::LocalVariableRegistry locals;
    auto r = tarnel::binding::promote_identifier(registry, locals, {"a..b", {}, 7});
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message(),
              "Syntax Error: error at 1:2: expected one of \":{\", EOF, metric options in 'a..b' starting at position 7");
}

TEST(PromoteIdentifier, NameWithOptionsIsNeverALocal) {
    auto registry = sample_registry();
    auto locals = tarnel::eval::LocalVariableRegistry::from_names({"last_update"});
    auto plain = tarnel::binding::promote_identifier(registry, locals, {"last_update", {}, 0});
    ASSERT_TRUE(plain.has_value());
    EXPECT_NE(plain->get_if<Identifier::Local>(), nullptr);
    auto with_options = tarnel::binding::promote_identifier(
        registry, locals,
        {"last_update", {{tarnel::grammar::OptionName::positional(), tarnel::grammar::OptionValue::string("1")}}, 0});
    ASSERT_FALSE(with_options.has_value());
    EXPECT_EQ(with_options.error().message(),
              "Error parsing field: Unknown positional parameter 0: 1 in 'last_update:{\"1\"}' starting at position 0");
}

}  // namespace
