#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sealed_helpers.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"

namespace tarnel::parameters {
namespace {

using testing::define;
using testing::instant;
using testing::resolve;
using Strings = std::vector<std::string>;

Parameters configured() {
    Parameters p(instant("2024-01-01T00:00:00Z"));
    EXPECT_TRUE(p.add_uniswap_v3_protocol("pool", "WETH", "USDC").has_value());
    EXPECT_TRUE(p.add_common(Strings{"WETH", "USDC"}).has_value());
    EXPECT_TRUE(p.add_agents(Strings{"alice"}).has_value());
    EXPECT_TRUE(p.add_agent_variables("alice", Strings{"risk"}).has_value());
    return p;
}

// ---- Data keys of every kind of field.

class StringifyIdentifier : public ::testing::TestWithParam<const char*> {};

TEST_P(StringifyIdentifier, KeyOfTheResolvedField) {
    const Parameters p = configured();
    const SealedParameters sealed = seal(p);
    auto field = resolve(sealed.internal(), GetParam());
    ASSERT_TRUE(field.has_value()) << GetParam();
    auto key = sealed.stringify_identifier(*field);
    ASSERT_TRUE(key.has_value()) << key.error().message;
    EXPECT_EQ(*key, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Table, StringifyIdentifier,
                         ::testing::Values("last_update", "current_time", "common.market_spot:{pair=\"WETH/USDC\"}",
                                           "alice.variables.risk", "alice.all.wallet_holdings:{token=\"USDC\"}",
                                           "alice.all.pnl", "pool.dex_spot", "pool.total_volume:{token=\"USDC\"}"));

TEST(StringifyIdentifier, AddressUsesTheRegisteredSpelling) {
    Parameters p(instant("2024-01-01T00:00:00Z"));
    ASSERT_TRUE(p.add_uniswap_v2_protocol("0xAbCdEf0123456789abcdef0123456789ABCDEF01", "WETH", "USDC").has_value());
    const SealedParameters sealed = seal(p);
    auto field = resolve(sealed.internal(), "0xabcdef0123456789ABCDEF0123456789abcdef01.dex_spot");
    ASSERT_TRUE(field.has_value());
    auto key = sealed.stringify_identifier(*field);
    ASSERT_TRUE(key.has_value()) << key.error().message;
    EXPECT_EQ(*key, "0xAbCdEf0123456789abcdef0123456789ABCDEF01.dex_spot");
}

TEST(StringifyIdentifier, ProtocolMissingFromTheseParametersIsAnError) {
    // Equal signatures, different registries: a field compiled against one
    // can reach the other.
    const Parameters with_pool = configured();
    const SealedParameters without_pool = seal(Parameters(instant("2024-01-01T00:00:00Z")));
    ASSERT_EQ(seal(with_pool).signature(), without_pool.signature());
    for (const char* text : {"pool.dex_spot", "alice.pool.net_position"}) {
        auto field = resolve(with_pool, text);
        ASSERT_TRUE(field.has_value()) << text;
        auto key = without_pool.stringify_identifier(*field);
        ASSERT_FALSE(key.has_value()) << text;
        EXPECT_EQ(key.error().message, "Unknown protocol pool");
    }
}

// ---- Sealing copies: later changes never reach sealed parameters.

TEST(Sealing, LaterChangesDoNotReachTheSealedCopy) {
    Parameters p = configured();
    define(p, "function f(a) { return a }");
    const SealedParameters sealed = seal(p);
    const std::string before = sealed.debug();

    ASSERT_TRUE(p.add_uniswap_v2_protocol("later", "WETH", "USDC").has_value());
    ASSERT_TRUE(p.add_agents(Strings{"bob"}).has_value());
    ASSERT_TRUE(p.add_agent_variables("alice", Strings{"size"}).has_value());
    ASSERT_TRUE(p.add_common(Strings{"DAI"}).has_value());
    define(p, "function g() { return 1 }");
    p.custom_functions().at("f").args.push_back("b");

    EXPECT_EQ(sealed.debug(), before);
    EXPECT_FALSE(sealed.registry().protocol("later").has_value());
    EXPECT_FALSE(sealed.registry().has_agent("bob"));
    EXPECT_FALSE(sealed.custom_functions().contains("g"));
    EXPECT_EQ(sealed.custom_functions().at("f").args, Strings{"a"});
    EXPECT_FALSE(resolve(sealed.internal(), "alice.variables.size").has_value());
    EXPECT_FALSE(resolve(sealed.internal(), "common.market_spot:{pair=\"DAI/USDC\"}").has_value());
    EXPECT_NE(seal(p).signature(), sealed.signature());
}

TEST(Sealing, CopiesShareNoParser) {
    const Parameters p = configured();
    const SealedParameters sealed = seal(p);
    EXPECT_NE(&sealed.registry().base_parser(), &p.registry().base_parser());
    ASSERT_EQ(sealed.registry().entries().size(), p.registry().entries().size());
    for (std::size_t i = 0; i < p.registry().entries().size(); ++i) {
        EXPECT_NE(sealed.registry().entries()[i].second.protocol.get(), p.registry().entries()[i].second.protocol.get());
        EXPECT_NE(sealed.registry().entries()[i].second.agent.get(), p.registry().entries()[i].second.agent.get());
    }
}

TEST(Sealing, KeepsStartDateAndFunctions) {
    Parameters p = configured();
    define(p, "function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }");
    const SealedParameters sealed = seal(p);
    EXPECT_EQ(sealed.start_date(), p.start_date());
    EXPECT_EQ(sealed.custom_functions(), p.custom_functions());
    EXPECT_EQ(sealed.signature(), compute_signature(p.start_date(), p.custom_functions()));
}

// ---- Diagnostic text for the Python repr.

TEST(Debug, UninitialisedHolder) { EXPECT_EQ(debug_holder(std::nullopt), "SealedParameters { None }"); }

TEST(Debug, SealedValueShowsDateFunctionsRegistryAndSignature) {
    Parameters p(instant("2024-01-01T00:00:00.5Z"));
    define(p, "function f(a) { return a }");
    const SealedParameters sealed(p, Signature{0xAB});
    const std::string text = debug_holder(sealed);
    EXPECT_EQ(text.rfind("SealedParameters { Some(SealedParameters { internal: Parameters { start_date: "
                         "2024-01-01T00:00:00.500Z, custom_functions: {\"f\": CustomFunction { name: \"f\", args: "
                         "[\"a\"], statements: [Return(Identifier(Unchecked(RawIdentifier { name: \"a\", options: [], "
                         "position: 23 })))] }}, registry: SimulatorRegistry { ",
                         0),
              0U)
        << text;
    const std::string tail = ", signature: Signature(              AB) }) }";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
}

}  // namespace
}  // namespace tarnel::parameters
