#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "field_test_support.hpp"
#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/data_key.hpp"
#include "tarnel/fields/empty_field_parser.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/fields/tagged.hpp"
#include "tarnel/persist/codecs.hpp"

using namespace tarnel;
using fields::SimulationField;
using fields_test::resolve;

namespace {

// Agent alice with variable risk; tokens USDC, WETH.
fields::SimulatorRegistry populated() {
    auto r = fields::SimulatorRegistry::with_builtin_entries();
    EXPECT_TRUE(r.register_agent("alice"));
    std::vector<std::string> tokens{"USDC", "WETH"};
    std::span<const std::string> list(tokens);
    EXPECT_TRUE(fields_test::parser_of<fields::CommonFieldParser>(r).whitelist().register_all_str(list));
    EXPECT_TRUE(fields_test::parser_of<fields::AgentAnyProtocolFieldParser>(r).whitelist().register_all_str(list));
    fields_test::parser_of<fields::AgentVariableParser>(r).variables()[*names::Identifier::parse("alice")].insert(
        *names::Identifier::parse("risk"));
    return r;
}

std::uint64_t hash_of(const SimulationField& f) { return std::hash<SimulationField>{}(f); }

enum class Codec { Json, MessagePack };

util::Result<persist::Value> through(Codec codec, const persist::Value& v) {
    if (codec == Codec::Json) {
        auto text = persist::to_json(v);
        if (!text) return util::fail(text.error());
        return persist::from_json(*text);
    }
    auto bytes = persist::to_msgpack(v);
    if (!bytes) return util::fail(bytes.error());
    return persist::from_msgpack(*bytes);
}

// ---- round trip of every kind ------------------------------------------------------

struct KindCase {
    const char* text;
    std::string key;
    std::string persisted_json;
};
void PrintTo(const KindCase& c, std::ostream* os) { *os << c.text; }

class SimulationFieldKinds : public ::testing::TestWithParam<std::tuple<KindCase, Codec>> {};

TEST_P(SimulationFieldKinds, KeyPersistedFormAndRoundTrip) {
    const auto& [c, codec] = GetParam();
    const auto r = populated();
    auto f = resolve(r, c.text);
    ASSERT_TRUE(f) << f.error().chain_text();
    EXPECT_EQ(*fields::data_key(r, *f), c.key);
    EXPECT_EQ(*persist::to_json(f->to_persisted()), c.persisted_json);

    auto node = through(codec, f->to_persisted());
    ASSERT_TRUE(node) << node.error().message;
    auto back = SimulationField::from_persisted(*node);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, *f);
    EXPECT_EQ(hash_of(*back), hash_of(*f));
    EXPECT_EQ(*fields::data_key(r, *back), c.key);
    EXPECT_EQ(back->debug(), f->debug());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimulationFieldKinds,
    ::testing::Combine(
        ::testing::Values(
            KindCase{"current_time", "current_time", R"({"BaseField":{"field":{"GlobalField":"CurrentTime"}}})"},
            KindCase{"last_update", "last_update", R"({"BaseField":{"field":{"GlobalField":"LastUpdate"}}})"},
            KindCase{"common.market_spot:{\"WETH/USDC\"}", "common.market_spot:{pair=\"WETH/USDC\"}",
                     R"({"ProtocolField":{"field":{"CommonField":{"MarketSpot":{"pair":{"base":[1,null],"quote":[0,null]}}}},"protocol":"common"}})"},
            KindCase{"alice.variables.risk", "alice.variables.risk",
                     R"({"AgentProtocolField":{"field":{"AgentVariable":"risk"},"protocol":"variables","agent":"alice"}})"},
            KindCase{"alice.all.wallet_holdings:{\"USDC\"}", "alice.all.wallet_holdings:{token=\"USDC\"}",
                     R"({"AgentProtocolField":{"field":{"AgentAnyProtocolField":{"WalletHoldings":{"token":[0,null]}}},"protocol":"all","agent":"alice"}})"},
            KindCase{"alice.all.pnl", "alice.all.pnl",
                     R"({"AgentProtocolField":{"field":{"AgentAnyProtocolField":"Pnl"},"protocol":"all","agent":"alice"}})"},
            KindCase{"alice.all.net_position", "alice.all.net_position",
                     R"({"AgentProtocolField":{"field":{"AgentAnyProtocolField":"NetPosition"},"protocol":"all","agent":"alice"}})"},
            KindCase{"alice.all.total_holding", "alice.all.total_holding",
                     R"({"AgentProtocolField":{"field":{"AgentAnyProtocolField":"TotalHolding"},"protocol":"all","agent":"alice"}})"},
            KindCase{"alice.all.total_fees", "alice.all.total_fees",
                     R"({"AgentProtocolField":{"field":{"AgentAnyProtocolField":"TotalFees"},"protocol":"all","agent":"alice"}})"}),
        ::testing::Values(Codec::Json, Codec::MessagePack)));

TEST(SimulationFieldEquality, KindAndFieldsDecide) {
    const auto r = populated();
    auto pnl = resolve(r, "alice.all.pnl");
    auto fees = resolve(r, "alice.all.total_fees");
    auto now = resolve(r, "current_time");
    ASSERT_TRUE(pnl && fees && now);
    EXPECT_NE(*pnl, *fees);
    EXPECT_NE(hash_of(*pnl), hash_of(*fees));
    // Same field value under another kind.
    SimulationField as_protocol(fields::ProtocolField{pnl->field(), *names::IdentifierOrAddr::parse("all")});
    EXPECT_NE(as_protocol, *pnl);
    EXPECT_NE(hash_of(as_protocol), hash_of(*pnl));
    EXPECT_EQ(*now, SimulationField(fields::BaseField{now->field().deep_copy()}));
}

TEST(SimulationFieldDebug, NamesEveryPart) {
    const auto r = populated();
    EXPECT_EQ(resolve(r, "current_time")->debug(), "BaseField { field: DynField(CurrentTime) }");
    EXPECT_EQ(resolve(r, "common.market_spot:{\"WETH/USDC\"}")->debug(),
              "ProtocolField { field: DynField(MarketSpot { pair: TokenIdPair { base: WhitelistIndex(1), quote: "
              "WhitelistIndex(0) } }), protocol: Identifier(Identifier(SharedString(\"common\"))) }");
    EXPECT_EQ(resolve(r, "alice.variables.risk")->debug(),
              "AgentProtocolField { field: DynField(AgentVariable(Identifier(SharedString(\"risk\")))), protocol: "
              "Identifier(Identifier(SharedString(\"variables\"))), agent: Identifier(SharedString(\"alice\")) }");
}

// ---- tagged parsers ---------------------------------------------------------------------

class TaggedParsers : public ::testing::TestWithParam<Codec> {};

TEST_P(TaggedParsers, EveryBuiltInKindReadsBackEqual) {
    auto r = populated();
    std::vector<const fields::FieldParser*> parsers{&r.base_parser()};
    for (const auto& [name, e] : r.entries()) {
        parsers.push_back(e.protocol.get());
        parsers.push_back(e.agent.get());
    }
    for (const auto* p : parsers) {
        const auto written = fields::write_tagged(*p);
        auto node = through(GetParam(), written);
        ASSERT_TRUE(node);
        auto back = fields::read_tagged_parser(*node);
        ASSERT_TRUE(back) << p->tag_name() << ": " << back.error().message;
        EXPECT_EQ((*back)->tag_name(), p->tag_name());
        EXPECT_EQ(fields::write_tagged(**back), written);
        EXPECT_EQ((*back)->debug(), p->debug());
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, TaggedParsers, ::testing::Values(Codec::Json, Codec::MessagePack));

TEST(TaggedForm, OneEntryMapFromTheTag) {
    EXPECT_EQ(*persist::to_json(fields::write_tagged(fields::EmptyFieldParser{})), R"({"EmptyFieldParser":null})");
    EXPECT_EQ(*persist::to_json(fields::write_tagged(fields::GlobalFieldParser{})), R"({"GlobalFieldParser":{}})");
    auto variables = populated().find_parser<fields::AgentVariableParser>()->clone();
    EXPECT_EQ(*persist::to_json(fields::write_tagged(*variables)),
              R"({"AgentVariableParser":{"variables":{"alice":["risk"]}}})");
}

TEST(TaggedForm, FieldReadBackEqualAndHashesAlike) {
    const fields::DynField f(std::make_shared<fields::CommonField>(
        fields::CommonField::MarketSpot{{fields::WhitelistIndex{2}, fields::WhitelistIndex{5}}}));
    auto back = fields::read_tagged_field(fields::write_tagged(f));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, f);
    util::SipHasher13 a, b;
    f.hash_feed(a);
    back->hash_feed(b);
    EXPECT_EQ(a.finish(), b.finish());
}

// ---- reader errors ---------------------------------------------------------------------

struct ReadCase {
    std::string label;
    persist::Value value;
    std::string error;  // "ok" when it reads
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

persist::Value global_now() { return persist::Map{{"GlobalField", "CurrentTime"}}; }

class SimulationFieldRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SimulationFieldRead, Outcome) {
    auto r = SimulationField::from_persisted(GetParam().value);
    EXPECT_EQ(r ? std::string("ok") : r.error().message, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationFieldRead,
    ::testing::Values(
        ReadCase{"sequence_form", persist::Map{{"ProtocolField", persist::Array{global_now(), "pool"}}}, "ok"},
        ReadCase{"extra_key_skipped",
                 persist::Map{{"BaseField", persist::Map{{"field", global_now()}, {"note", 1}}}}, "ok"},
        ReadCase{"variant_by_index", persist::Map{{0, persist::Map{{"field", global_now()}}}}, "ok"},
        ReadCase{"missing_field", persist::Map{{"ProtocolField", persist::Map{{"field", global_now()}}}},
                 "missing field `protocol`"},
        ReadCase{"repeated_key",
                 persist::Map{{"BaseField", persist::Map{{"field", global_now()}, {"field", global_now()}}}},
                 "duplicate field `field`"},
        ReadCase{"array_too_short", persist::Map{{"AgentProtocolField", persist::Array{global_now(), "pool"}}},
                 "invalid length 2, expected struct variant SimulationField::AgentProtocolField with 3 elements"},
        ReadCase{"variant_index_out_of_range", persist::Map{{5, persist::Map{{"field", global_now()}}}},
                 "invalid value: integer `5`, expected variant index 0 <= i < 3"},
        ReadCase{"unknown_variant", persist::Map{{"LocalField", persist::Map{}}},
                 "unknown variant `LocalField`, expected one of `BaseField`, `ProtocolField`, `AgentProtocolField`"},
        ReadCase{"unknown_field_tag", persist::Map{{"BaseField", persist::Map{{"field", persist::Map{{"TestField", 1}}}}}},
                 "unknown variant `TestField`, expected one of `AgentVariable`, `AgentAnyProtocolField`, `ConfigField`, "
                 "`CommonField`, `GlobalField`"},
        ReadCase{"global_field_index_out_of_range",
                 persist::Map{{"BaseField", persist::Map{{"field", persist::Map{{"GlobalField", 2}}}}}},
                 "invalid value: integer `2`, expected variant index 0 <= i < 2"},
        ReadCase{"bad_agent_name",
                 persist::Map{{"AgentProtocolField", persist::Array{global_now(), "pool", "9lives"}}},
                 "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n"},
        ReadCase{"field_not_tagged", persist::Map{{"BaseField", persist::Map{{"field", "CurrentTime"}}}},
                 "invalid type: string \"CurrentTime\", expected a map with a single key"},
        ReadCase{"wallet_without_token", persist::Map{{"BaseField", persist::Map{{"field", persist::Map{
                     {"AgentAnyProtocolField", "WalletHoldings"}}}}}},
                 "invalid type: unit variant, expected struct variant"},
        ReadCase{"unit_variant_with_payload", persist::Map{{"BaseField", persist::Map{{"field", persist::Map{
                     {"AgentAnyProtocolField", persist::Map{{"Pnl", 1}}}}}}}},
                 "invalid type: integer `1`, expected unit"}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return p.param.label; });

TEST(SimulationFieldRead, JsonErrorsCarryThePosition) {
    auto v = persist::from_json(R"({"ProtocolField":{"field":{"GlobalField":"Soon"},"protocol":"pool"}})");
    ASSERT_TRUE(v);
    auto r = SimulationField::from_persisted(*v);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().message, "unknown variant `Soon`, expected `CurrentTime` or `LastUpdate` at line 1 column 47");
}

}  // namespace
