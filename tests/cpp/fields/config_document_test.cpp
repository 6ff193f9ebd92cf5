#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tarnel/fields/config_document.hpp"

namespace tarnel::fields {
namespace {

enum class Format { Yaml, Json };

util::Result<ProtocolParserConfig> read(Format f, std::string_view text) {
    return f == Format::Yaml ? protocol_parser_config_from_yaml(text) : protocol_parser_config_from_json(text);
}

struct RefusedCase {
    std::string label;
    Format format;
    std::string text;
    std::string message;
};

class RefusedDocuments : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedDocuments, FailWithTheReadersMessage) {
    const auto& c = GetParam();
    auto config = read(c.format, c.text);
    ASSERT_FALSE(config);
    EXPECT_EQ(config.error().message, c.message);
    EXPECT_TRUE(config.error().causes.empty());
}

const std::string unknown_type_message =
    "unknown variant `Option<Foo>`, expected one of `Token`, `Option<Token>`, `TokenPair`, `Option<TokenPair>`, "
    "`Identifier`, `Option<Identifier>`, `IdentifierOrAddress`, `Option<IdentifierOrAddress>`, `Address`, "
    "`Option<Address>`, `String`, `Option<String>`";

INSTANTIATE_TEST_SUITE_P(
    All, RefusedDocuments,
    testing::Values(
        RefusedCase{"no_name", Format::Yaml, "protocol_metrics: []\n", "missing field `name`"},
        RefusedCase{"no_name_json", Format::Json, R"({"protocol_metrics":[]})",
                    "missing field `name` at line 1 column 23"},
        RefusedCase{"no_symbol", Format::Yaml, "name: P\nagent_metrics:\n  - name: Title\n",
                    "missing field `symbol`"},
        RefusedCase{"no_parameter_name", Format::Yaml,
                    "name: P\nprotocol_metrics:\n  - symbol: s\n    parameters:\n      - type: Token\n",
                    "missing field `name`"},
        RefusedCase{"no_parameter_type", Format::Yaml,
                    "name: P\nprotocol_metrics:\n  - symbol: s\n    parameters:\n      - name: token\n",
                    "missing field `type`"},
        RefusedCase{"unknown_parameter_type", Format::Yaml,
                    "name: P\nprotocol_metrics:\n  - symbol: s\n    parameters:\n      - name: t\n        type: "
                    "Option<Foo>\n",
                    unknown_type_message},
        RefusedCase{"unknown_component", Format::Yaml, "name: P\ncomponents: [\"Whitelist<Pair>\"]\n",
                    "unknown variant `Whitelist<Pair>`, expected `Whitelist<Token>`"},
        RefusedCase{"repeated_agent_symbol", Format::Yaml,
                    "name: P\nagent_metrics:\n  - symbol: a\n  - symbol: b\n  - symbol: a\n",
                    "Encounter metric symbol `a` multiple times, should be unique"},
        RefusedCase{"first_repeat_reported", Format::Yaml,
                    "name: P\nprotocol_metrics:\n  - symbol: b\n  - symbol: a\n  - symbol: a\n  - symbol: b\n",
                    "Encounter metric symbol `a` multiple times, should be unique"},
        RefusedCase{"repeated_symbol_json", Format::Json,
                    R"({"name":"P","protocol_metrics":[{"symbol":"x"},{"symbol":"x"}]})",
                    "Encounter metric symbol `x` multiple times, should be unique at line 1 column 63"},
        RefusedCase{"symbol_not_identifier", Format::Yaml, "name: P\nprotocol_metrics:\n  - symbol: 1x\n",
                    "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n"},
        RefusedCase{"singleton_not_a_name", Format::Yaml, "name: P\nsingleton: a-b\n",
                    "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n"},
        RefusedCase{"optional_name_not_bool", Format::Yaml,
                    "name: P\nprotocol_metrics:\n  - symbol: s\n    parameters:\n      - name: t\n        type: Token\n"
                    "        optional_name: maybe\n",
                    "invalid type: string \"maybe\", expected a boolean"},
        RefusedCase{"metrics_not_a_list", Format::Yaml, "name: P\nagent_metrics: 3\n",
                    "invalid type: integer `3`, expected a sequence"}),
    [](const auto& test_info) { return test_info.param.label; });

// Syntax errors come from the codecs; only their presence matters here.
TEST(RefusedDocuments, SyntaxErrorsAreReported) {
    EXPECT_FALSE(protocol_parser_config_from_yaml("name: [P\n"));
    EXPECT_FALSE(protocol_parser_config_from_json("{\"name\": "));
}

// Hostile or odd documents are refused without harm.
TEST(RefusedDocuments, OddShapes) {
    const std::string deep(100000, '[');
    for (const std::string& text : {std::string(), std::string("---\n"), std::string("- name: P\n"),
                                    std::string("name: 5\n"), std::string("name: P\ncomponents:\n"),
                                    std::string("name: P\nprotocol_metrics: [[]]\n"), deep,
                                    std::string("a: &x [*x]\n")}) {
        EXPECT_FALSE(protocol_parser_config_from_yaml(text)) << text.substr(0, 40);
        EXPECT_FALSE(protocol_parser_config_from_json(text)) << text.substr(0, 40);
    }
}

TEST(ProtocolParserConfig, ADocumentWithOnlyANameIsValid) {
    for (auto [format, text] : {std::pair{Format::Yaml, std::string("---\nname: Bare\n")},
                                std::pair{Format::Json, std::string(R"({"name":"Bare"})")}}) {
        auto config = read(format, text);
        ASSERT_TRUE(config) << config.error().message;
        EXPECT_EQ(config->name(), "Bare");
        EXPECT_FALSE(config->singleton());
        EXPECT_TRUE(config->components().empty());
        EXPECT_TRUE(config->protocol_metrics().empty());
        EXPECT_TRUE(config->agent_metrics().empty());
    }
}

TEST(ProtocolParserConfig, ASymbolMayAppearOnceInEachList) {
    auto config = protocol_parser_config_from_yaml(
        "name: P\nprotocol_metrics:\n  - symbol: liquidity\nagent_metrics:\n  - symbol: liquidity\n");
    ASSERT_TRUE(config) << config.error().message;
    EXPECT_EQ(config->protocol_metrics()[0].symbol.text(), "liquidity");
    EXPECT_EQ(config->agent_metrics()[0].symbol.text(), "liquidity");
}

TEST(ProtocolParserConfig, ReadsEveryKeyAndIgnoresUnknownOnes) {
    auto config = protocol_parser_config_from_yaml(R"(---
name: Pool
singleton: "0xAbCdEf0123456789abcdef0123456789ABCDEF01"
colour: blue
components:
  - "Whitelist<Token>"
agent_metrics:
  - name: Amount
    doc: Amount held
    type: Timeseries
    symbol: amount
    parameters:
      - name: token
        type: Option<Token>
        optional_name: true
        extra: 1
      - name: position
        type: String
)");
    ASSERT_TRUE(config) << config.error().message;
    ASSERT_TRUE(config->singleton());
    EXPECT_EQ(config->singleton()->text(), "0xAbCdEf0123456789abcdef0123456789ABCDEF01");
    EXPECT_EQ(config->components(), std::vector{ConfigFieldComponentType::TokenWhitelist});
    ASSERT_EQ(config->agent_metrics().size(), 1U);
    const auto& m = config->agent_metrics()[0];
    EXPECT_EQ(m.name, "Amount");
    EXPECT_EQ(m.doc, "Amount held");
    ASSERT_EQ(m.parameters.size(), 2U);
    EXPECT_EQ(m.parameters[0].name.text(), "token");
    EXPECT_EQ(m.parameters[0].type, ConfigFieldParameterType::OptionalToken);
    EXPECT_TRUE(m.parameters[0].optional_name);
    EXPECT_EQ(m.parameters[1].type, ConfigFieldParameterType::String);
    EXPECT_FALSE(m.parameters[1].optional_name);
}

struct TypeCase {
    std::string document_name;
    ConfigFieldParameterType type;
    bool required;
};

class ParameterTypes : public testing::TestWithParam<TypeCase> {};

TEST_P(ParameterTypes, ReadByTheirDocumentNames) {
    const auto& c = GetParam();
    auto config = protocol_parser_config_from_json(R"({"name":"P","protocol_metrics":[{"symbol":"s","parameters":[)"
                                                   R"({"name":"p","type":")" +
                                                   c.document_name + R"("}]}]})");
    ASSERT_TRUE(config) << config.error().message;
    const auto t = config->protocol_metrics()[0].parameters[0].type;
    EXPECT_EQ(t, c.type);
    EXPECT_EQ(document_name(t), c.document_name);
    EXPECT_EQ(is_required(t), c.required);
}

using T = ConfigFieldParameterType;
INSTANTIATE_TEST_SUITE_P(All, ParameterTypes,
                         testing::Values(TypeCase{"Token", T::Token, true},
                                         TypeCase{"Option<Token>", T::OptionalToken, false},
                                         TypeCase{"TokenPair", T::TokenPair, true},
                                         TypeCase{"Option<TokenPair>", T::OptionalTokenPair, false},
                                         TypeCase{"Identifier", T::Identifier, true},
                                         TypeCase{"Option<Identifier>", T::OptionalIdentifier, false},
                                         TypeCase{"IdentifierOrAddress", T::IdentifierOrAddress, true},
                                         TypeCase{"Option<IdentifierOrAddress>", T::OptionalIdentifierOrAddress, false},
                                         TypeCase{"Address", T::Address, true},
                                         TypeCase{"Option<Address>", T::OptionalAddress, false},
                                         TypeCase{"String", T::String, true},
                                         TypeCase{"Option<String>", T::OptionalString, false}));

}  // namespace
}  // namespace tarnel::fields
