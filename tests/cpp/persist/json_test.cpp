#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/reader.hpp"

using namespace tarnel::persist;

namespace {

Value every_kind() {
    return Value(Map{
        {"null", Null{}},
        {"flags", Array{true, false}},
        {"negative", std::int64_t{-9223372036854775807 - 1}},
        {"unsigned", std::numeric_limits<std::uint64_t>::max()},
        {"double", 0.1},
        {"whole_double", 3.0},
        {"text", "quote \" backslash \\ newline \n tab \t control \x01 unicode \xC3\xA9 \xF0\x9F\x98\x80"},
        {"empty", Array{}},
        {"nested", Map{{"a", Array{Map{}, Array{1, Array{}}}}}},
    });
}

TEST(JsonRoundTrip, EveryKindReadsBackEqual) {
    auto text = to_json(every_kind());
    ASSERT_TRUE(text) << text.error().message;
    auto back = from_json(*text);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, every_kind());
    EXPECT_TRUE(std::get<Map>(back->data).at(5).second.is<double>()) << "3.0 must stay a double";
}

TEST(JsonWriter, CompactWithFullIntegersAndEscapes) {
    Value v(Map{{"a", Array{std::uint64_t{18446744073709551615ull}, std::int64_t{-1}, 1.5, Null{}, true}},
                {"s", "\"\\/\b\f\n\r\t\x1f\xC3\xA9"}});
    EXPECT_EQ(to_json(v).value(),
              "{\"a\":[18446744073709551615,-1,1.5,null,true],\"s\":\"\\\"\\\\/\\b\\f\\n\\r\\t\\u001f\xC3\xA9\"}");
}

TEST(JsonWriter, RefusesWhatJsonCannotHold) {
    EXPECT_EQ(to_json(Value(Map{{1, 2}})).error().message, "key must be a string");
    EXPECT_EQ(to_json(Value(Map{{Bytes{{'a'}}, 2}})).error().message, "key must be a string");
    EXPECT_FALSE(to_json(Value(std::string("\xFF"))));
    // No NaN or infinity in JSON.
    EXPECT_EQ(to_json(Value(std::numeric_limits<double>::quiet_NaN())).value(), "null");
    EXPECT_EQ(to_json(Value(Bytes{{1, 255}})).value(), "[1,255]");
}

class JsonDouble : public ::testing::TestWithParam<double> {};

TEST_P(JsonDouble, RoundTripsExactlyAndStaysADouble) {
    const double d = GetParam();
    auto text = to_json(Value(d));
    ASSERT_TRUE(text);
    auto back = from_json(*text);
    ASSERT_TRUE(back) << *text;
    ASSERT_TRUE(back->is<double>()) << *text;
    EXPECT_EQ(std::get<double>(back->data), d) << *text;
    EXPECT_EQ(std::signbit(std::get<double>(back->data)), std::signbit(d)) << *text;
}

INSTANTIATE_TEST_SUITE_P(Table, JsonDouble,
                         ::testing::Values(0.1, 1.0, -0.0, 1e300, 5e-324, 1e21, 1e-7, 123456.789,
                                           9007199254740993.0, std::numeric_limits<double>::max(),
                                           -std::numeric_limits<double>::min()));

struct NumberCase {
    const char* text;
    Value value;
};

class JsonNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(JsonNumber, PicksTheKind) {
    auto v = from_json(GetParam().text);
    ASSERT_TRUE(v) << v.error().message;
    EXPECT_EQ(v->data.index(), GetParam().value.data.index()) << GetParam().text;
    EXPECT_EQ(*v, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, JsonNumber,
                         ::testing::Values(NumberCase{"0", std::uint64_t{0}}, NumberCase{"-0", std::int64_t{0}},
                                           NumberCase{"18446744073709551615", std::numeric_limits<std::uint64_t>::max()},
                                           NumberCase{"18446744073709551616", 18446744073709551616.0},
                                           NumberCase{"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
                                           NumberCase{"-9223372036854775809", -9223372036854775809.0},
                                           NumberCase{"1E2", 100.0}, NumberCase{"2.5e-1", 0.25},
                                           NumberCase{"1e-400", 0.0}));

TEST(JsonReader, DecodesEscapesAndSurrogatePairs) {
    auto v = from_json(R"("\u00e9\ud83d\ude00\/\"")");
    ASSERT_TRUE(v) << v.error().message;
    EXPECT_EQ(*v, Value("\xC3\xA9\xF0\x9F\x98\x80/\""));
}

// --- syntax errors -------------------------------------------------------

struct SyntaxCase {
    const char* name;
    std::string text;
    const char* message;
};

class JsonSyntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(JsonSyntax, ReportsWhatAndWhere) {
    auto v = from_json(GetParam().text);
    ASSERT_FALSE(v);
    EXPECT_EQ(v.error().message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, JsonSyntax,
    ::testing::Values(
        SyntaxCase{"empty", "", "EOF while parsing a value at line 1 column 0"},
        SyntaxCase{"only_spaces", "  \n ", "EOF while parsing a value at line 2 column 1"},
        SyntaxCase{"not_a_value", "x", "expected value at line 1 column 1"},
        SyntaxCase{"close_without_open", "]", "expected value at line 1 column 1"},
        SyntaxCase{"open_object", "{", "EOF while parsing an object at line 1 column 1"},
        SyntaxCase{"object_after_value", "{\"a\":1", "EOF while parsing an object at line 1 column 6"},
        SyntaxCase{"object_after_key", "{\"ab\"", "EOF while parsing an object at line 1 column 5"},
        SyntaxCase{"value_after_colon", "{\"a\":", "EOF while parsing a value at line 1 column 5"},
        SyntaxCase{"open_list", "[1", "EOF while parsing a list at line 1 column 2"},
        SyntaxCase{"open_string", "\"abc", "EOF while parsing a string at line 1 column 4"},
        SyntaxCase{"trailing_characters", "1 2", "trailing characters at line 1 column 3"},
        SyntaxCase{"trailing_after_object", "{}x", "trailing characters at line 1 column 3"},
        SyntaxCase{"trailing_comma_list", "[1,]", "trailing comma at line 1 column 4"},
        SyntaxCase{"trailing_comma_object", "{\"a\":1,}", "trailing comma at line 1 column 8"},
        SyntaxCase{"key_not_string", "{1:2}", "key must be a string at line 1 column 2"},
        SyntaxCase{"second_key_not_string", "{\"a\":1,true:2}", "key must be a string at line 1 column 8"},
        SyntaxCase{"missing_colon", "{\"a\" 1}", "expected `:` at line 1 column 6"},
        SyntaxCase{"missing_list_comma", "[1 2]", "expected `,` or `]` at line 1 column 4"},
        SyntaxCase{"missing_object_comma", "{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
        SyntaxCase{"bad_ident", "[trux]", "expected ident at line 1 column 5"},
        SyntaxCase{"short_ident", "nul", "EOF while parsing a value at line 1 column 3"},
        SyntaxCase{"leading_zero", "01", "invalid number at line 1 column 2"},
        SyntaxCase{"bare_minus", "-x", "invalid number at line 1 column 2"},
        SyntaxCase{"point_without_digits", "1.x", "invalid number at line 1 column 3"},
        SyntaxCase{"exponent_without_digits", "1e+]", "invalid number at line 1 column 4"},
        SyntaxCase{"huge_number", "[1e400]", "number out of range at line 1 column 6"},
        SyntaxCase{"bad_escape", R"("\x")", "invalid escape at line 1 column 3"},
        SyntaxCase{"bad_hex_escape", R"("\u12g4")", "invalid escape at line 1 column 6"},
        SyntaxCase{"lone_leading_surrogate", R"("\ud800")", "unexpected end of hex escape at line 1 column 8"},
        SyntaxCase{"surrogate_then_other", R"("\ud800\u0041")", "lone leading surrogate in hex escape at line 1 column 13"},
        SyntaxCase{"control_character", "\"a\tb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
        SyntaxCase{"invalid_utf8", "\"a\xFF\"", "invalid unicode code point at line 1 column 3"},
        SyntaxCase{"error_on_third_line", "[\n1,\n  x]", "expected value at line 3 column 3"}),
    [](const auto& p) { return std::string(p.param.name); });

// --- errors of readers at JSON nodes -------------------------------------

constexpr std::string_view window_fields[] = {"begin", "end"};
constexpr std::string_view variants[] = {"Literal", "Identifier"};

std::string record_error(const Value& v) {
    auto r = RecordReader::open(v, "struct Window with 2 elements", window_fields);
    if (!r) return r.error().message;
    for (auto f : window_fields)
        if (auto x = r->required(f); !x) return x.error().message;
    return "";
}

struct NodeCase {
    const char* name;
    std::string text;
    std::function<std::string(const Value&)> read;
    const char* message;
};

class JsonNodeError : public ::testing::TestWithParam<NodeCase> {};

TEST_P(JsonNodeError, NamesTheLastCharacterOfTheNode) {
    auto v = from_json(GetParam().text);
    ASSERT_TRUE(v) << v.error().message;
    EXPECT_EQ(GetParam().read(*v), GetParam().message);
}

std::string first_u64(const Value& v) { return read_u64(std::get<Array>(v.data).front()).error().message; }

INSTANTIATE_TEST_SUITE_P(
    Table, JsonNodeError,
    ::testing::Values(
        NodeCase{"missing_field_at_closing_brace", R"({"begin": "LastUpdate"})", record_error,
                 "missing field `end` at line 1 column 23"},
        NodeCase{"missing_field_multiline", "{\n  \"begin\": 1\n}", record_error, "missing field `end` at line 3 column 1"},
        NodeCase{"duplicate_at_second_key", R"({"begin": 1, "begin": 2})", record_error,
                 "duplicate field `begin` at line 1 column 20"},
        NodeCase{"short_array_at_bracket", " [1 ] ", record_error,
                 "invalid length 1, expected struct Window with 2 elements at line 1 column 5"},
        NodeCase{"bad_true_at_e", "[true]", first_u64, "invalid type: boolean `true`, expected u64 at line 1 column 5"},
        NodeCase{"bad_string_at_quote", "[ \"x\" ]", first_u64, "invalid type: string \"x\", expected u64 at line 1 column 5"},
        NodeCase{"bad_float_at_last_digit", "[12.5]", first_u64,
                 "invalid type: floating point `12.5`, expected u64 at line 1 column 5"},
        NodeCase{"negative_at_last_digit", "[-1]", first_u64, "invalid value: integer `-1`, expected u64 at line 1 column 3"},
        NodeCase{"nested_array_at_its_bracket", "[[1, 2] ]", first_u64, "invalid type: sequence, expected u64 at line 1 column 7"},
        NodeCase{"unknown_variant_at_key", "{\n \"Foo\": 1}",
                 [](const Value& v) { return read_enum(v, "NumExpr", variants).error().message; },
                 "unknown variant `Foo`, expected `Literal` or `Identifier` at line 2 column 6"},
        NodeCase{"enum_of_wrong_kind", "  null",
                 [](const Value& v) { return read_enum(v, "NumExpr", variants).error().message; },
                 "invalid type: unit value, expected enum NumExpr at line 1 column 6"}),
    [](const auto& p) { return std::string(p.param.name); });

// --- hostile input -------------------------------------------------------

TEST(JsonLimits, NestingStopsAtTheBound) {
    const auto depth = tarnel::util::default_limits.max_document_depth;
    std::string ok = std::string(depth, '[') + std::string(depth, ']');
    auto deep = from_json(ok);
    ASSERT_TRUE(deep) << deep.error().message;
    EXPECT_TRUE(to_json(*deep));
    EXPECT_TRUE(to_msgpack(*deep));

    std::string too_deep = std::string(depth + 1, '[') + std::string(depth + 1, ']');
    EXPECT_EQ(from_json(too_deep).error().message, "recursion limit exceeded at line 1 column 4097");
    std::string objects;
    for (std::size_t k = 0; k <= depth; ++k) objects += "{\"a\":";
    EXPECT_EQ(from_json(objects).error().message, fmt::format("recursion limit exceeded at line 1 column {}", objects.size() - 4));
    // Hostile depth with nothing closed is refused without growing the stack.
    EXPECT_FALSE(from_json(std::string(1'000'000, '[')));
}

TEST(JsonLimits, SizesAreBounded) {
    tarnel::util::Limits small;
    small.max_document_elements = 3;
    EXPECT_TRUE(from_json("[1,2,3]", small));
    EXPECT_EQ(from_json("[1,2,3,4]", small).error().message, "container exceeds the element limit at line 1 column 8");
    EXPECT_FALSE(from_json(R"({"a":1,"b":2,"c":3,"d":4})", small));
    EXPECT_TRUE(from_json(R"("abc")", small));
    EXPECT_FALSE(from_json(R"("abcd")", small));
    EXPECT_FALSE(from_json(R"("ab\n\n")", small));
}

TEST(JsonLimits, EveryTruncationFailsCleanly) {
    const std::string text = to_json(every_kind()).value();
    for (std::size_t n = 0; n < text.size(); ++n) EXPECT_FALSE(from_json(text.substr(0, n))) << n;
}

}  // namespace
