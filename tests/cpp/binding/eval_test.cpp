#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "eval_helpers.hpp"
#include "tarnel/eval/traverse_eval.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"

namespace {

using namespace eval_test;
using namespace std::chrono_literals;
using tarnel::eval::EvalContext;
using tarnel::eval::LocalVariableRegistry;
using tarnel::grammar::BoundExpr;
using tarnel::grammar::TimeExpr;
using tarnel::grammar::VecExpr;
using tarnel::parameters::CustomFunction;
using tarnel::parameters::CustomFunctions;
using B = tarnel::grammar::BoolExpr;

std::string show(const tarnel::util::Result<Decimal>& r) {
    if (!r) return "error: " + r.error().message;
    return r->to_string();
}
std::string show(const tarnel::util::Result<bool>& r) {
    if (!r) return "error: " + r.error().message;
    return *r ? "true" : "false";
}

void define(CustomFunctions& functions, std::string name, std::vector<std::string> args, std::vector<Statement> body) {
    functions.insert_or_assign(name, CustomFunction{name, std::move(args), std::move(body)});
}

// The custom functions every evaluation test sees.
CustomFunctions sample_functions() {
    CustomFunctions f;
    define(f, "one", {}, {ret(lit("1"))});
    define(f, "twice", {"a"}, {ret(mul(local("a"), lit("2")))});
    // Same name as a two-argument built-in, reachable with three arguments.
    define(f, "max", {"a", "b", "c"}, {ret(add(add(local("a"), local("b")), local("c")))});
    define(f, "assigned_in_branch", {"a"},
           {if_else(cmp<B::Gt>(local("a"), lit("0")), {assign("y", lit("1"))}, {}), ret(local("y"))});
    define(f, "returns_in_one_branch", {"a"}, {if_else(cmp<B::Gt>(local("a"), lit("0")), {ret(lit("1"))}, {})});
    define(f, "second_wins", {"a", "a"}, {ret(local("a"))});
    define(f, "reads_callers_local", {}, {ret(local("b"))});
    define(f, "caller", {"b"}, {ret(call("reads_callers_local", {}))});
    define(f, "nested_return", {},
           {if_else(B::literal(true), {if_else(B::literal(true), {ret(lit("5"))}, {})}, {}), ret(lit("6"))});
    define(f, "reassign", {}, {assign("x", lit("1")), assign("x", add(local("x"), lit("1"))), ret(local("x"))});
    define(f, "identity", {"a"}, {ret(local("a"))});
    define(f, "reads_field", {}, {ret(field("price"))});
    // A cycle only persisted parameters can hold.
    define(f, "ping", {"a"}, {ret(call("pong", {local("a")}))});
    define(f, "pong", {"a"}, {ret(call("ping", {local("a")}))});
    return f;
}

struct NumCase {
    const char* name;
    NumExpr tree;
    const char* expected;
};

class EvalNum : public testing::TestWithParam<NumCase> {
protected:
    void SetUp() override {
        data.scalars["price"] = dec("2.5").value();
        data.scalars["huge"] = std::nullopt;
    }
    CustomFunctions functions = sample_functions();
    FakeData data;
};

TEST_P(EvalNum, Table) {
    EvalContext ctx{functions, data};
    LocalVariableRegistry locals;
    EXPECT_EQ(show(tarnel::eval::num_traverse_eval(GetParam().tree, ctx, locals)), GetParam().expected);
    EXPECT_EQ(ctx.depth, 0U);
    EXPECT_EQ(ctx.call_depth, 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, EvalNum,
    testing::Values(
        NumCase{"literal_keeps_scale", lit("1.50"), "1.50"}, NumCase{"absent_literal", absent(), "NaN"},
        NumCase{"sum", add(lit("1"), lit("2.5")), "3.5"}, NumCase{"difference", sub(lit("1"), lit("2.5")), "-1.5"},
        NumCase{"product", mul(lit("1.5"), lit("2")), "3.0"}, NumCase{"power", pow(lit("2"), lit("10")), "1024"},
        NumCase{"division_by_zero", div(lit("1"), lit("0")), "NaN"},
        NumCase{"absent_spreads", add(div(lit("1"), lit("0")), lit("1")), "NaN"},
        NumCase{"overflow", mul(lit("79228162514264337593543950335"), lit("2")), "NaN"},
        NumCase{"right_error_after_absent_left", add(absent(), local("y")), "error: Undefined local variable 'y"},
        NumCase{"left_error_first", add(local("a"), local("b")), "error: Undefined local variable 'a"},
        NumCase{"field_scalar", mul(field("price"), lit("2")), "5.0"},
        NumCase{"unrepresentable_field_value", field("huge"), "NaN"},
        NumCase{"missing_key", add(lit("1"), field("missing")), "error: Undefined key 'missing'"},
        NumCase{"unbound_identifier", NumExpr::unchecked("pool.dex_spot", 3),
                "error: Identifier 'pool.dex_spot' was not bound before evaluation"}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(
    Calls, EvalNum,
    testing::Values(
        NumCase{"builtin_keeps_first_on_tie", call("max", {lit("1.50"), lit("1.5")}), "1.50"},
        NumCase{"builtin_absent_argument", call("sqrt", {absent()}), "NaN"},
        NumCase{"builtin_shadows_custom_of_same_arity", call("max", {lit("1"), lit("2")}), "2"},
        NumCase{"custom_of_other_arity_reachable", call("max", {lit("1"), lit("2"), lit("3")}), "6"},
        NumCase{"custom_without_parameters", call("one", {}), "1"},
        NumCase{"custom_with_absent_argument", call("twice", {absent()}), "NaN"},
        NumCase{"custom_wrong_arity", call("twice", {lit("1"), lit("2")}),
                "error: Undefined function twice (with 2 arguments)"},
        NumCase{"undefined_function", call("nope", {lit("1")}), "error: Undefined function nope (with 1 arguments)"},
        NumCase{"argument_error_before_lookup", call("nope", {local("z")}), "error: Undefined local variable 'z"},
        NumCase{"branch_taken_defines_local", call("assigned_in_branch", {lit("1")}), "1"},
        NumCase{"branch_skipped_leaves_local_undefined", call("assigned_in_branch", {lit("-1")}),
                "error: Undefined local variable 'y"},
        NumCase{"return_in_taken_branch", call("returns_in_one_branch", {lit("1")}), "1"},
        NumCase{"no_return_on_path", call("returns_in_one_branch", {lit("-1")}), "error: No return on path"},
        NumCase{"repeated_parameter_keeps_later_value", call("second_wins", {lit("1"), lit("2")}), "2"},
        NumCase{"callers_locals_invisible", call("caller", {lit("1")}), "error: Undefined local variable 'b"},
        NumCase{"return_from_nested_branch_ends_body", call("nested_return", {}), "5"},
        NumCase{"assignment_replaces", call("reassign", {}), "2"},
        NumCase{"body_reads_program_data", call("reads_field", {}), "2.5"},
        NumCase{"cycle_stops_at_call_depth", call("ping", {lit("1")}),
                "error: Custom function calls nested deeper than 64 levels"}),
    RowName{});

TEST(EvalCustomFunction, WrongNumberOfValuesWhenCalledDirectly) {
    CustomFunctions functions = sample_functions();
    FakeData data;
    EvalContext ctx{functions, data};
    const Decimal values[] = {dec("1"), dec("2")};
    auto r = tarnel::parameters::eval_custom_function(functions.at("twice"), values, ctx);
    EXPECT_EQ(show(r), "error: Invalid number of parameter for `twice`; found 2, expected 1");
}

TEST(EvalDepth, ChainOfCallsStopsAtEvaluationDepth) {
    // Each body is a deep sum around the next call: the calls stay below the
    // call bound, but their trees stacked up pass the evaluation bound.
    CustomFunctions functions;
    constexpr int chain = 60;
    for (int i = 0; i < chain; ++i) {
        NumExpr body = i + 1 < chain ? call(fmt::format("f{}", i + 1), {}) : lit("1");
        for (int k = 0; k < 40; ++k) body = add(std::move(body), lit("1"));
        define(functions, fmt::format("f{}", i), {}, {ret(std::move(body))});
    }
    FakeData data;
    EvalContext ctx{functions, data};
    LocalVariableRegistry locals;
    EXPECT_EQ(show(tarnel::eval::num_traverse_eval(call("f0", {}), ctx, locals)),
              "error: Evaluation nested deeper than 2048 levels");

    tarnel::util::Limits roomy;
    roomy.max_evaluation_depth = 1'000'000;
    EvalContext wide{functions, data, roomy};
    EXPECT_EQ(show(tarnel::eval::num_traverse_eval(call("f0", {}), wide, locals)), "2401");
}

struct BoolCase {
    const char* name;
    BoolExpr tree;
    const char* expected;
};

class EvalBool : public testing::TestWithParam<BoolCase> {};

TEST_P(EvalBool, Table) {
    CustomFunctions functions;
    FakeData data;
    EvalContext ctx{functions, data};
    LocalVariableRegistry locals;
    EXPECT_EQ(show(tarnel::eval::bool_traverse_eval(GetParam().tree, ctx, locals)), GetParam().expected);
}

BoolExpr failing() { return cmp<B::Eq>(local("missing"), lit("1")); }

INSTANTIATE_TEST_SUITE_P(
    Comparisons, EvalBool,
    testing::Values(BoolCase{"eq_by_value", cmp<B::Eq>(lit("1.0"), lit("1")), "true"},
                    BoolCase{"ne_true", cmp<B::Ne>(lit("1"), lit("2")), "true"},
                    BoolCase{"ne_false", cmp<B::Ne>(lit("1.0"), lit("1")), "false"},
                    BoolCase{"lt", cmp<B::Lt>(lit("1"), lit("2")), "true"},
                    BoolCase{"le_equal", cmp<B::Le>(lit("2"), lit("2.00")), "true"},
                    BoolCase{"gt", cmp<B::Gt>(lit("1"), lit("2")), "false"},
                    BoolCase{"ge", cmp<B::Ge>(lit("-1"), lit("-2")), "true"},
                    BoolCase{"absent_eq_itself", cmp<B::Eq>(absent(), absent()), "false"},
                    BoolCase{"absent_ne_itself", cmp<B::Ne>(absent(), absent()), "true"},
                    BoolCase{"absent_ne_number", cmp<B::Ne>(lit("1"), absent()), "true"},
                    BoolCase{"absent_lt_left", cmp<B::Lt>(absent(), lit("1")), "false"},
                    BoolCase{"absent_lt_right", cmp<B::Lt>(lit("1"), absent()), "false"},
                    BoolCase{"absent_le_left", cmp<B::Le>(absent(), lit("1")), "false"},
                    BoolCase{"absent_le_right", cmp<B::Le>(lit("1"), absent()), "false"},
                    BoolCase{"absent_gt_left", cmp<B::Gt>(absent(), lit("1")), "false"},
                    BoolCase{"absent_gt_right", cmp<B::Gt>(lit("1"), absent()), "false"},
                    BoolCase{"absent_ge_left", cmp<B::Ge>(absent(), lit("1")), "false"},
                    BoolCase{"absent_ge_right", cmp<B::Ge>(lit("1"), absent()), "false"},
                    BoolCase{"right_operand_error_with_absent_left", cmp<B::Eq>(absent(), local("q")),
                             "error: Undefined local variable 'q"}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(
    Connectives, EvalBool,
    testing::Values(BoolCase{"and_skips_right", conn<B::And>(B::literal(false), failing()), "false"},
                    BoolCase{"or_skips_right", conn<B::Or>(B::literal(true), failing()), "true"},
                    BoolCase{"and_left_error", conn<B::And>(failing(), B::literal(false)),
                             "error: Undefined local variable 'missing"},
                    BoolCase{"or_left_error", conn<B::Or>(failing(), B::literal(true)),
                             "error: Undefined local variable 'missing"},
                    BoolCase{"and_evaluates_right", conn<B::And>(B::literal(true), failing()),
                             "error: Undefined local variable 'missing"},
                    BoolCase{"or_evaluates_right", conn<B::Or>(B::literal(false), B::literal(true)), "true"},
                    BoolCase{"not", B::negation(B::literal(false)), "true"},
                    BoolCase{"not_of_absent_comparison", B::negation(cmp<B::Eq>(absent(), absent())), "true"}),
    RowName{});

// Aggregations over the series below, with the current time 30 days after
// the start and no last update (so last_update is the start).
struct AggCase {
    const char* name;
    NumExpr tree;
    const char* expected;
};

BoundExpr days_ago(std::int64_t n) { return BoundExpr::DelayedCurrentTime{TimeExpr::Days{n}}; }

class EvalAggregation : public testing::TestWithParam<AggCase> {
protected:
    void SetUp() override {
        std::vector<Instant> t;
        std::vector<double> v;
        for (int d = 0; d < 6; ++d) {
            t.push_back(start + std::chrono::days(d));
            v.push_back(d + 1);
        }
        data.series["daily"] = SingleTimeseries::from_components(t, v, std::nullopt).value();
        data.series["negative"] =
            SingleTimeseries::from_components(std::vector<Instant>{start, start + 1h}, std::vector<double>{-1, -2},
                                              std::nullopt)
                .value();
    }
    CustomFunctions functions;
    FakeData data;
};

TEST_P(EvalAggregation, Table) {
    EvalContext ctx{functions, data};
    LocalVariableRegistry locals;
    EXPECT_EQ(show(tarnel::eval::num_traverse_eval(GetParam().tree, ctx, locals)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EvalAggregation,
    testing::Values(
        AggCase{"window_ends_inclusive", aggregation("sum", series_of("daily"), days_ago(29), days_ago(27)), "9"},
        AggCase{"whole_series", aggregation("sum", series_of("daily"), BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "21"},
        AggCase{"empty_window_mean_absent", aggregation("mean", series_of("daily"), days_ago(3), days_ago(2)), "NaN"},
        AggCase{"vector_function_each_point",
                aggregation("sum", VecExpr::Call1{"abs", tarnel::grammar::Identifier::field(named_field("negative"))},
                            BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "3"},
        AggCase{"vector_function_unknown",
                aggregation("sum", VecExpr::Call1{"nope", tarnel::grammar::Identifier::field(named_field("negative"))},
                            BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "error: Undefined scalar function 'nope' (with 1 arguments)"},
        AggCase{"metric_looked_up_before_series",
                aggregation("nope", series_of("missing"), BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "error: Undefined metric function 'nope'"},
        AggCase{"missing_series",
                aggregation("mean", series_of("missing"), BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "error: Undefined key 'missing'"},
        AggCase{"local_series",
                aggregation("mean", VecExpr::Identifier{tarnel::grammar::Identifier::local("x")},
                            BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "error: Local identifier not supported; Vec is required for aggregation"},
        AggCase{"unbound_series",
                aggregation("mean",
                            VecExpr::Identifier{tarnel::grammar::Identifier::unchecked({"pool.spot", {}, 8})},
                            BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}),
                "error: Identifier 'pool.spot' was not bound before evaluation"},
        AggCase{"window_bound_out_of_range",
                aggregation("mean", series_of("daily"),
                            BoundExpr::DelayedCurrentTime{TimeExpr::Minutes{100'000'000'000'000}},
                            BoundExpr::CurrentTime{}),
                "error: Window bound DelayedCurrentTime(Minutes(100000000000000)) is out of the representable time "
                "range"},
        AggCase{"missing_series_before_window_bound",
                aggregation("mean", series_of("missing"),
                            BoundExpr::DelayedCurrentTime{TimeExpr::Minutes{100'000'000'000'000}},
                            BoundExpr::CurrentTime{}),
                "error: Undefined key 'missing'"},
        AggCase{"daily_metric_missing_series_before_window_bound",
                aggregation("volatility", series_of("missing"), BoundExpr::CurrentTime{},
                            BoundExpr::DelayedCurrentTime{TimeExpr::Minutes{100'000'000'000'000}}),
                "error: Undefined key 'missing'"}),
    RowName{});

TEST(EvalAggregationDaily, ResamplesBeforeWindowing) {
    // Off the daily grid, resampled from the first point: day 1 reads 66.67
    // and day 2 reads 60, a drawdown of -0.1. Windowing first would keep
    // 50 and 80 only, without any drawdown.
    CustomFunctions functions;
    FakeData data;
    data.series["uneven"] = SingleTimeseries::from_components(
                                std::vector<Instant>{start, start + 36h, start + std::chrono::days(3)},
                                std::vector<double>{100, 50, 80}, std::nullopt)
                                .value();
    EvalContext ctx{functions, data};
    LocalVariableRegistry locals;
    auto r = tarnel::eval::num_traverse_eval(
        aggregation("max_drawdown", series_of("uneven"), days_ago(29), BoundExpr::CurrentTime{}), ctx, locals);
    ASSERT_TRUE(r.has_value()) << r.error().message;
    ASSERT_TRUE(r->present());
    EXPECT_NEAR((*r)->to_double(), -0.1, 1e-12);
}

TEST(EvalStatements, OutcomesOfEachStatement) {
    CustomFunctions functions;
    FakeData data;
    EvalContext ctx{functions, data};
    LocalVariableRegistry locals;

    auto assigned = tarnel::eval::statement_traverse_eval(assign("x", absent()), ctx, locals);
    ASSERT_TRUE(assigned.has_value());
    EXPECT_FALSE(assigned->returned);
    ASSERT_NE(locals.get("x"), nullptr);
    EXPECT_TRUE(locals.get("x")->is_absent());

    auto empty_branch = tarnel::eval::statement_traverse_eval(if_else(B::literal(true), {}, {ret(lit("1"))}), ctx, locals);
    ASSERT_TRUE(empty_branch.has_value());
    EXPECT_FALSE(empty_branch->returned);

    auto returned = tarnel::eval::statement_traverse_eval(if_else(B::literal(false), {}, {ret(lit("7"))}), ctx, locals);
    ASSERT_TRUE(returned.has_value());
    EXPECT_TRUE(returned->returned);
    EXPECT_EQ(returned->value.to_string(), "7");
}

TEST(LocalRegistry, ManyLocalsStayAddressable) {
    LocalVariableRegistry r;
    for (int i = 0; i < 100; ++i) r.insert(fmt::format("v{}", i), dec(std::to_string(i)));
    r.insert("v3", dec("33"));
    EXPECT_EQ(r.size(), 100U);
    for (int i = 0; i < 100; ++i) {
        ASSERT_NE(r.get(fmt::format("v{}", i)), nullptr);
        EXPECT_EQ(r.get(fmt::format("v{}", i))->to_string(), i == 3 ? "33" : std::to_string(i));
    }
    EXPECT_EQ(r.get("v100"), nullptr);
}

}  // namespace
