#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/config_field_parser.hpp"
#include "tarnel/fields/data_key.hpp"
#include "tarnel/fields/empty_field_parser.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/parameters/config_parameter_ext.hpp"
#include "tarnel/parameters/parameters.hpp"

namespace tarnel::parameters {
namespace {

using Strings = std::vector<std::string>;

Parameters make() { return Parameters(timeseries::Instant(std::chrono::seconds(1'700'000'000))); }

// Resolves an identifier the way binding dispatches it and returns its data
// key, or "error: " and the chain of messages.
std::string key(const Parameters& p, const std::string& text) {
    auto id = grammar::composed_identifier_with_options(text);
    if (!id) return "bad identifier";
    const auto& reg = p.registry();
    const auto& c = id->components;
    std::optional<fields::SimulationField> sim;
    if (c.size() == 1) {
        auto f = reg.base_parser().parse(c[0], *id);
        if (!f) return "error: " + f.error().chain_text();
        sim = fields::SimulationField(fields::BaseField{*f});
    } else {
        auto lookup = reg.protocol(c[c.size() - 2]);
        if (!lookup) return "error: unknown protocol " + lookup.error();
        if (c.size() == 3 && !reg.has_agent(c[0])) return "error: unknown agent " + std::string(c[0]);
        const fields::FieldParser& parser = c.size() == 2 ? *lookup->entry->protocol : *lookup->entry->agent;
        auto f = parser.parse(c.back(), *id);
        if (!f) return "error: " + f.error().chain_text();
        if (c.size() == 2)
            sim = fields::SimulationField(fields::ProtocolField{*f, *lookup->name});
        else
            sim = fields::SimulationField(fields::AgentProtocolField{*f, *lookup->name, *names::Identifier::parse(c[0])});
    }
    auto k = fields::data_key(reg, *sim);
    return k ? *k : "write error: " + k.error().message;
}

Strings protocol_names(const Parameters& p) {
    Strings out;
    for (const auto& [name, entry] : p.registry().entries()) out.emplace_back(name.text());
    return out;
}

Strings agent_names(const Parameters& p) {
    Strings out;
    for (const auto& a : p.registry().agents()) out.emplace_back(a.text());
    return out;
}

Strings symbols(const fields::TokenWhitelist& w) {
    Strings out;
    for (const auto& s : w.symbols()) out.emplace_back(s.text());
    return out;
}

Strings all_whitelist(const Parameters& p) {
    const auto* parser = p.registry().find_parser<fields::AgentAnyProtocolFieldParser>();
    return parser != nullptr ? symbols(parser->whitelist()) : Strings{"no parser"};
}

Strings common_whitelist(const Parameters& p) {
    const auto* parser = p.registry().find_parser<fields::CommonFieldParser>();
    return parser != nullptr ? symbols(parser->whitelist()) : Strings{"no parser"};
}

// The variables declared for `agent`, or nullopt when it has no entry.
std::optional<Strings> variables(const Parameters& p, const std::string& agent) {
    const auto* parser = p.registry().find_parser<fields::AgentVariableParser>();
    if (parser == nullptr) return Strings{"no parser"};
    const auto& map = parser->variables();
    auto it = map.find(agent);
    if (it == map.end()) return std::nullopt;
    Strings out;
    for (const auto& v : it->second) out.emplace_back(v.text());
    return out;
}

const Strings builtin_names{"all", "variables", "common"};

const char* const uniswap_like = R"(---
name: UniswapV2
components: ["Whitelist<Token>"]
protocol_metrics:
  - symbol: volume
    parameters:
      - {name: token, type: Token, optional_name: true}
)";

const char* const singleton_doc = "name: Fixed\nsingleton: fixed\nprotocol_metrics:\n  - symbol: rate\n";
const char* const reserved_singleton_doc = "name: Greedy\nsingleton: all\n";
const std::string identifier_report = "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n";
const std::string symbol_report = "0: does not match pattern /^[^/]+$/\n";

TEST(Parameters, StartWithTheBuiltinEntries) {
    const auto p = make();
    EXPECT_EQ(protocol_names(p), builtin_names);
    EXPECT_NE(p.registry().base_parser().downcast<fields::GlobalFieldParser>(), nullptr);
    const auto& entries = p.registry().entries();
    EXPECT_NE(entries[0].second.protocol->downcast<fields::EmptyFieldParser>(), nullptr);
    EXPECT_NE(entries[0].second.agent->downcast<fields::AgentAnyProtocolFieldParser>(), nullptr);
    EXPECT_NE(entries[1].second.protocol->downcast<fields::EmptyFieldParser>(), nullptr);
    EXPECT_NE(entries[1].second.agent->downcast<fields::AgentVariableParser>(), nullptr);
    EXPECT_NE(entries[2].second.protocol->downcast<fields::CommonFieldParser>(), nullptr);
    EXPECT_NE(entries[2].second.agent->downcast<fields::EmptyFieldParser>(), nullptr);
    EXPECT_TRUE(all_whitelist(p).empty());
    EXPECT_TRUE(common_whitelist(p).empty());
    EXPECT_TRUE(p.registry().agents().empty());
    EXPECT_TRUE(p.custom_functions().empty());
    EXPECT_EQ(p.start_date(), timeseries::Instant(std::chrono::seconds(1'700'000'000)));
    EXPECT_EQ(key(p, "current_time"), "current_time");
}

// One refusal of the builder: the message, its causes (nullopt: any, at
// least one), and what must hold afterwards.
struct RefusalCase {
    std::string label;
    std::function<void(Parameters&)> setup;
    std::function<util::Status(Parameters&)> act;
    std::string message;
    std::optional<Strings> causes;
    std::function<void(const Parameters&)> after;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.label; }

class Refusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, ReportTheMessageWithExactlyTheStatedEffects) {
    const auto& c = GetParam();
    auto p = make();
    if (c.setup) c.setup(p);
    auto status = c.act(p);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().message, c.message);
    if (c.causes)
        EXPECT_EQ(status.error().causes, *c.causes);
    else
        EXPECT_FALSE(status.error().causes.empty());
    c.after(p);
}

void unchanged_protocols(const Parameters& p) { EXPECT_EQ(protocol_names(p), builtin_names); }

util::Status add_uniswap_like(Parameters& p, const std::string& name, const Strings& values = {R"(["USDC"])"}) {
    return p.add_protocol_from_yaml(uniswap_like, name, values);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refusals,
    testing::Values(
        RefusalCase{"reserved_name", {}, [](Parameters& p) { return add_uniswap_like(p, "common"); },
                    "Cannot add UniswapV2 protocol with reserved word 'common'", Strings{}, unchanged_protocols},
        RefusalCase{"reserved_builtin_name", {},
                    [](Parameters& p) { return p.add_uniswap_v3_protocol("variables", "USDC", "WETH"); },
                    "Cannot add UniswapV3 protocol with reserved word 'variables'", Strings{}, unchanged_protocols},
        RefusalCase{"reserved_curve_name", {},
                    [](Parameters& p) {
                        return ConfigParameterExt::add_curve_crypto_protocol(p, "all", Strings{"USDC", "DAI"});
                    },
                    "Cannot add CurveCrypto protocol with reserved word 'all'", Strings{}, unchanged_protocols},
        // The singleton is checked, not the name the caller gave.
        RefusalCase{"reserved_singleton", {},
                    [](Parameters& p) { return p.add_protocol_from_yaml(reserved_singleton_doc, "fine", {}); },
                    "Cannot add Greedy protocol with reserved word 'all'", Strings{}, unchanged_protocols},
        // The reserved words are exact: Common is an ordinary name.
        RefusalCase{"not_reserved_by_case", [](Parameters& p) { ASSERT_TRUE(add_uniswap_like(p, "Common")); },
                    [](Parameters& p) { return add_uniswap_like(p, "Common"); }, "Protocol already exists Common",
                    Strings{},
                    [](const Parameters& p) {
                        EXPECT_EQ(protocol_names(p), (Strings{"all", "variables", "common", "Common"}));
                    }},
        RefusalCase{"duplicate_name", [](Parameters& p) { ASSERT_TRUE(p.add_uniswap_v2_protocol("uni", "A", "B")); },
                    [](Parameters& p) { return p.add_uniswap_v3_protocol("uni", "C", "D"); },
                    "Protocol already exists uni", Strings{},
                    [](const Parameters& p) {
                        // The first registration stays.
                        EXPECT_EQ(key(p, R"(uni.total_volume:{"A"})"), R"(uni.total_volume:{token="A"})");
                        EXPECT_EQ(key(p, "uni.current_tick"), "error: Invalid field current_tick");
                    }},
        RefusalCase{"singleton_twice", [](Parameters& p) { ASSERT_TRUE(p.add_protocol_from_yaml(singleton_doc, "a", {})); },
                    [](Parameters& p) { return p.add_protocol_from_yaml(singleton_doc, "b", {}); },
                    "Protocol already exists fixed", Strings{},
                    [](const Parameters& p) {
                        EXPECT_EQ(protocol_names(p), (Strings{"all", "variables", "common", "fixed"}));
                        EXPECT_EQ(key(p, "fixed.rate"), "fixed.rate");
                    }},
        RefusalCase{"aave_twice", [](Parameters& p) { ASSERT_TRUE(p.add_aave_v3_protocol(Strings{"USDC"})); },
                    [](Parameters& p) { return p.add_aave_v3_protocol(Strings{"DAI"}); },
                    "Protocol already exists aave_v3", Strings{},
                    [](const Parameters& p) {
                        EXPECT_EQ(key(p, R"(aave_v3.total_cash:{"USDC"})"), R"(aave_v3.total_cash:{token="USDC"})");
                    }},
        RefusalCase{"compound_twice", [](Parameters& p) { ASSERT_TRUE(p.add_compound_v2_protocol(Strings{})); },
                    [](Parameters& p) { return p.add_compound_v2_protocol(Strings{"USDC"}); },
                    "Protocol already exists compound_v2", Strings{}, [](const Parameters&) {}},
        RefusalCase{"name_not_identifier", {}, [](Parameters& p) { return add_uniswap_like(p, "1pool"); },
                    identifier_report, Strings{}, unchanged_protocols},
        RefusalCase{"name_short_address", {}, [](Parameters& p) { return add_uniswap_like(p, "0x12"); },
                    "The address 0x12 should be a valid crypto address (^0x[0-9a-fA-F]{40}$)", Strings{},
                    unchanged_protocols},
        RefusalCase{"component_yaml_unreadable", {},
                    [](Parameters& p) { return add_uniswap_like(p, "pool", {R"(["USDC"])", "[unclosed"}); },
                    "Failed to parse metric name config parameter at index 1 for protocol pool", std::nullopt,
                    unchanged_protocols},
        RefusalCase{"component_json_unreadable", {},
                    [](Parameters& p) {
                        return p.add_protocol_from_json(R"({"name":"P"})", "pool", Strings{"[1,", "[]"});
                    },
                    "Failed to parse metric name config parameter at index 0 for protocol pool", std::nullopt,
                    unchanged_protocols},
        // Component values are read before the document.
        RefusalCase{"component_before_document", {},
                    [](Parameters& p) { return p.add_protocol_from_yaml("name: [", "pool", Strings{"{"}); },
                    "Failed to parse metric name config parameter at index 0 for protocol pool", std::nullopt,
                    unchanged_protocols},
        RefusalCase{"document_missing_name", {},
                    [](Parameters& p) { return p.add_protocol_from_yaml("agent_metrics: []\n", "pool", {}); },
                    "Failed to parse metric name config for protocol pool", Strings{"missing field `name`"},
                    unchanged_protocols},
        RefusalCase{"document_json_unreadable", {},
                    [](Parameters& p) { return p.add_protocol_from_json("{\"name\":", "pool", {}); },
                    "Failed to parse metric name config for protocol pool", std::nullopt, unchanged_protocols},
        RefusalCase{"document_repeated_symbol", {},
                    [](Parameters& p) {
                        return p.add_protocol_from_yaml("name: P\nagent_metrics: [{symbol: a}, {symbol: a}]\n", "pool",
                                                        {});
                    },
                    "Failed to parse metric name config for protocol pool",
                    Strings{"Encounter metric symbol `a` multiple times, should be unique"}, unchanged_protocols},
        RefusalCase{"component_not_token_array", {},
                    [](Parameters& p) { return add_uniswap_like(p, "pool", {R"(["USDC", "A/B"])"}); },
                    "Expected Token array", Strings{symbol_report}, unchanged_protocols},
        RefusalCase{"uniswap_bad_token", {}, [](Parameters& p) { return p.add_uniswap_v2_protocol("uni", "USDC", ""); },
                    "Expected Token array", Strings{symbol_report}, unchanged_protocols},
        RefusalCase{"curve_bad_token", {},
                    [](Parameters& p) {
                        return ConfigParameterExt::add_curve_stable_protocol(p, "pool", Strings{"USDC", "X/Y"});
                    },
                    "Expected Token array", Strings{symbol_report}, unchanged_protocols},
        RefusalCase{"agents_stop_at_invalid", {}, [](Parameters& p) { return p.add_agents(Strings{"a", "1b", "c"}); },
                    identifier_report, Strings{},
                    [](const Parameters& p) { EXPECT_EQ(agent_names(p), Strings{"a"}); }},
        RefusalCase{"agent_again", [](Parameters& p) { ASSERT_TRUE(p.add_agents(Strings{"a"})); },
                    [](Parameters& p) { return p.add_agents(Strings{"b", "a", "c"}); }, "Agent already exists a",
                    Strings{}, [](const Parameters& p) { EXPECT_EQ(agent_names(p), (Strings{"a", "b"})); }},
        RefusalCase{"agent_repeated_in_call", {}, [](Parameters& p) { return p.add_agents(Strings{"a", "b", "a"}); },
                    "Agent already exists a", Strings{},
                    [](const Parameters& p) { EXPECT_EQ(agent_names(p), (Strings{"a", "b"})); }},
        RefusalCase{"variables_bad_agent", {},
                    [](Parameters& p) { return p.add_agent_variables("1bot", Strings{"x"}); }, "Invalid agent name",
                    Strings{identifier_report},
                    [](const Parameters& p) { EXPECT_FALSE(variables(p, "1bot")); }},
        RefusalCase{"variables_bad_name", {},
                    [](Parameters& p) { return p.add_agent_variables("bot", Strings{"x", "a-b", "c d"}); },
                    "Variable a-b is not a valid identifier", Strings{identifier_report},
                    [](const Parameters& p) { EXPECT_FALSE(variables(p, "bot")); }},
        RefusalCase{"variables_already_registered",
                    [](Parameters& p) { ASSERT_TRUE(p.add_agent_variables("bot", Strings{"x", "x"})); },
                    [](Parameters& p) { return p.add_agent_variables("bot", Strings{"y", "x"}); },
                    "Agent variable 'x' for agent 'bot' is already registered", Strings{},
                    [](const Parameters& p) { EXPECT_EQ(variables(p, "bot"), Strings{"x"}); }},
        RefusalCase{"common_invalid_symbol", [](Parameters& p) { ASSERT_TRUE(p.add_common(Strings{"ETH"})); },
                    [](Parameters& p) { return p.add_common(Strings{"USDC", "WETH/USDC"}); }, symbol_report, Strings{},
                    [](const Parameters& p) {
                        EXPECT_EQ(all_whitelist(p), Strings{"ETH"});
                        EXPECT_EQ(common_whitelist(p), Strings{"ETH"});
                    }}),
    [](const auto& test_info) { return test_info.param.label; });

struct KeyCase {
    std::string text;
    std::string expected;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.text; }

Parameters uniswap_pair() {
    auto p = make();
    EXPECT_TRUE(p.add_uniswap_v3_protocol("uni", "USDC", "WETH"));
    EXPECT_TRUE(p.add_uniswap_v2_protocol("v2", "USDC", "WETH"));
    EXPECT_TRUE(ConfigParameterExt::add_curve_stable_protocol(p, "stable", Strings{"USDC", "DAI", "USDT"}));
    EXPECT_TRUE(ConfigParameterExt::add_curve_crypto_protocol(p, "tri", Strings{"USDC", "WETH", "WBTC", "WETH"}));
    EXPECT_TRUE(p.add_agents(Strings{"alice"}));
    return p;
}

class CatalogueKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(CatalogueKeys, ResolveToTheirDataKeys) {
    static const Parameters p = uniswap_pair();
    EXPECT_EQ(key(p, GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CatalogueKeys,
    testing::Values(
        KeyCase{"uni.dex_spot", "uni.dex_spot"},
        KeyCase{R"(uni.total_volume:{"USDC"})", R"(uni.total_volume:{token="USDC"})"},
        KeyCase{R"(uni.total_volume:{"DAI"})", "error: Symbol DAI is not allowed here"},
        KeyCase{R"(alice.uni.token_amount:{token="USDC", position="p1"})",
                R"(alice.uni.token_amount:{token="USDC",position="p1"})"},
        KeyCase{R"(alice.uni.token_amount:{position="p1", "WETH"})",
                R"(alice.uni.token_amount:{token="WETH",position="p1"})"},
        KeyCase{"alice.uni.net_position", "alice.uni.net_position"},
        KeyCase{R"(alice.uni.lower_bound_price:{position="p"})", R"(alice.uni.lower_bound_price:{position="p"})"},
        KeyCase{"alice.uni.lower_bound_price", "error: Missing named positional parameter position(0)"},
        // liquidity and total_fees exist on both sides and mean different things
        KeyCase{"uni.liquidity", "uni.liquidity"},
        KeyCase{"alice.uni.liquidity", "alice.uni.liquidity"},
        KeyCase{"uni.total_fees", "uni.total_fees"},
        KeyCase{R"(uni.total_fees:{"WETH"})", R"(uni.total_fees:{token="WETH"})"},
        KeyCase{R"(alice.uni.total_fees:{position="p2"})", R"(alice.uni.total_fees:{position="p2"})"},
        KeyCase{R"(alice.uni.total_fees:{"WETH"})", "error: Unknown positional parameter 0: WETH"},
        KeyCase{R"(v2.total_fees:{"WETH"})", R"(v2.total_fees:{token="WETH"})"},
        KeyCase{R"(alice.v2.total_fees:{"USDC"})", R"(alice.v2.total_fees:{token="USDC"})"},
        KeyCase{"alice.v2.liquidity", "alice.v2.liquidity"},
        KeyCase{"v2.current_tick", "error: Invalid field current_tick"},
        KeyCase{R"(stable.balances:{token="DAI"})", R"(stable.balances:{token="DAI"})"},
        KeyCase{R"(stable.pool_fees:{token="USDT"})", R"(stable.pool_fees:{token="USDT"})"},
        // balances and pool_fees take the token by name only
        KeyCase{R"(stable.balances:{"DAI", token="DAI"})", "error: Unknown positional parameter 0: DAI"},
        KeyCase{R"(stable.pool_fees:{"DAI", token="DAI"})", "error: Unknown positional parameter 0: DAI"},
        KeyCase{R"(stable.balances:{"DAI"})", "error: Missing named positional parameter token(0)"},
        KeyCase{R"(alice.stable.balances:{"DAI", token="DAI"})", "error: Unknown positional parameter 0: DAI"},
        KeyCase{R"(stable.dex_spot_buy:{"USDC/DAI"})", R"(stable.dex_spot_buy:{pair="USDC/DAI"})"},
        KeyCase{R"(stable.dex_spot_buy:{"USDC/WETH"})", "error: Symbol WETH is not allowed here"},
        KeyCase{R"(tri.price_oracle:{"WBTC/WETH"})", R"(tri.price_oracle:{pair="WBTC/WETH"})"},
        KeyCase{R"(tri.balances:{"WBTC", token="WBTC"})", "error: Unknown positional parameter 0: WBTC"},
        KeyCase{"stable.price_scale", "error: Invalid field price_scale"},
        KeyCase{"alice.tri.crv_fees_collected", "alice.tri.crv_fees_collected"}));

TEST(Parameters, CatalogueWhitelistsKeepTheFirstOfRepeatedTokens) {
    auto p = make();
    ASSERT_TRUE(ConfigParameterExt::add_curve_crypto_protocol(p, "tri", Strings{"WETH", "USDC", "WETH"}));
    ASSERT_TRUE(p.add_uniswap_v2_protocol("same", "WETH", "WETH"));
    for (const char* name : {"tri", "same"}) {
        const auto* entry = p.registry().entry_mut(name);
        ASSERT_NE(entry, nullptr);
        const auto* parser = entry->protocol->downcast<fields::ConfigFieldParser>();
        ASSERT_NE(parser, nullptr);
        ASSERT_NE(parser->whitelist(), nullptr);
        EXPECT_EQ(symbols(*parser->whitelist()), (std::string(name) == "tri" ? Strings{"WETH", "USDC"} : Strings{"WETH"}));
    }
}

TEST(Parameters, AddsCommonTokensToBothWhitelistsOnce) {
    auto p = make();
    ASSERT_TRUE(p.add_common(Strings{"ETH", "ETH", "USDC"}));
    ASSERT_TRUE(p.add_common(Strings{"USDC", "DAI"}));
    EXPECT_EQ(all_whitelist(p), (Strings{"ETH", "USDC", "DAI"}));
    EXPECT_EQ(common_whitelist(p), (Strings{"ETH", "USDC", "DAI"}));
    ASSERT_TRUE(p.add_agents(Strings{"bob"}));
    EXPECT_EQ(key(p, R"(common.market_spot:{"ETH/USDC"})"), R"(common.market_spot:{pair="ETH/USDC"})");
    EXPECT_EQ(key(p, R"(bob.all.wallet_holdings:{"DAI"})"), R"(bob.all.wallet_holdings:{token="DAI"})");
}

TEST(Parameters, DeclaresVariablesForAnyValidAgent) {
    auto p = make();
    ASSERT_TRUE(p.add_agent_variables("ghost", Strings{"risk", "risk", "edge"}));
    EXPECT_EQ(variables(p, "ghost"), (Strings{"edge", "risk"}));
    EXPECT_TRUE(p.registry().agents().empty());
    ASSERT_TRUE(p.add_agent_variables("ghost", Strings{"more"}));
    ASSERT_TRUE(p.add_agent_variables("ghost", Strings{}));
    EXPECT_EQ(variables(p, "ghost"), (Strings{"edge", "more", "risk"}));
    ASSERT_TRUE(p.add_agents(Strings{"ghost"}));
    EXPECT_EQ(key(p, "ghost.variables.risk"), "ghost.variables.risk");
}

TEST(Parameters, ConfigurationDocumentsFromEitherText) {
    auto p = make();
    // One component, two values: the second is ignored, even unreadable as tokens.
    ASSERT_TRUE(add_uniswap_like(p, "yaml_pool", {"[USDC, WETH]", "42"}));
    ASSERT_TRUE(p.add_protocol_from_json(
        R"({"name":"P","components":["Whitelist<Token>"],"agent_metrics":[{"symbol":"held","parameters":[{"name":"token","type":"Token","optional_name":true}]}]})",
        "json_pool", Strings{R"(["DAI"])"}));
    // No value for the component: tokens are taken as bare symbols.
    ASSERT_TRUE(add_uniswap_like(p, "open_pool", {}));
    ASSERT_TRUE(p.add_agents(Strings{"a"}));
    EXPECT_EQ(key(p, R"(yaml_pool.volume:{"WETH"})"), R"(yaml_pool.volume:{token="WETH"})");
    EXPECT_EQ(key(p, R"(a.json_pool.held:{"DAI"})"), R"(a.json_pool.held:{token="DAI"})");
    EXPECT_EQ(key(p, R"(a.json_pool.held:{"USDC"})"), "error: Symbol USDC is not allowed here");
    EXPECT_EQ(key(p, R"(open_pool.volume:{"ANY"})"), R"(open_pool.volume:{token="ANY"})");
    EXPECT_EQ(key(p, "json_pool.held"), "error: Invalid field held");
}

TEST(Parameters, RegistersAddressesWithTheirSpelling) {
    auto p = make();
    const std::string lower = "0xabcdef0123456789abcdef0123456789abcdef01";
    const std::string upper = "0xABCDEF0123456789ABCDEF0123456789ABCDEF01";
    ASSERT_TRUE(add_uniswap_like(p, lower));
    auto again = add_uniswap_like(p, upper);
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().message, "Protocol already exists " + upper);
    EXPECT_EQ(key(p, upper + R"(.volume:{"USDC"})"), lower + R"(.volume:{token="USDC"})");
}

TEST(Parameters, CopiesAreIndependent) {
    auto p = make();
    ASSERT_TRUE(p.add_common(Strings{"ETH"}));
    ASSERT_TRUE(p.add_agent_variables("bot", Strings{"x"}));
    const Parameters sealed_copy = p;
    ASSERT_TRUE(p.add_uniswap_v3_protocol("late", "USDC", "WETH"));
    ASSERT_TRUE(p.add_common(Strings{"USDC"}));
    ASSERT_TRUE(p.add_agent_variables("bot", Strings{"y"}));
    ASSERT_TRUE(p.add_agents(Strings{"bot"}));
    EXPECT_EQ(protocol_names(sealed_copy), builtin_names);
    EXPECT_EQ(all_whitelist(sealed_copy), Strings{"ETH"});
    EXPECT_EQ(common_whitelist(sealed_copy), Strings{"ETH"});
    EXPECT_EQ(variables(sealed_copy, "bot"), Strings{"x"});
    EXPECT_TRUE(sealed_copy.registry().agents().empty());
    Parameters assigned = make();
    assigned = p;
    EXPECT_EQ(protocol_names(assigned), (Strings{"all", "variables", "common", "late"}));
    EXPECT_EQ(key(assigned, "late.dex_spot"), "late.dex_spot");
}

}  // namespace
}  // namespace tarnel::parameters
