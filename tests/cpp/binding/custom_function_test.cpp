#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parameter_helpers.hpp"
#include "tarnel/grammar/statement.hpp"

namespace {

using namespace program_test;
using tarnel::parameters::add_custom_function;

struct DefinitionCase {
    const char* name;
    const char* text;
    const char* expected;  // "ok" or the error message
};

class DefineFunction : public testing::TestWithParam<DefinitionCase> {
protected:
    void SetUp() override { define(parameters, "function g(a) { return a * 2 }"); }
    tarnel::parameters::Parameters parameters = sample_parameters();
};

TEST_P(DefineFunction, Table) {
    const auto before = parameters.custom_functions();
    auto s = add_custom_function(parameters, GetParam().text);
    if (std::string(GetParam().expected) == "ok") {
        ASSERT_TRUE(s.has_value()) << s.error().message;
        EXPECT_EQ(parameters.custom_functions().size(), before.size() + 1);
        return;
    }
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(s.error().message, GetParam().expected);
    EXPECT_EQ(parameters.custom_functions(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DefineFunction,
    testing::Values(
        DefinitionCase{"no_parameters", "function f() { return 1 }", "ok"},
        DefinitionCase{"spread", "function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }",
                       "ok"},
        DefinitionCase{"calls_earlier_function", "function h(a) { return g(a) + 1 }", "ok"},
        DefinitionCase{"aggregates_protocol_series",
                       "function m() { return mean of pool.dex_spot between t=t-days(1) and t }", "ok"},
        DefinitionCase{"local_only_in_one_branch", "function b(a) { if a > 0 { y = 1 } else { }; return y }", "ok"},
        DefinitionCase{"reserved_protocol_name_is_fine", "function common() { return 1 }", "ok"},
        DefinitionCase{"repeated_parameter", "function twice(a, a) { return a }", "ok"},
        DefinitionCase{"parse_error", "function f( { return 1 }", "error at 1:13: expected identifier"},
        DefinitionCase{"text_after_definition", "function f() { return 1 } x", "error at 1:27: expected EOF"},
        DefinitionCase{"already_registered", "function g(a) { return a }", "Function 'g' already registered"},
        DefinitionCase{"faulty_body_before_repeated_name", "function g(a) { return pol.x }",
                       "Unknown protocol pol in 'pol.x' starting at position 23"},
        DefinitionCase{"cannot_call_itself", "function r(a) { return r(a) }", "Undefined function r (with 1 arguments)"},
        DefinitionCase{"wrong_arity_of_earlier_function", "function r(a) { return g(a, a) }",
                       "Undefined function g (with 2 arguments)"},
        DefinitionCase{"aggregating_a_parameter_needs_dots", "function r(a) { return mean of a between t and t }",
                       "error at 1:32: expected composed identifier"}),
    RowName{});

TEST(DefineFunctionOrder, LaterFunctionsAndProtocolsAreNotVisible) {
    auto p = sample_parameters();
    auto s = add_custom_function(p, "function f(a) { return g(a) }");
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(s.error().message, "Undefined function g (with 1 arguments)");

    s = add_custom_function(p, "function v() { return later.dex_spot }");
    ASSERT_FALSE(s.has_value());
    EXPECT_EQ(s.error().message, "Unknown protocol later in 'later.dex_spot' starting at position 22");
    ASSERT_TRUE(p.add_uniswap_v3_protocol("later", "WETH", "USDC").has_value());
    EXPECT_TRUE(add_custom_function(p, "function v() { return later.dex_spot }").has_value());
}

TEST(DefineFunctionBody, IsStoredBound) {
    auto p = sample_parameters();
    define(p, "function f(a) { y = a; return y * bot.all.pnl }");
    const auto& f = p.custom_functions().at("f");
    EXPECT_EQ(f.name, "f");
    EXPECT_EQ(f.args, std::vector<std::string>{"a"});
    const std::string text = tarnel::grammar::debug_statements(f.statements);
    EXPECT_EQ(text.find("Unchecked"), std::string::npos) << text;
    EXPECT_NE(text.find("Local(\"a\")"), std::string::npos) << text;
    EXPECT_NE(text.find("AgentProtocolField"), std::string::npos) << text;
}

}  // namespace
