#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "field_test_support.hpp"
#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/data_key.hpp"
#include "tarnel/fields/empty_field_parser.hpp"
#include "tarnel/fields/global_field.hpp"

using namespace tarnel;
using fields_test::composed;
using fields_test::resolve;

namespace {

void add_tokens(fields::SimulatorRegistry& r, std::vector<std::string> tokens) {
    std::span<const std::string> list(tokens);
    ASSERT_TRUE(fields_test::parser_of<fields::CommonFieldParser>(r).whitelist().register_all_str(list));
    ASSERT_TRUE(fields_test::parser_of<fields::AgentAnyProtocolFieldParser>(r).whitelist().register_all_str(list));
}

// Agents alice (variable risk) and bob (no variables); tokens USDC, WETH.
fields::SimulatorRegistry populated() {
    auto r = fields::SimulatorRegistry::with_builtin_entries();
    EXPECT_TRUE(r.register_agent("alice"));
    EXPECT_TRUE(r.register_agent("bob"));
    add_tokens(r, {"USDC", "WETH"});
    auto& variables = fields_test::parser_of<fields::AgentVariableParser>(r).variables();
    variables[*names::Identifier::parse("alice")].insert(*names::Identifier::parse("risk"));
    return r;
}

std::string key_or_error(const fields::SimulatorRegistry& r, std::string_view text) {
    auto f = resolve(r, text);
    if (!f) return f.error().chain_text();
    auto key = fields::data_key(r, *f);
    return key ? *key : "key: " + key.error().message;
}

struct ParseCase {
    std::string label;
    const char* text;
    std::string expected;  // data key, or the error with its causes
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.text; }

class BuiltinParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(BuiltinParse, KeyOrError) { EXPECT_EQ(key_or_error(populated(), GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Global, BuiltinParse,
    ::testing::Values(ParseCase{"current_time", "current_time", "current_time"},
                      ParseCase{"last_update", "last_update", "last_update"},
                      ParseCase{"named_option", "current_time:{x=1}", "Unknown named parameter x: 1"},
                      ParseCase{"positional_option", "last_update:{\"1\"}", "Unknown positional parameter 0: 1"},
                      ParseCase{"named_reported_first", "current_time:{\"1\", x=\"2\"}", "Unknown named parameter x: 2"},
                      ParseCase{"case_sensitive", "Current_time", "Unknown field Current_time"},
                      ParseCase{"unknown", "now", "Unknown field now"}),
    [](const ::testing::TestParamInfo<ParseCase>& p) { return p.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Common, BuiltinParse,
    ::testing::Values(
        ParseCase{"positional", "common.market_spot:{\"WETH/USDC\"}", "common.market_spot:{pair=\"WETH/USDC\"}"},
        ParseCase{"named", "common.market_spot:{pair=\"USDC/WETH\"}", "common.market_spot:{pair=\"USDC/WETH\"}"},
        ParseCase{"duplicate", "common.market_spot:{\"WETH/USDC\", pair=\"USDC/WETH\"}",
                  "Duplicate parameter pair: USDC/WETH and WETH/USDC at position 0"},
        ParseCase{"same_token", "common.market_spot:{\"WETH/WETH\"}",
                  "Error in option pair:: Tokens in token pair WETH/WETH cannot be the same"},
        ParseCase{"not_listed", "common.market_spot:{\"WETH/DAI\"}", "Error in option pair:: Symbol DAI is not allowed here"},
        ParseCase{"no_slash", "common.market_spot:{\"WETH\"}", "Error in option pair:: \"WETH\" is not a valid token pair"},
        ParseCase{"missing", "common.market_spot", "Missing named positional parameter pair(0)"},
        ParseCase{"extra_named", "common.market_spot:{\"WETH/USDC\", x=\"1\"}", "Unknown named parameter x: 1"},
        ParseCase{"extra_positional", "common.market_spot:{\"WETH/USDC\", \"x\"}", "Unknown positional parameter 1: x"},
        ParseCase{"unknown", "common.price", "Unknown field price"},
        ParseCase{"agent_side_is_empty", "alice.common.market_spot", "Unknown field market_spot"}),
    [](const ::testing::TestParamInfo<ParseCase>& p) { return p.param.label; });

INSTANTIATE_TEST_SUITE_P(
    AgentWide, BuiltinParse,
    ::testing::Values(
        ParseCase{"pnl", "alice.all.pnl", "alice.all.pnl"},
        ParseCase{"net_position", "alice.all.net_position", "alice.all.net_position"},
        ParseCase{"total_holding", "bob.all.total_holding", "bob.all.total_holding"},
        ParseCase{"total_fees", "alice.all.total_fees", "alice.all.total_fees"},
        ParseCase{"wallet_positional", "alice.all.wallet_holdings:{\"USDC\"}", "alice.all.wallet_holdings:{token=\"USDC\"}"},
        ParseCase{"wallet_named", "alice.all.wallet_holdings:{token=WETH}", "alice.all.wallet_holdings:{token=\"WETH\"}"},
        ParseCase{"wallet_not_listed", "alice.all.wallet_holdings:{token=\"usdc\"}",
                  "Error in option token:: Symbol usdc is not allowed here"},
        ParseCase{"wallet_invalid_symbol", "alice.all.wallet_holdings:{\"A/B\"}",
                  "Error in option token:: 0: does not match pattern /^[^/]+$/\n"},
        ParseCase{"wallet_missing", "alice.all.wallet_holdings", "Missing named positional parameter token(0)"},
        ParseCase{"wallet_duplicate", "alice.all.wallet_holdings:{\"USDC\", token=\"WETH\"}",
                  "Duplicate parameter token: WETH and USDC at position 0"},
        ParseCase{"unit_with_option", "alice.all.pnl:{x=\"1\"}", "Unknown named parameter x: 1"},
        ParseCase{"unknown", "alice.all.volume", "Unknown field volume"},
        ParseCase{"protocol_side_is_empty", "all.pnl", "Unknown field pnl"}),
    [](const ::testing::TestParamInfo<ParseCase>& p) { return p.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Variables, BuiltinParse,
    ::testing::Values(ParseCase{"declared", "alice.variables.risk", "alice.variables.risk"},
                      ParseCase{"undeclared", "alice.variables.other", "Agent alice doesn't possess variable other"},
                      ParseCase{"agent_without_variables", "bob.variables.risk", "Agent bob doesn't possess variable risk"},
                      ParseCase{"option_first", "bob.variables.risk:{\"1\"}", "Unknown positional parameter 0: 1"},
                      ParseCase{"named_option_first", "alice.variables.risk:{b=1, a=2}", "Unknown named parameter a: 2"},
                      ParseCase{"protocol_side_is_empty", "variables.risk", "Unknown field risk"}),
    [](const ::testing::TestParamInfo<ParseCase>& p) { return p.param.label; });

TEST(AgentVariableParser, OnlyThreePartIdentifiers) {
    fields::AgentVariableParser p;
    const std::string shape = "Agent variable parser only supports three-part identifiers: <agent>.variables.<name>";
    for (const char* text : {"alice.risk", "alice.vars.risk", "risk", "a.b.variables.risk"}) {
        const auto id = composed(text);
        auto r = p.parse(id.components.back(), id);
        ASSERT_FALSE(r) << text;
        EXPECT_EQ(r.error().message, shape) << text;
    }
}

TEST(CommonFieldParser, PositionalAndNamedPairGiveEqualFields) {
    const auto r = populated();
    auto a = resolve(r, "common.market_spot:{\"WETH/USDC\"}");
    auto b = resolve(r, "common.market_spot:{pair=\"WETH/USDC\"}");
    auto c = resolve(r, "common.market_spot:{pair=\"USDC/WETH\"}");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(*a, *b);
    EXPECT_EQ(std::hash<fields::SimulationField>{}(*a), std::hash<fields::SimulationField>{}(*b));
    EXPECT_NE(*a, *c);
}

TEST(EmptyWhitelists, RefuseEveryToken) {
    auto r = fields::SimulatorRegistry::with_builtin_entries();
    ASSERT_TRUE(r.register_agent("alice"));
    EXPECT_EQ(key_or_error(r, "common.market_spot:{\"WETH/USDC\"}"),
              "Error in option pair:: Symbol WETH is not allowed here");
    EXPECT_EQ(key_or_error(r, "alice.all.wallet_holdings:{\"USDC\"}"),
              "Error in option token:: Symbol USDC is not allowed here");
}

TEST(Whitelists, FieldMadeEarlierKeepsItsKey) {
    auto r = populated();
    auto f = resolve(r, "common.market_spot:{\"WETH/USDC\"}");
    ASSERT_TRUE(f);
    add_tokens(r, {"DAI", "BTC", "USDC"});
    EXPECT_EQ(*fields::data_key(r, *f), "common.market_spot:{pair=\"WETH/USDC\"}");
}

TEST(ParseErrors, OuterMessageAloneWithoutCauses) {
    auto f = resolve(populated(), "common.market_spot:{\"WETH/DAI\"}");
    ASSERT_FALSE(f);
    EXPECT_EQ(f.error().message, "Error in option pair:");
    EXPECT_EQ(f.error().causes, std::vector<std::string>{"Symbol DAI is not allowed here"});
}

// ---- a field handed to a parser of another kind ----------------------------------

struct SwitchCase {
    std::string label;
    std::shared_ptr<const fields::FieldParser> parser;
    std::shared_ptr<const fields::Field> field;
    std::string message;
};
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.label; }

class SwitchedParser : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchedParser, IsAnErrorNotAnAbort) {
    auto r = GetParam().parser->stringify(*GetParam().field);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().message, GetParam().message);
}

const std::string switched = "Parser was switched during runtime";
auto current_time() { return std::make_shared<fields::GlobalField>(fields::GlobalField::Kind::CurrentTime); }
auto pnl() { return std::make_shared<fields::AgentAnyProtocolField>(fields::AgentAnyProtocolField::Pnl{}); }

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchedParser,
    ::testing::Values(
        SwitchCase{"global", std::make_shared<fields::GlobalFieldParser>(), pnl(), switched},
        SwitchCase{"common", std::make_shared<fields::CommonFieldParser>(), current_time(), switched},
        SwitchCase{"agent_wide", std::make_shared<fields::AgentAnyProtocolFieldParser>(), current_time(), switched},
        SwitchCase{"variables", std::make_shared<fields::AgentVariableParser>(), pnl(),
                   "Parser has been changed during runtime"},
        SwitchCase{"empty", std::make_shared<fields::EmptyFieldParser>(), pnl(), switched}),
    [](const ::testing::TestParamInfo<SwitchCase>& p) { return p.param.label; });

TEST(SwitchedParser, TokenIndexOutsideTheWhitelist) {
    fields::CommonFieldParser empty;
    fields::CommonField spot(fields::CommonField::MarketSpot{{fields::WhitelistIndex{0}, fields::WhitelistIndex{1}}});
    EXPECT_FALSE(empty.stringify(spot));
    fields::AgentAnyProtocolFieldParser wallet;
    EXPECT_FALSE(wallet.stringify(fields::AgentAnyProtocolField(fields::AgentAnyProtocolField::WalletHoldings{{4}})));
}

}  // namespace
