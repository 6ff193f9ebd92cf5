#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "sealed_helpers.hpp"
#include "tarnel/parameters/parameters_persist.hpp"
#include "tarnel/persist/codecs.hpp"

namespace tarnel::parameters {
namespace {

using persist::Array;
using persist::Map;
using persist::Value;
using testing::define;
using testing::instant;
using testing::resolve;
using Bytes8 = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

SealedParameters full() {
    Parameters p(instant("2024-03-05T06:07:08.250Z"));
    EXPECT_TRUE(p.add_uniswap_v3_protocol("pool", "WETH", "USDC").has_value());
    EXPECT_TRUE(p.add_aave_v3_protocol(Strings{"USDC", "DAI"}).has_value());
    EXPECT_TRUE(p.add_common(Strings{"WETH", "USDC"}).has_value());
    EXPECT_TRUE(p.add_agents(Strings{"alice", "bob"}).has_value());
    EXPECT_TRUE(p.add_agent_variables("alice", Strings{"risk", "size"}).has_value());
    define(p, "function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }");
    define(p, "function one() { return 1.50 }");
    return seal(p);
}

SealedParameters bare(std::string_view start, std::uint64_t signature) {
    return SealedParameters(Parameters(instant(start)), Signature{signature});
}

std::string to_json(const SealedParameters& s) {
    auto text = sealed_to_json(s);
    EXPECT_TRUE(text.has_value());
    return text ? *text : std::string();
}

// The registry's own text: its record is written by the registry.
std::string registry_json(const SealedParameters& s) {
    auto text = persist::to_json(s.registry().to_persisted());
    EXPECT_TRUE(text.has_value());
    return text ? *text : std::string();
}

void expect_same(const SealedParameters& a, const SealedParameters& b) {
    EXPECT_EQ(a.signature(), b.signature());
    EXPECT_EQ(a.start_date(), b.start_date());
    EXPECT_EQ(a.custom_functions(), b.custom_functions());
    EXPECT_EQ(a.debug(), b.debug());
    for (const char* key : {"pool.dex_spot", "alice.pool.net_position", "alice.variables.size", "alice.all.pnl",
                            "common.market_spot:{pair=\"WETH/USDC\"}", "aave_v3.total_supply:{token=\"DAI\"}"}) {
        auto fa = resolve(a.internal(), key);
        auto fb = resolve(b.internal(), key);
        ASSERT_EQ(fa.has_value(), fb.has_value()) << key;
        if (!fa) continue;
        EXPECT_EQ(*fa, *fb) << key;
        EXPECT_EQ(b.stringify_identifier(*fa).value_or("?"), a.stringify_identifier(*fa).value_or("!")) << key;
    }
}

// ---- JSON.

TEST(SealedJson, LayoutAndKeyOrder) {
    const SealedParameters s = bare("2024-01-01T00:00:00Z", 5);
    EXPECT_EQ(to_json(s), R"({"internal":{"internal":{"start_date":"2024-01-01T00:00:00Z","custom_functions":{},"registry":)" +
                              registry_json(s) + R"(},"signature":5}})");
}

TEST(SealedJson, CustomFunctionObject) {
    Parameters p(instant("2024-01-01T00:00:00Z"));
    define(p, "function f(a, b) { return a }");
    const SealedParameters s = seal(p);
    const std::string text = to_json(s);
    EXPECT_NE(text.find(R"("custom_functions":{"f":{"name":"f","args":["a","b"],"statements":[{"Return":{"Identifier":{"Unchecked":{"name":"a","options":[],"position":26}}}}]}})"),
              std::string::npos)
        << text;
}

TEST(SealedJson, SignatureWrittenInFull) {
    const std::string text = to_json(bare("2024-01-01T00:00:00Z", std::numeric_limits<std::uint64_t>::max()));
    EXPECT_TRUE(text.ends_with(R"(,"signature":18446744073709551615}})")) << text;
    auto back = sealed_from_json(text);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ((*back)->signature().value, std::numeric_limits<std::uint64_t>::max());
}

TEST(SealedJson, UninitialisedHolder) {
    EXPECT_EQ(sealed_to_json(std::nullopt).value(), R"({"internal":null})");
    for (const char* text : {R"({"internal":null})", "{}", R"({"other":1})", " { \"internal\" : null } "}) {
        auto back = sealed_from_json(text);
        ASSERT_TRUE(back.has_value()) << text << ": " << back.error().message;
        EXPECT_FALSE(back->has_value()) << text;
    }
}

TEST(SealedJson, RoundTripKeepsContentAndSignature) {
    const SealedParameters s = full();
    const std::string text = to_json(s);
    auto back = sealed_from_json(text);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    expect_same(s, **back);
    EXPECT_EQ(to_json(**back), text);
}

TEST(SealedJson, SignatureIsTakenAsStored) {
    const std::string text = to_json(bare("2024-01-01T00:00:00Z", 12345));
    auto back = sealed_from_json(text);
    ASSERT_TRUE(back.has_value());
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ((*back)->signature().value, 12345U);
}

struct StartDateCase {
    const char* given;
    const char* written;
};

class StartDateForm : public ::testing::TestWithParam<StartDateCase> {};

TEST_P(StartDateForm, WrittenInUtcWithTheFewestExactDigits) {
    const SealedParameters s = bare(GetParam().given, 1);
    const std::string text = to_json(s);
    const std::string expected = std::string(R"("start_date":")") + GetParam().written + "\"";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    auto back = sealed_from_json(text);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ((*back)->start_date(), s.start_date());
}

INSTANTIATE_TEST_SUITE_P(Table, StartDateForm,
                         ::testing::Values(StartDateCase{"2024-01-01T00:00:00Z", "2024-01-01T00:00:00Z"},
                                           StartDateCase{"2024-01-01T00:00:00.5Z", "2024-01-01T00:00:00.500Z"},
                                           StartDateCase{"2024-01-01T00:00:00.000001Z", "2024-01-01T00:00:00.000001Z"},
                                           StartDateCase{"2024-01-01T00:00:00.12345Z", "2024-01-01T00:00:00.123450Z"},
                                           StartDateCase{"2024-01-01T00:00:00.000000001Z",
                                                         "2024-01-01T00:00:00.000000001Z"},
                                           StartDateCase{"2024-01-01T05:30:00+05:30", "2024-01-01T00:00:00Z"},
                                           StartDateCase{"2023-12-31T23:00:00-01:00", "2024-01-01T00:00:00Z"}));

// Texts are made from a written form by replacing one piece of it.
std::string replaced(std::string text, std::string_view from, std::string_view to) {
    const auto pos = text.find(from);
    EXPECT_NE(pos, std::string::npos) << from;
    if (pos != std::string::npos) text.replace(pos, from.size(), to);
    return text;
}

struct AcceptedJsonCase {
    const char* name;
    const char* from;
    const char* to;
};

class AcceptedJson : public ::testing::TestWithParam<AcceptedJsonCase> {};

TEST_P(AcceptedJson, ReadsTheSameParameters) {
    Parameters p(instant("2024-01-01T00:00:00Z"));
    define(p, "function f(a) { return a }");
    const SealedParameters s = seal(p);
    const std::string text = replaced(to_json(s), GetParam().from, GetParam().to);
    auto back = sealed_from_json(text);
    ASSERT_TRUE(back.has_value()) << text << "\n" << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ((*back)->debug(), s.debug());
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptedJson,
    ::testing::Values(
        AcceptedJsonCase{"unknown_holder_key", R"({"internal":{"internal")", R"({"version":3,"internal":{"internal")"},
        AcceptedJsonCase{"unknown_sealed_key", R"(,"signature":)", R"(,"note":[1,2],"signature":)"},
        AcceptedJsonCase{"unknown_parameters_key", R"("custom_functions":)", R"("x":{},"custom_functions":)"},
        AcceptedJsonCase{"unknown_function_key", R"({"name":"f",)", R"({"doc":"text","name":"f",)"},
        AcceptedJsonCase{"offset_start_date", R"("2024-01-01T00:00:00Z")", R"("2024-01-01T09:00:00+09:00")"},
        AcceptedJsonCase{"lower_case_t_and_z", R"("2024-01-01T00:00:00Z")", R"("2024-01-01t00:00:00z")"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(AcceptedJson, KeysInReverseOrder) {
    Parameters p(instant("2024-01-01T00:00:00Z"));
    define(p, "function f(a) { return a }");
    const SealedParameters s = seal(p);
    const std::string function = R"({"statements":[{"Return":{"Identifier":{"Unchecked":{"position":23,"options":[],"name":"a"}}}}],"args":["a"],"name":"f"})";
    const std::string text = R"({"internal":{"signature":)" + std::to_string(s.signature().value) +
                             R"(,"internal":{"registry":)" + registry_json(s) + R"(,"custom_functions":{"f":)" +
                             function + R"(},"start_date":"2024-01-01T00:00:00Z"}}})";
    auto back = sealed_from_json(text);
    ASSERT_TRUE(back.has_value()) << text << "\n" << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ((*back)->debug(), s.debug());
}

struct RejectedJsonCase {
    const char* name;
    const char* from;
    const char* to;
    const char* message_start;
};

class RejectedJson : public ::testing::TestWithParam<RejectedJsonCase> {};

TEST_P(RejectedJson, FailsWithTheReadersMessage) {
    const std::string text = replaced(to_json(bare("2024-01-01T00:00:00Z", 7)), GetParam().from, GetParam().to);
    auto back = sealed_from_json(text);
    ASSERT_FALSE(back.has_value()) << text;
    EXPECT_TRUE(back.error().message.starts_with(GetParam().message_start)) << back.error().message;
    EXPECT_NE(back.error().message.find(" at line 1 column "), std::string::npos) << back.error().message;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RejectedJson,
    ::testing::Values(
        RejectedJsonCase{"negative_signature", R"("signature":7)", R"("signature":-7)",
                         "invalid value: integer `-7`, expected u64"},
        RejectedJsonCase{"fractional_signature", R"("signature":7)", R"("signature":7.5)",
                         "invalid type: floating point `7.5`, expected u64"},
        RejectedJsonCase{"signature_beyond_64_bits", R"("signature":7)", R"("signature":18446744073709551616)",
                         "invalid type: floating point"},
        RejectedJsonCase{"signature_as_text", R"("signature":7)", R"("signature":"7")",
                         "invalid type: string \"7\", expected u64"},
        RejectedJsonCase{"missing_signature", R"(,"signature":7)", "", "missing field `signature`"},
        RejectedJsonCase{"repeated_signature", R"("signature":7)", R"("signature":7,"signature":7)",
                         "duplicate field `signature`"},
        RejectedJsonCase{"repeated_internal", R"({"internal":{"internal")", R"({"internal":null,"internal":{"internal")",
                         "duplicate field `internal`"},
        RejectedJsonCase{"missing_start_date", R"("start_date":"2024-01-01T00:00:00Z",)", "",
                         "missing field `start_date`"},
        RejectedJsonCase{"missing_custom_functions", R"("custom_functions":{},)", "", "missing field `custom_functions`"},
        RejectedJsonCase{"missing_registry_field", R"("base_parser":{"GlobalFieldParser":{}},)", "",
                         "missing field `base_parser`"},
        RejectedJsonCase{"start_date_without_offset", R"("2024-01-01T00:00:00Z")", R"("2024-01-01T00:00:00")",
                         "Invalid RFC 3339 date-time '2024-01-01T00:00:00'"},
        RejectedJsonCase{"start_date_as_number", R"("2024-01-01T00:00:00Z")", "1704067200",
                         "invalid type: integer `1704067200`, expected an RFC 3339 date-time string"},
        RejectedJsonCase{"start_date_out_of_range", R"("2024-01-01T00:00:00Z")", R"("2300-01-01T00:00:00Z")",
                         "RFC 3339 date-time '2300-01-01T00:00:00Z' is outside the representable range"},
        RejectedJsonCase{"function_without_statements", R"("custom_functions":{})",
                         R"("custom_functions":{"f":{"name":"f","args":[]}})", "missing field `statements`"},
        RejectedJsonCase{"function_args_not_strings", R"("custom_functions":{})",
                         R"("custom_functions":{"f":{"name":"f","args":[1],"statements":[]}})",
                         "invalid type: integer `1`, expected a string"},
        RejectedJsonCase{"function_body_unreadable", R"("custom_functions":{})",
                         R"("custom_functions":{"f":{"name":"f","args":[],"statements":[{"Return":{"Literal":"x"}}]}})",
                         "invalid value: string \"x\", expected a Decimal type representing a fixed-point number"},
        RejectedJsonCase{"functions_not_an_object", R"("custom_functions":{})", R"("custom_functions":[])",
                         "invalid type: sequence, expected a map"},
        RejectedJsonCase{"sealed_not_an_object", R"({"internal":{"internal")", R"({"internal":true,"x":{"internal")",
                         "invalid type: boolean `true`, expected struct SealedParameters"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RejectedJson, MalformedTextAndWrongTopLevel) {
    for (const char* text : {"", "{", "[1", "null", "\"internal\"", "{\"internal\":{}}"})
        EXPECT_FALSE(sealed_from_json(text).has_value()) << text;
}

// ---- MessagePack.

TEST(SealedMessagePack, UninitialisedHolderIsNil) {
    EXPECT_EQ(sealed_to_msgpack(std::nullopt).value(), Bytes8{0xC0});
    auto back = sealed_from_msgpack(Bytes8{0xC0});
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->has_value());
}

TEST(SealedMessagePack, StateIsTheSealedRecordWithoutAHolder) {
    auto bytes = sealed_to_msgpack(bare("2024-01-01T00:00:00Z", 200));
    ASSERT_TRUE(bytes.has_value());
    const std::string head = "\x82\xA8internal\x83\xAAstart_date\xB4" "2024-01-01T00:00:00Z\xB0" "custom_functions\x80";
    ASSERT_GT(bytes->size(), head.size());
    EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(head.size())), head);
    const std::string tail = "\xA9signature\xCC\xC8";
    EXPECT_EQ(std::string(bytes->end() - static_cast<std::ptrdiff_t>(tail.size()), bytes->end()), tail);
}

TEST(SealedMessagePack, RoundTripKeepsContentAndSignature) {
    const SealedParameters s = full();
    auto bytes = sealed_to_msgpack(s);
    ASSERT_TRUE(bytes.has_value());
    auto back = sealed_from_msgpack(*bytes);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    expect_same(s, **back);
    EXPECT_EQ(sealed_to_msgpack(**back).value(), *bytes);
}

// A record map turned into the array of its values, in field order.
Value as_array(const Value& record) {
    Array items;
    for (const auto& [key, value] : std::get<Map>(record.data)) items.push_back(value);
    return Value(std::move(items));
}

TEST(SealedMessagePack, RecordsAsArraysAreAccepted) {
    const SealedParameters s = full();
    Value state = to_persisted(s);
    Map& fields = std::get<Map>(state.data);
    Value& parameters = fields.at(0).second;
    Map& functions = std::get<Map>(std::get<Map>(parameters.data).at(1).second.data);
    for (auto& [name, function] : functions) function = as_array(function);
    parameters = as_array(parameters);
    state = as_array(state);
    auto bytes = persist::to_msgpack(state);
    ASSERT_TRUE(bytes.has_value());
    auto back = sealed_from_msgpack(*bytes);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    expect_same(s, **back);
}

TEST(SealedMessagePack, ShortRecordArraysNameTheirExpectation) {
    const Value parameters = to_persisted(full().internal());
    struct Case {
        Value state;
        const char* message;
    };
    Array one_field{Value(std::uint64_t{1})};
    Array two_parameter_fields{Value("2024-01-01T00:00:00Z"), Value(Map{})};
    const Case cases[] = {
        {Value(one_field), "invalid length 1, expected struct SealedParameters with 2 elements"},
        {Value(Array{Value(two_parameter_fields), Value(std::uint64_t{1})}),
         "invalid length 2, expected struct Parameters with 3 elements"},
    };
    for (const auto& c : cases) {
        auto bytes = persist::to_msgpack(c.state);
        ASSERT_TRUE(bytes.has_value());
        auto back = sealed_from_msgpack(*bytes);
        ASSERT_FALSE(back.has_value());
        EXPECT_EQ(back.error().message, c.message);
    }
    auto f = custom_function_from_persisted(Value(Array{Value("f"), Value(Array{})}));
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().message, "invalid length 2, expected struct CustomFunction with 3 elements");
}

TEST(SealedMessagePack, BrokenBytesFailCleanly) {
    auto bytes = sealed_to_msgpack(full());
    ASSERT_TRUE(bytes.has_value());
    for (std::size_t cut : {std::size_t{1}, bytes->size() / 3, bytes->size() / 2, bytes->size() - 1}) {
        const Bytes8 truncated(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(sealed_from_msgpack(truncated).has_value()) << cut;
    }
}

// ---- Deep function bodies from untrusted input.

Value nested_if(std::size_t levels) {
    Value body = Value(Array{});
    for (std::size_t k = 0; k < levels; ++k) {
        Map literal;
        literal.emplace_back(Value("Literal"), Value(true));
        Array payload;
        payload.emplace_back(std::move(literal));
        payload.emplace_back(Array{});
        payload.push_back(std::move(body));
        Map statement;
        statement.emplace_back(Value("IfElse"), Value(std::move(payload)));
        Array list;
        list.emplace_back(std::move(statement));
        Value next(std::move(list));
        body = std::move(next);
    }
    return body;
}

Value function_with_body(Value statements) {
    Map m;
    m.emplace_back(Value("name"), Value("f"));
    m.emplace_back(Value("args"), Value(Array{}));
    m.emplace_back(Value("statements"), std::move(statements));
    return Value(std::move(m));
}

TEST(DeepBodies, RefusedBeyondTheTreeBound) {
    auto f = custom_function_from_persisted(function_with_body(nested_if(100000)));
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().message, "syntax tree deeper than 1024 levels");
}

TEST(DeepBodies, BoundComesFromTheLimits) {
    const util::Limits limits{.max_tree_depth = 8};
    // Each level is an if/else whose condition is a literal: depth 2 for one level, +1 per further level.
    EXPECT_TRUE(custom_function_from_persisted(function_with_body(nested_if(7)), limits).has_value());
    auto f = custom_function_from_persisted(function_with_body(nested_if(8)), limits);
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().message, "syntax tree deeper than 8 levels");
}

TEST(DeepBodies, HundredThousandNestedNotsInJsonFailCleanly) {
    std::string text = R"({"internal":{"internal":{"start_date":"2024-01-01T00:00:00Z","custom_functions":{"f":{"name":"f","args":[],"statements":[{"IfElse":[)";
    for (int k = 0; k < 100000; ++k) text += R"({"Not":)";
    text += R"({"Literal":true})";
    for (int k = 0; k < 100000; ++k) text += "}";
    text += R"(,[],[]]}]}},"registry":{}},"signature":1}})";
    EXPECT_FALSE(sealed_from_json(text).has_value());
}

}  // namespace
}  // namespace tarnel::parameters
