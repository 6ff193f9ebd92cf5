#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "tarnel/fields/catalogue.hpp"

namespace tarnel::fields {
namespace {

struct CatalogueCase {
    CatalogueProtocol protocol;
    std::string key;
    std::string name;
    std::optional<std::string> singleton;
    std::size_t protocol_metrics;
    std::size_t agent_metrics;
};

class CatalogueDocuments : public testing::TestWithParam<CatalogueCase> {};

TEST_P(CatalogueDocuments, ReadWithTheirNamesAndMetricCounts) {
    const auto& c = GetParam();
    EXPECT_EQ(catalogue_key(c.protocol), c.key);
    EXPECT_TRUE(catalogue_text(c.protocol).starts_with("---\n"));
    auto config = read_catalogue_config(c.protocol);
    ASSERT_TRUE(config) << config.error().chain_text();
    EXPECT_EQ(config->name(), c.name);
    if (c.singleton) {
        ASSERT_TRUE(config->singleton());
        EXPECT_EQ(config->singleton()->text(), *c.singleton);
    } else {
        EXPECT_FALSE(config->singleton());
    }
    EXPECT_EQ(config->components(), std::vector{ConfigFieldComponentType::TokenWhitelist});
    EXPECT_EQ(config->protocol_metrics().size(), c.protocol_metrics);
    EXPECT_EQ(config->agent_metrics().size(), c.agent_metrics);
}

// Only the three Curve crypto price entries go without a description.
TEST_P(CatalogueDocuments, EveryEntryButThreeCarriesADescription) {
    const auto& c = GetParam();
    auto config = read_catalogue_config(c.protocol);
    ASSERT_TRUE(config);
    std::set<std::string> undocumented;
    for (const auto* list : {&config->protocol_metrics(), &config->agent_metrics()})
        for (const auto& m : *list) {
            EXPECT_TRUE(m.name) << m.symbol.text();
            if (!m.doc) undocumented.emplace(m.symbol.text());
        }
    if (c.protocol == CatalogueProtocol::CurveCrypto)
        EXPECT_EQ(undocumented, (std::set<std::string>{"price_scale", "price_oracle", "last_prices"}));
    else
        EXPECT_TRUE(undocumented.empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, CatalogueDocuments,
    testing::Values(CatalogueCase{CatalogueProtocol::AaveV3, "aave_v3", "AAVEV3", "aave_v3", 12, 12},
                    CatalogueCase{CatalogueProtocol::CompoundV2, "compound_v2", "CompoundV2", "compound_v2", 12, 12},
                    CatalogueCase{CatalogueProtocol::UniswapV2, "uniswap_v2", "UniswapV2", std::nullopt, 7, 10},
                    CatalogueCase{CatalogueProtocol::UniswapV3, "uniswap_v3", "UniswapV3", std::nullopt, 8, 15},
                    CatalogueCase{CatalogueProtocol::CurveCrypto, "curve_crypto", "CurveCrypto", std::nullopt, 14, 9},
                    CatalogueCase{CatalogueProtocol::CurveStable, "curve_stable", "CurveStable", std::nullopt, 11, 9}),
    [](const auto& test_info) { return test_info.param.key; });

struct ParameterCase {
    CatalogueProtocol protocol;
    bool agent_side;
    std::string symbol;
    // name:type, with a trailing * when it may be given positionally
    std::vector<std::string> parameters;
};

std::vector<std::string> describe_parameters(const ProtocolParserFieldConfig& m) {
    std::vector<std::string> out;
    for (const auto& p : m.parameters)
        out.push_back(std::string(p.name.text()) + ":" + std::string(document_name(p.type)) +
                      (p.optional_name ? "*" : ""));
    return out;
}

class CatalogueParameters : public testing::TestWithParam<ParameterCase> {};

TEST_P(CatalogueParameters, MatchTheTables) {
    const auto& c = GetParam();
    auto config = read_catalogue_config(c.protocol);
    ASSERT_TRUE(config);
    const auto& list = c.agent_side ? config->agent_metrics() : config->protocol_metrics();
    const ProtocolParserFieldConfig* found = nullptr;
    for (const auto& m : list)
        if (m.symbol.text() == c.symbol) found = &m;
    ASSERT_NE(found, nullptr) << c.symbol;
    EXPECT_EQ(describe_parameters(*found), c.parameters);
}

using P = CatalogueProtocol;
INSTANTIATE_TEST_SUITE_P(
    Samples, CatalogueParameters,
    testing::Values(ParameterCase{P::AaveV3, false, "variable_borrow_rate_apr", {"token:Token*"}},
                    ParameterCase{P::AaveV3, true, "health_factor", {}},
                    ParameterCase{P::CompoundV2, true, "current_debt", {"token:Token*"}},
                    ParameterCase{P::UniswapV2, false, "total_fees", {"token:Option<Token>*"}},
                    ParameterCase{P::UniswapV2, true, "token_amount", {"token:Token*"}},
                    ParameterCase{P::UniswapV3, true, "token_amount", {"token:Token*", "position:Option<String>"}},
                    ParameterCase{P::UniswapV3, true, "fees_collected",
                                  {"token:Option<Token>*", "position:Option<String>"}},
                    ParameterCase{P::UniswapV3, true, "upper_bound_price", {"position:String"}},
                    ParameterCase{P::CurveCrypto, false, "price_oracle", {"pair:TokenPair*"}},
                    ParameterCase{P::CurveCrypto, false, "balances", {"token:Token"}},
                    ParameterCase{P::CurveStable, false, "pool_fees", {"token:Token"}},
                    ParameterCase{P::CurveStable, true, "balances", {"token:Token"}},
                    ParameterCase{P::CurveStable, false, "total_fees", {"token:Option<Token>*"}}));

}  // namespace
}  // namespace tarnel::fields
