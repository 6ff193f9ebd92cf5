#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "program_helpers.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/grammar/syntax_tree.hpp"

namespace {

using namespace program_test;
using namespace std::chrono_literals;
using tarnel::decimal::DecimalValue;
using tarnel::parameters::SealedParameters;
using tarnel::timeseries::SingleTimeseries;

tarnel::parameters::Parameters parameters_with_functions() {
    auto p = sample_parameters();
    define(p, "function one() { return 1 }");
    define(p, "function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }");
    define(p, "function second(a, a) { return a }");
    define(p, "function branchy(a) { if a > 0 { y = 1 } else { }; return y }");
    define(p, "function half(a) { if a > 0 { return 1 } else { } }");
    define(p, "function position() { return bot.pool.net_position }");
    define(p, "function liquidity_mean() { return mean of pool.liquidity between t=t-hours(3) and t }");
    define(p, "function via_position() { return position() * 2 }");
    return p;
}

SingleTimeseries hourly(std::vector<double> values, Instant first) {
    std::vector<Instant> t;
    for (std::size_t i = 0; i < values.size(); ++i) t.push_back(first + std::chrono::hours(static_cast<long>(i)));
    return SingleTimeseries::from_components(std::move(t), std::move(values), std::nullopt).value();
}

// The current time is 12 hours after the start; no last update.
class Programs : public testing::Test {
protected:
    void SetUp() override {
        data.set("pool.dex_spot", DecimalValue::from_int_scaled(15, 1));
        data.set("bot.all.pnl", DecimalValue::from_int_scaled(-2, 0));
        data.set("bot.pool.net_position", hourly({1, 2, 4}, start));
        data.set("pool.liquidity", hourly({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130}, start));
    }
    SealedParameters sealed = tarnel::parameters::seal(parameters_with_functions());
    tarnel::eval::MemoryDataDict data{sealed, start + 12h};

    std::string eval_expression(const std::string& text) {
        auto program = tarnel::binding::compile_expression(text, sealed);
        if (!program) return "compile error: " + program.error().message;
        return show(tarnel::eval::evaluate(*program, sealed.custom_functions(), data));
    }
    std::string eval_condition(const std::string& text) {
        auto program = tarnel::binding::compile_condition(text, sealed);
        if (!program) return "compile error: " + program.error().message;
        return show(tarnel::eval::evaluate(*program, sealed.custom_functions(), data));
    }
};

struct EvalCase {
    const char* name;
    const char* text;
    const char* expected;
};

class EvaluateExpression : public Programs, public testing::WithParamInterface<EvalCase> {};

TEST_P(EvaluateExpression, Table) { EXPECT_EQ(eval_expression(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, EvaluateExpression,
    testing::Values(
        EvalCase{"custom_without_parameters", "one()", "1"},
        EvalCase{"spread_either_way", "spread(1, 3) + spread(3, 1)", "4"},
        EvalCase{"repeated_parameter_takes_second", "second(1, 2)", "2"},
        EvalCase{"local_defined_on_taken_branch", "branchy(1)", "1"},
        EvalCase{"local_undefined_on_other_branch", "branchy(-1)", "error: Undefined local variable 'y"},
        EvalCase{"no_return_on_path", "half(-1)", "error: No return on path"},
        EvalCase{"scalar_field", "pool.dex_spot * 2", "3.0"},
        EvalCase{"series_reads_as_last_value", "bot.pool.net_position", "4"},
        EvalCase{"body_reads_program_data", "via_position()", "8"},
        EvalCase{"current_time_in_years", "current_time", "0.00136986301369863"},
        EvalCase{"last_update_without_one_is_zero", "last_update", "0"},
        EvalCase{"aggregation_in_body", "liquidity_mean()", "115"},
        EvalCase{"window_from_start", "sum of bot.pool.net_position between last_update and t", "7"},
        EvalCase{"exact_start_bound", "sum of bot.pool.net_position between t=0 and t=0", "1"},
        EvalCase{"missing_key", "bot.all.total_fees + 1", "error: Undefined key 'bot.all.total_fees'"},
        EvalCase{"division_by_zero_is_absent", "pool.dex_spot / 0", "NaN"}),
    RowName{});

class EvaluateCondition : public Programs, public testing::WithParamInterface<EvalCase> {};

TEST_P(EvaluateCondition, Table) { EXPECT_EQ(eval_condition(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, EvaluateCondition,
    testing::Values(EvalCase{"both_fields", "pool.dex_spot > 1 and bot.all.pnl < 0", "true"},
                    EvalCase{"short_circuit_skips_missing_key", "false and bot.all.total_fees > 0", "false"},
                    EvalCase{"missing_key_when_reached", "true and bot.all.total_fees > 0",
                             "error: Undefined key 'bot.all.total_fees'"},
                    EvalCase{"absent_compares_false", "pool.dex_spot / 0 = pool.dex_spot / 0", "false"},
                    EvalCase{"time_fields", "last_update < current_time", "true"}),
    RowName{});

TEST_F(Programs, MissingKeyIsMissingData) {
    auto program = tarnel::binding::compile_expression("bot.all.total_fees", sealed).value();
    auto r = tarnel::eval::evaluate(program, sealed.custom_functions(), data);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().kind, tarnel::util::ErrorKind::MissingData);
}

TEST_F(Programs, CompiledProgramRecordsSignature) {
    auto program = tarnel::binding::compile_expression("one()", sealed).value();
    EXPECT_EQ(program.parameter_signature, sealed.signature().value);
    EXPECT_TRUE(tarnel::binding::check_signature(program.parameter_signature, sealed).has_value());
    auto other = tarnel::parameters::seal(sample_parameters());
    auto mismatch = tarnel::binding::check_signature(program.parameter_signature, other);
    ASSERT_FALSE(mismatch.has_value());
    EXPECT_EQ(mismatch.error().message, "Invalid parameter signature; parameters could be corrupted");
}

struct ExpectedCase {
    const char* name;
    const char* text;
    std::map<std::string, bool> data;
    std::vector<std::string> ranges;
};

class ExpectedData : public Programs, public testing::WithParamInterface<ExpectedCase> {};

TEST_P(ExpectedData, Table) {
    auto program = tarnel::binding::compile_expression(GetParam().text, sealed);
    ASSERT_TRUE(program.has_value()) << program.error().message;
    auto data_needed = tarnel::binding::expected_data(*program, sealed);
    ASSERT_TRUE(data_needed.has_value()) << data_needed.error().message;
    EXPECT_EQ(*data_needed, GetParam().data);
    EXPECT_EQ(tarnel::binding::expected_time_range(*program, sealed), GetParam().ranges);
}

const std::string last_day = "Window { begin: DelayedCurrentTime(Days(1)), end: CurrentTime }";
const std::string since_update = "Window { begin: LastUpdate, end: CurrentTime }";

INSTANTIATE_TEST_SUITE_P(
    Table, ExpectedData,
    testing::Values(
        ExpectedCase{"global_times_need_nothing", "last_update + current_time + 1", {}, {}},
        ExpectedCase{"scalar_only", "pool.dex_spot * 2", {{"pool.dex_spot", false}}, {}},
        ExpectedCase{"read_and_aggregated_is_series",
                     "pool.dex_spot + mean of pool.dex_spot between t=t-days(1) and t", {{"pool.dex_spot", true}},
                     {last_day}},
        ExpectedCase{"equal_windows_of_two_fields",
                     "mean of pool.dex_spot between last_update and t + "
                     "max of common.market_spot:{\"WETH/USDC\"} between last_update and t",
                     {{"pool.dex_spot", true}, {"common.market_spot:{pair=\"WETH/USDC\"}", true}},
                     {since_update, since_update}},
        ExpectedCase{"exact_bound_text", "mean of pool.dex_spot between t=2 and t", {{"pool.dex_spot", true}},
                     {"Window { begin: ExactTime(Normal(2)), end: CurrentTime }"}},
        ExpectedCase{"through_custom_function", "position() + 1", {{"bot.pool.net_position", false}}, {}},
        ExpectedCase{"through_nested_custom_functions", "via_position()", {{"bot.pool.net_position", false}}, {}},
        ExpectedCase{"aggregation_in_custom_function", "liquidity_mean()", {{"pool.liquidity", true}},
                     {"Window { begin: DelayedCurrentTime(Hours(3)), end: CurrentTime }"}},
        ExpectedCase{"builtin_adds_only_arguments", "sqrt(bot.all.pnl)", {{"bot.all.pnl", false}}, {}},
        ExpectedCase{"same_function_twice", "position() + position()", {{"bot.pool.net_position", false}}, {}}),
    RowName{});

TEST_F(Programs, ConditionExpectsBothSides) {
    auto program = tarnel::binding::compile_condition("pool.dex_spot > 1 and bot.all.pnl < 0", sealed).value();
    auto keys = tarnel::binding::expected_data(program, sealed);
    ASSERT_TRUE(keys.has_value());
    EXPECT_EQ(*keys, (std::map<std::string, bool>{{"pool.dex_spot", false}, {"bot.all.pnl", false}}));
    EXPECT_TRUE(tarnel::binding::expected_time_range(program, sealed).empty());
}

TEST_F(Programs, FieldOverTwoWindowsReportsTheFirstAndLogsOnce) {
    auto program = tarnel::binding::compile_expression(
                       "mean of pool.dex_spot between t=t-days(1) and t + mean of pool.dex_spot between t=t-days(2) "
                       "and t + mean of pool.dex_spot between t=t-days(1) and t",
                       sealed)
                       .value();
    testing::internal::CaptureStdout();
    auto ranges = tarnel::binding::expected_time_range(program, sealed);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ranges, std::vector<std::string>{last_day});
    const std::string line = "Naive implementation of CollectSimulatorFields::into_vec may need update";
    const auto first = out.find(line);
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find(line, first + 1), std::string::npos) << out;
}

// Parameters with the same signature as the compiling ones but without the
// protocol: the key cannot be written.
TEST_F(Programs, KeyOfUnregisteredProtocolIsAnError) {
    auto program = tarnel::binding::compile_expression("pool.dex_spot", sealed).value();
    tarnel::parameters::Parameters bare(start);
    SealedParameters other(bare, sealed.signature());
    auto keys = tarnel::binding::expected_data(program, other);
    ASSERT_FALSE(keys.has_value());
    EXPECT_EQ(keys.error().message, "Unknown protocol pool");
    tarnel::eval::MemoryDataDict other_data(other, start);
    auto r = tarnel::eval::evaluate(program, other.custom_functions(), other_data);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message, "Unknown protocol pool");
}

// A field paired with a parser of another kind, as a crafted document can pair
// them: every consumer reports it instead of stopping.
struct SwitchedCase {
    const char* name;
    const char* agent;  // empty: a protocol field
    const char* protocol;
    const char* expected;
};

class SwitchedParser : public Programs, public testing::WithParamInterface<SwitchedCase> {};

TEST_P(SwitchedParser, IsAnErrorForEveryConsumer) {
    const auto& c = GetParam();
    auto global = tarnel::fields::DynField(
        std::make_shared<tarnel::fields::GlobalField>(tarnel::fields::GlobalField::Kind::CurrentTime));
    auto protocol = tarnel::names::IdentifierOrAddr(tarnel::names::Identifier::parse(c.protocol).value());
    auto crafted = std::string(c.agent).empty()
                       ? tarnel::fields::SimulationField(tarnel::fields::ProtocolField{global, protocol})
                       : tarnel::fields::SimulationField(tarnel::fields::AgentProtocolField{
                             global, protocol, tarnel::names::Identifier::parse(c.agent).value()});
    tarnel::grammar::Expression program{
        tarnel::grammar::NumExpr::identifier(tarnel::grammar::Identifier::field(crafted)), sealed.signature().value};
    auto keys = tarnel::binding::expected_data(program, sealed);
    ASSERT_FALSE(keys.has_value());
    EXPECT_EQ(keys.error().message, c.expected);
    auto r = tarnel::eval::evaluate(program, sealed.custom_functions(), data);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SwitchedParser,
    testing::Values(SwitchedCase{"common_side", "", "common", "Parser was switched during runtime"},
                    SwitchedCase{"empty_side", "", "all", "Parser was switched during runtime"},
                    SwitchedCase{"agent_wide_side", "bot", "all", "Parser was switched during runtime"},
                    SwitchedCase{"variables_side", "bot", "variables", "Parser has been changed during runtime"},
                    SwitchedCase{"configured_side", "", "pool", "Parser swapped during runtime: expected ConfigField"}),
    RowName{});

TEST_F(Programs, BoundTreeIsNotRenderable) {
    auto program = tarnel::binding::compile_expression("pool.dex_spot + 1", sealed).value();
    auto rendered = tarnel::grammar::syntax_tree_string(program.tree);
    ASSERT_FALSE(rendered.has_value());
    EXPECT_EQ(rendered.error().message, "Should be visited before semantic transformation");
}

// Each function calls the previous one twice: walked call by call the body
// of g0 would be met 2^40 times.
TEST(CollectFields, FunctionsCallingEachOtherOftenAreWalkedOnceEach) {
    auto p = sample_parameters();
    define(p, "function g0(a) { return a + pool.dex_spot }");
    for (int i = 1; i <= 40; ++i)
        define(p, fmt::format("function g{}(a) {{ return g{}(a) + g{}(a) }}", i, i - 1, i - 1));
    auto sealed = tarnel::parameters::seal(p);
    auto program = tarnel::binding::compile_expression("g40(1) + bot.all.pnl", sealed).value();
    auto keys = tarnel::binding::expected_data(program, sealed);
    ASSERT_TRUE(keys.has_value());
    EXPECT_EQ(*keys, (std::map<std::string, bool>{{"pool.dex_spot", false}, {"bot.all.pnl", false}}));
}

// Persisted parameters are not re-validated, so their functions may call one
// another in a cycle: collection ends, evaluation fails cleanly.
TEST(CyclicFunctions, CollectionEndsAndEvaluationFails) {
    auto p = sample_parameters();
    define(p, "function ping(a) { return a + pool.dex_spot }");
    define(p, "function pong(a) { return ping(a) + bot.all.pnl }");
    // Point ping back at pong, which binding alone never allows.
    auto& ping = p.custom_functions().at("ping");
    auto& ret = std::get<tarnel::grammar::Statement::Return>(ping.statements.at(0).variant());
    auto* sum = ret.value.get_if<tarnel::grammar::NumExpr::Add>();
    ASSERT_NE(sum, nullptr);
    *sum->left = tarnel::grammar::NumExpr::call(
        "pong", {tarnel::grammar::NumExpr::identifier(tarnel::grammar::Identifier::local("a"))});
    auto sealed = tarnel::parameters::seal(p);

    auto program = tarnel::binding::compile_expression("ping(1)", sealed);
    ASSERT_TRUE(program.has_value()) << program.error().message;
    auto keys = tarnel::binding::expected_data(*program, sealed);
    ASSERT_TRUE(keys.has_value());
    EXPECT_EQ(*keys, (std::map<std::string, bool>{{"pool.dex_spot", false}, {"bot.all.pnl", false}}));

    tarnel::eval::MemoryDataDict data(sealed, start);
    data.set("pool.dex_spot", DecimalValue::from_i64(1));
    data.set("bot.all.pnl", DecimalValue::from_i64(1));
    EXPECT_EQ(show(tarnel::eval::evaluate(*program, sealed.custom_functions(), data)),
              "error: Custom function calls nested deeper than 64 levels");
}

}  // namespace
