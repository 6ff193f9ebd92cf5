#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnel/fields/config_protocol.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/fields/tagged.hpp"
#include "tarnel/persist/codecs.hpp"

namespace tarnel::fields {
namespace {

const char* const document = R"(---
name: Test
components:
  - "Whitelist<Token>"
protocol_metrics:
  - symbol: spot
  - symbol: volume
    parameters:
      - {name: token, type: Token, optional_name: true}
  - symbol: quote
    parameters:
      - {name: pair, type: TokenPair, optional_name: true}
  - symbol: amount
    parameters:
      - {name: position, type: "Option<String>"}
      - {name: token, type: Token, optional_name: true}
  - symbol: fees
    parameters:
      - {name: token, type: "Option<Token>", optional_name: true}
      - {name: position, type: "Option<String>"}
  - symbol: owner
    parameters:
      - {name: who, type: Identifier}
      - {name: venue, type: "Option<IdentifierOrAddress>"}
      - {name: wallet, type: "Option<Address>"}
      - {name: label, type: "Option<Identifier>"}
agent_metrics:
  - symbol: balance
    parameters:
      - {name: token, type: Token}
)";

ProtocolParserConfig test_config() {
    auto config = protocol_parser_config_from_yaml(document);
    EXPECT_TRUE(config) << config.error().message;
    return std::move(*config);
}

std::vector<persist::Value> tokens(std::initializer_list<const char*> symbols) {
    persist::Array array;
    for (const char* s : symbols) array.emplace_back(s);
    return {persist::Value(std::move(array))};
}

ConfiguredProtocolParsers parsers_with(const std::vector<persist::Value>& values) {
    auto built = build_config_parsers(test_config(), values);
    EXPECT_TRUE(built) << built.error().chain_text();
    return std::move(*built);
}

// The key text on success, "error: " and the chain text on failure.
std::string resolve(const FieldParser& parser, const std::string& text) {
    auto id = grammar::composed_identifier_with_options(text);
    if (!id) return "bad identifier: " + id.error().message;
    auto field = parser.parse(id->components.back(), *id);
    if (!field) return "error: " + field.error().chain_text();
    auto key = parser.stringify(field->get());
    if (!key) return "write error: " + key.error().message;
    return *key;
}

struct ParseCase {
    std::string text;
    std::string expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.text; }

class WithWhitelist : public testing::TestWithParam<ParseCase> {};

TEST_P(WithWhitelist, ResolvesAndWritesProtocolMetrics) {
    const auto parsers = parsers_with(tokens({"USDC", "WETH"}));
    EXPECT_EQ(resolve(*parsers.protocol, GetParam().text), GetParam().expected);
}

const std::string identifier_report = "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n";

INSTANTIATE_TEST_SUITE_P(
    Table, WithWhitelist,
    testing::Values(
        ParseCase{"p.spot", "spot"},
        ParseCase{"p.nothing", "error: Invalid field nothing"},
        ParseCase{"p.balance", "error: Invalid field balance"},
        ParseCase{"p.Spot", "error: Invalid field Spot"},
        ParseCase{R"(p.spot:{x="1"})", "error: Unknown named parameter x: 1"},
        ParseCase{R"(p.spot:{"1"})", "error: Unknown positional parameter 0: 1"},
        ParseCase{R"(p.spot:{"1", x="1"})", "error: Unknown named parameter x: 1"},
        ParseCase{R"(p.spot:{b="1", a="2"})", "error: Unknown named parameter a: 2"},
        ParseCase{R"(p.volume:{"USDC"})", R"(volume:{token="USDC"})"},
        ParseCase{R"(p.volume:{token="WETH"})", R"(volume:{token="WETH"})"},
        ParseCase{R"(p.volume:{token="DAI", token="USDC"})", R"(volume:{token="USDC"})"},
        ParseCase{"p.volume", "error: Missing named positional parameter token(0)"},
        ParseCase{R"(p.volume:{"DAI"})", "error: Symbol DAI is not allowed here"},
        ParseCase{R"(p.volume:{"usdc"})", "error: Symbol usdc is not allowed here"},
        ParseCase{R"(p.volume:{"USDC", token="WETH"})", "error: Duplicate parameter token: WETH and USDC at position 0"},
        ParseCase{R"(p.volume:{"USDC", "WETH"})", "error: Unknown positional parameter 1: WETH"},
        ParseCase{R"(p.quote:{"WETH/USDC"})", R"(quote:{pair="WETH/USDC"})"},
        ParseCase{R"(p.quote:{pair="USDC/WETH"})", R"(quote:{pair="USDC/WETH"})"},
        ParseCase{R"(p.quote:{"DAI/EUR"})", "error: Symbol DAI is not allowed here"},
        ParseCase{R"(p.quote:{"WETH/DAI"})", "error: Symbol DAI is not allowed here"},
        ParseCase{R"(p.quote:{"WETH/WETH"})", "error: Tokens in token pair WETH/WETH cannot be the same"},
        ParseCase{R"(p.quote:{"WETH"})", R"(error: "WETH" is not a valid token pair)"},
        // position (named only) is parameter 0, so the token sits at position 1
        ParseCase{R"(p.amount:{"p1", "USDC"})", "error: Unknown positional parameter 0: p1"},
        ParseCase{R"(p.amount:{"USDC"})", "error: Missing named positional parameter token(1)"},
        ParseCase{R"(p.amount:{position="p1", token="USDC"})", R"(amount:{position="p1",token="USDC"})"},
        ParseCase{"p.fees", "fees"},
        ParseCase{R"(p.fees:{position="p 1"})", R"(fees:{position="p 1"})"},
        ParseCase{R"(p.fees:{position="p1", "WETH"})", R"(fees:{token="WETH",position="p1"})"},
        ParseCase{R"(p.owner:{who="bob"})", "owner:{who=\"bob\"}"},
        ParseCase{R"(p.owner:{who="1bob"})", "error: " + identifier_report},
        ParseCase{R"(p.owner:{who="bob", label="x y"})", "error: " + identifier_report},
        ParseCase{R"(p.owner)", "error: Missing named positional parameter who(0)"},
        ParseCase{R"(p.owner:{"bob"})", "error: Missing named positional parameter who(0)"},
        ParseCase{R"(p.owner:{"bob", who="bob"})", "error: Unknown positional parameter 0: bob"},
        ParseCase{R"(p.owner:{who="bob", venue="0xAbCdEf0123456789abcdef0123456789ABCDEF01"})",
                  R"(owner:{who="bob",venue="0xAbCdEf0123456789abcdef0123456789ABCDEF01"})"},
        ParseCase{R"(p.owner:{who="bob", venue="0x12"})",
                  "error: The address 0x12 should be a valid crypto address (^0x[0-9a-fA-F]{40}$)"},
        ParseCase{R"(p.owner:{wallet="bob", who="b"})",
                  "error: The address bob should be a valid crypto address (^0x[0-9a-fA-F]{40}$)"},
        ParseCase{R"(p.owner:{who="b", wallet="0x00000000000000000000000000000000000000aA", label="l"})",
                  R"(owner:{who="b",wallet="0x00000000000000000000000000000000000000aA",label="l"})"}));

class WithoutWhitelist : public testing::TestWithParam<ParseCase> {};

// Without a component value the whitelist is never made: tokens are symbols.
TEST_P(WithoutWhitelist, AcceptsAnyValidSymbol) {
    const auto parsers = parsers_with({});
    EXPECT_EQ(parsers.protocol->whitelist(), nullptr);
    EXPECT_EQ(resolve(*parsers.protocol, GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WithoutWhitelist,
    testing::Values(ParseCase{R"(p.volume:{"DAI"})", R"(volume:{token="DAI"})"},
                    ParseCase{R"(p.volume:{"a b"})", R"(volume:{token="a b"})"},
                    ParseCase{R"(p.volume:{"a/b"})", "error: 0: does not match pattern /^[^/]+$/\n"},
                    ParseCase{R"(p.quote:{"X/Y"})", R"(quote:{pair="X/Y"})"},
                    ParseCase{R"(p.quote:{"X/X"})", "error: Tokens in token pair X/X cannot be the same"},
                    ParseCase{R"(p.quote:{"X/Y/Z"})", "error: 0: does not match pattern /^[^/]+$/\n"}));

TEST(ConfigFieldParser, EachSideKnowsOnlyItsOwnList) {
    const auto parsers = parsers_with(tokens({"USDC"}));
    EXPECT_EQ(resolve(*parsers.agent, R"(a.p.balance:{token="USDC"})"), R"(balance:{token="USDC"})");
    // Named only: a positional token leaves the required parameter missing.
    EXPECT_EQ(resolve(*parsers.agent, R"(a.p.balance:{"USDC"})"), "error: Missing named positional parameter token(0)");
    EXPECT_EQ(resolve(*parsers.agent, R"(a.p.balance:{"USDC", token="USDC"})"),
              "error: Unknown positional parameter 0: USDC");
    EXPECT_EQ(resolve(*parsers.agent, "a.p.spot"), "error: Invalid field spot");
}

TEST(ConfigFieldParser, ABareDocumentGivesParsersWithoutMetrics) {
    auto config = protocol_parser_config_from_yaml("name: Bare\n");
    ASSERT_TRUE(config);
    auto built = build_config_parsers(*config, tokens({"USDC"}));
    ASSERT_TRUE(built);
    EXPECT_TRUE(built->protocol->fields().empty());
    EXPECT_TRUE(built->agent->components().empty());
    EXPECT_EQ(resolve(*built->protocol, "p.x"), "error: Invalid field x");
    EXPECT_EQ(resolve(*built->agent, "a.p.x"), "error: Invalid field x");
}

TEST(ConfigFieldParser, PositionalAndNamedGiveEqualFields) {
    const auto parsers = parsers_with(tokens({"USDC", "WETH"}));
    auto field_of = [&](const std::string& text) {
        auto id = grammar::composed_identifier_with_options(text);
        EXPECT_TRUE(id);
        auto f = parsers.protocol->parse(id->components.back(), *id);
        EXPECT_TRUE(f);
        return *f;
    };
    auto hash_of = [](const DynField& f) {
        util::SipHasher13 h;
        f.hash_feed(h);
        return h.finish();
    };
    const DynField positional = field_of(R"(p.volume:{"WETH"})");
    const DynField named = field_of(R"(p.volume:{token="WETH"})");
    const DynField other = field_of(R"(p.volume:{"USDC"})");
    EXPECT_EQ(positional, named);
    EXPECT_EQ(hash_of(positional), hash_of(named));
    EXPECT_NE(positional, other);
    EXPECT_NE(hash_of(positional), hash_of(other));
    EXPECT_NE(field_of(R"(p.fees:{"WETH"})"), field_of(R"(p.fees:{position="WETH"})"));
    EXPECT_NE(positional, DynField(std::make_shared<GlobalField>(GlobalField::Kind::CurrentTime)));
}

TEST(ConfigFieldParser, AFieldMadeBeforeMoreTokensWritesTheSameKey) {
    auto config = test_config();
    auto small = build_config_parsers(config, tokens({"USDC", "WETH"}));
    auto large = build_config_parsers(config, tokens({"USDC", "WETH", "DAI"}));
    ASSERT_TRUE(small && large);
    auto id = grammar::composed_identifier_with_options(R"(p.quote:{"WETH/USDC"})");
    ASSERT_TRUE(id);
    auto field = small->protocol->parse("quote", *id);
    ASSERT_TRUE(field);
    EXPECT_EQ(large->protocol->stringify(field->get()), small->protocol->stringify(field->get()));
}

TEST(ConfigFieldParser, RefusesToWriteForeignOrMismatchedFields) {
    const auto parsers = parsers_with(tokens({"USDC"}));
    const GlobalField foreign(GlobalField::Kind::LastUpdate);
    auto written = parsers.protocol->stringify(foreign);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().message, "Parser swapped during runtime: expected ConfigField");
    // Persisted state may pair a field with the wrong parser: an index or a
    // whitelist position it does not have is an error, never a crash.
    EXPECT_FALSE(parsers.protocol->stringify(ConfigField(99, {})));
    EXPECT_FALSE(parsers.protocol->stringify(ConfigField(0, {ConfigFieldParameterValue()})));
    EXPECT_FALSE(parsers.protocol->stringify(ConfigField(1, {ConfigFieldParameterValue(WhitelistIndex{7})})));
    const auto bare = parsers_with({});
    EXPECT_FALSE(bare.protocol->stringify(ConfigField(1, {ConfigFieldParameterValue(WhitelistIndex{0})})));
}

struct ComponentCase {
    std::string label;
    std::string json;
    std::string cause;
};

class RefusedComponents : public testing::TestWithParam<ComponentCase> {};

TEST_P(RefusedComponents, ExpectATokenArray) {
    auto value = persist::from_json(GetParam().json);
    ASSERT_TRUE(value);
    auto built = build_config_parsers(test_config(), std::vector<persist::Value>{*value});
    ASSERT_FALSE(built);
    EXPECT_EQ(built.error().message, "Expected Token array");
    EXPECT_EQ(built.error().causes, std::vector<std::string>{GetParam().cause});
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedComponents,
    testing::Values(
        ComponentCase{"string", R"("USDC")", "invalid type: string \"USDC\", expected a sequence at line 1 column 6"},
        ComponentCase{"object", R"({"a":1})", "invalid type: map, expected a sequence at line 1 column 7"},
        ComponentCase{"number_element", R"(["USDC",1])",
                      "invalid type: integer `1`, expected a string at line 1 column 9"},
        ComponentCase{"slash", R"(["USDC","A/B"])", "0: does not match pattern /^[^/]+$/\n"},
        ComponentCase{"empty_symbol", R"([""])", "0: does not match pattern /^[^/]+$/\n"}),
    [](const auto& test_info) { return test_info.param.label; });

TEST(ConfigComponents, KeepTheFirstOfRepeatedSymbolsAndDropSurplusValues) {
    auto values = tokens({"WETH", "USDC", "WETH"});
    values.emplace_back("not even an array");
    auto built = build_config_parsers(test_config(), values);
    ASSERT_TRUE(built) << built.error().chain_text();
    ASSERT_EQ(built->protocol->components().size(), 1U);
    const auto& symbols = built->protocol->whitelist()->symbols();
    ASSERT_EQ(symbols.size(), 2U);
    EXPECT_EQ(symbols[0].text(), "WETH");
    EXPECT_EQ(symbols[1].text(), "USDC");
    EXPECT_EQ(built->agent->components(), built->protocol->components());
}

// Persisted forms.

enum class Codec { Json, MessagePack };

util::Result<persist::Value> round_trip(const persist::Value& v, Codec codec) {
    if (codec == Codec::Json) {
        auto text = persist::to_json(v);
        if (!text) return util::fail(text.error());
        return persist::from_json(*text);
    }
    auto bytes = persist::to_msgpack(v);
    if (!bytes) return util::fail(bytes.error());
    return persist::from_msgpack(*bytes);
}

class PersistedConfig : public testing::TestWithParam<Codec> {};

TEST_P(PersistedConfig, ParserReadsBackEqualAndWritesTheSameKeys) {
    const auto parsers = parsers_with(tokens({"USDC", "WETH"}));
    for (const ConfigFieldParser* parser : {parsers.protocol.get(), parsers.agent.get()}) {
        auto back = round_trip(write_tagged(*parser), GetParam());
        ASSERT_TRUE(back) << back.error().message;
        auto read = read_tagged_parser(*back);
        ASSERT_TRUE(read) << read.error().message;
        const auto* typed = (*read)->downcast<ConfigFieldParser>();
        ASSERT_NE(typed, nullptr);
        EXPECT_EQ(*typed, *parser);
    }
    auto bare = ConfigFieldParser({}, {});
    auto back = round_trip(write_tagged(bare), GetParam());
    ASSERT_TRUE(back);
    auto read = read_tagged_parser(*back);
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(*(*read)->downcast<ConfigFieldParser>(), bare);
}

TEST_P(PersistedConfig, FieldsReadBackEqualWithTheSameHash) {
    const auto parsers = parsers_with(tokens({"USDC", "WETH"}));
    const std::vector<ConfigField> samples{
        ConfigField(0, {}),
        ConfigField(2, {ConfigFieldParameterValue(TokenIdPair{{1}, {0}})}),
        ConfigField(4, {ConfigFieldParameterValue(WhitelistIndex{1}), ConfigFieldParameterValue()}),
        ConfigField(5, {ConfigFieldParameterValue(*names::Identifier::parse("bob")),
                        ConfigFieldParameterValue(*names::IdentifierOrAddr::parse("0xAbCdEf0123456789abcdef0123456789ABCDEF01")),
                        ConfigFieldParameterValue(*names::EthAddress::parse("0x00000000000000000000000000000000000000aA")),
                        ConfigFieldParameterValue()}),
        ConfigField(3, {ConfigFieldParameterValue(util::SharedString("p\"1")),
                        ConfigFieldParameterValue(*names::TokenSymbol::parse("DAI"))}),
        ConfigField(2, {ConfigFieldParameterValue(*names::TokenSymbolPair::parse("X/Y"))}),
    };
    for (const auto& sample : samples) {
        const DynField field(std::make_shared<ConfigField>(sample));
        auto back = round_trip(write_tagged(field), GetParam());
        ASSERT_TRUE(back) << back.error().message;
        auto read = read_tagged_field(*back);
        ASSERT_TRUE(read) << read.error().message << " for " << field.debug();
        EXPECT_EQ(*read, field) << field.debug();
        util::SipHasher13 a, b;
        read->hash_feed(a);
        field.hash_feed(b);
        EXPECT_EQ(a.finish(), b.finish());
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, PersistedConfig, testing::Values(Codec::Json, Codec::MessagePack));

TEST(PersistedConfig, JsonShapes) {
    const auto parsers = parsers_with(tokens({"USDC"}));
    ConfigFieldParser one(parsers.protocol->components(), {parsers.protocol->fields()[1]});
    EXPECT_EQ(persist::to_json(write_tagged(one)),
              R"({"ConfigFieldParser":{"components":[{"TokenWhitelist":["USDC"]}],)"
              R"("fields":[["volume",[{"type":"Token","name":"token","positional":true}]]]}})");
    EXPECT_EQ(persist::to_json(write_tagged(ConfigFieldParser({}, {}))), R"({"ConfigFieldParser":{"components":[]}})");
    const ConfigField field(4, {ConfigFieldParameterValue(WhitelistIndex{0}), ConfigFieldParameterValue(),
                                ConfigFieldParameterValue(util::SharedString("p1"))});
    EXPECT_EQ(persist::to_json(write_tagged(field)),
              R"({"ConfigField":{"index":4,"options":[{"TokenId":[0,null]},"None",{"String":"p1"}]}})");
}

struct BadPersistedCase {
    std::string label;
    std::string json;
};

class BadPersistedConfig : public testing::TestWithParam<BadPersistedCase> {};

TEST_P(BadPersistedConfig, FailsToRead) {
    auto value = persist::from_json(GetParam().json);
    ASSERT_TRUE(value);
    EXPECT_FALSE(read_tagged_parser(*value) && read_tagged_field(*value));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadPersistedConfig,
    testing::Values(BadPersistedCase{"no_components", R"({"ConfigFieldParser":{"fields":[]}})"},
                    BadPersistedCase{"unknown_component", R"({"ConfigFieldParser":{"components":[{"Pairs":[]}]}})"},
                    BadPersistedCase{"bad_symbol", R"({"ConfigFieldParser":{"components":[],"fields":[["1x",[]]]}})"},
                    BadPersistedCase{"short_metric", R"({"ConfigFieldParser":{"components":[],"fields":[["x"]]}})"},
                    BadPersistedCase{"bad_type",
                                     R"({"ConfigFieldParser":{"components":[],"fields":[["x",[{"type":"Tok",)"
                                     R"("name":"t","positional":false}]]]}})"},
                    BadPersistedCase{"no_index", R"({"ConfigField":{"options":[]}})"},
                    BadPersistedCase{"negative_index", R"({"ConfigField":{"index":-1,"options":[]}})"},
                    BadPersistedCase{"unknown_value", R"({"ConfigField":{"index":0,"options":[{"Float":1}]}})"},
                    BadPersistedCase{"none_with_payload", R"({"ConfigField":{"index":0,"options":[{"None":1}]}})"},
                    BadPersistedCase{"bare_token", R"({"ConfigField":{"index":0,"options":["Token"]}})"},
                    BadPersistedCase{"bad_pair", R"({"ConfigField":{"index":0,"options":[{"TokenPair":"A/A"}]}})"}),
    [](const auto& test_info) { return test_info.param.label; });

}  // namespace
}  // namespace tarnel::fields
