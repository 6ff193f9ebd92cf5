#pragma once
// A small parameter set for the binding tests: agent bot (with variable x),
// protocol pool from the UniswapV3 document over WETH and USDC, and the
// common tokens WETH and USDC.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tarnel/binding/check_and_promote.hpp"
#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/catalogue.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/config_protocol.hpp"
#include "tarnel/fields/data_key.hpp"
#include "tarnel/fields/registry.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/parameters/custom_function.hpp"

namespace binding_test {

inline tarnel::fields::SimulatorRegistry sample_registry() {
    using namespace tarnel::fields;
    auto r = SimulatorRegistry::with_builtin_entries();
    auto config = read_catalogue_config(CatalogueProtocol::UniswapV3).value();
    const std::vector<tarnel::persist::Value> values{tarnel::persist::Array{"WETH", "USDC"}};
    auto parsers = build_config_parsers(config, values).value();
    EXPECT_TRUE(r.register_protocol("pool", std::move(parsers.protocol), std::move(parsers.agent)).has_value());
    EXPECT_TRUE(r.register_agent("bot").has_value());
    const std::vector<std::string> tokens{"WETH", "USDC"};
    auto* common = r.find_parser<CommonFieldParser>();
    auto* all = r.find_parser<AgentAnyProtocolFieldParser>();
    auto* variables = r.find_parser<AgentVariableParser>();
    if (common == nullptr || all == nullptr || variables == nullptr) {
        ADD_FAILURE() << "built-in parsers missing";
        return r;
    }
    EXPECT_TRUE(common->whitelist().register_all_str(tokens).has_value());
    EXPECT_TRUE(all->whitelist().register_all_str(tokens).has_value());
    auto bot = tarnel::names::Identifier::parse("bot").value();
    variables->variables()[bot].insert(tarnel::names::Identifier::parse("x").value());
    return r;
}

// Parses and binds a function body the way definitions do, then stores it.
inline void define(tarnel::parameters::CustomFunctions& functions, const tarnel::fields::SimulatorRegistry& registry,
                   std::string_view text) {
    auto def = tarnel::grammar::parse_function(text);
    ASSERT_TRUE(def.has_value()) << def.error().message;
    auto bound = tarnel::binding::bind_statements(def->statements, def->args, {functions, registry});
    ASSERT_TRUE(bound.has_value()) << bound.error().message;
    functions.insert_or_assign(def->name, tarnel::parameters::CustomFunction{def->name, def->args, def->statements});
}

struct RowName {
    template <class P>
    std::string operator()(const testing::TestParamInfo<P>& row) const {
        return row.param.name;
    }
};

}  // namespace binding_test
