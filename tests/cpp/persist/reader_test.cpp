#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tarnel/persist/reader.hpp"
#include "tarnel/persist/utf8.hpp"

using namespace tarnel::persist;

namespace {

struct DescribeCase {
    const char* name;
    Value value;
    const char* text;
};

class Describe : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(Describe, NamesKindAndValue) { EXPECT_EQ(describe(GetParam().value), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Table, Describe,
    ::testing::Values(
        DescribeCase{"null", Value(Null{}), "unit value"}, DescribeCase{"true", Value(true), "boolean `true`"},
        DescribeCase{"false", Value(false), "boolean `false`"},
        DescribeCase{"negative", Value(std::int64_t{-5}), "integer `-5`"},
        DescribeCase{"u64_max", Value(std::numeric_limits<std::uint64_t>::max()), "integer `18446744073709551615`"},
        DescribeCase{"fraction", Value(1.5), "floating point `1.5`"},
        DescribeCase{"whole_double_keeps_point", Value(2.0), "floating point `2.0`"},
        DescribeCase{"tiny_double_without_exponent", Value(1e-7), "floating point `0.0000001`"},
        DescribeCase{"negative_zero", Value(-0.0), "floating point `-0.0`"},
        DescribeCase{"nan", Value(std::numeric_limits<double>::quiet_NaN()), "floating point `NaN`"},
        DescribeCase{"minus_infinity", Value(-std::numeric_limits<double>::infinity()), "floating point `-inf`"},
        DescribeCase{"string", Value("x"), "string \"x\""},
        DescribeCase{"string_escapes", Value("a\"b\\c\nd"), "string \"a\\\"b\\\\c\\nd\""},
        DescribeCase{"bytes", Value(Bytes{{1, 2}}), "byte array"},
        DescribeCase{"array", Value(Array{}), "sequence"}, DescribeCase{"map", Value(Map{}), "map"}),
    [](const auto& p) { return std::string(p.param.name); });

struct UnknownVariantCase {
    const char* name;
    std::vector<std::string_view> expected;
    const char* message;
};

class UnknownVariant : public ::testing::TestWithParam<UnknownVariantCase> {};

TEST_P(UnknownVariant, ListsTheAcceptedNames) {
    const auto& c = GetParam();
    EXPECT_EQ(unknown_variant(Value("x"), "x", c.expected).message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnknownVariant,
    ::testing::Values(UnknownVariantCase{"none", {}, "unknown variant `x`, there are no variants"},
                      UnknownVariantCase{"one", {"A"}, "unknown variant `x`, expected `A`"},
                      UnknownVariantCase{"two", {"A", "B"}, "unknown variant `x`, expected `A` or `B`"},
                      UnknownVariantCase{"three",
                                         {"Literal", "Identifier", "Add"},
                                         "unknown variant `x`, expected one of `Literal`, `Identifier`, `Add`"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ReadError, AppendsThePositionOnlyWhenKnown) {
    Value v(true);
    EXPECT_EQ(invalid_type(v, "a string").message, "invalid type: boolean `true`, expected a string");
    v.line = 2;
    v.column = 7;
    EXPECT_EQ(invalid_type(v, "a string").message, "invalid type: boolean `true`, expected a string at line 2 column 7");
    EXPECT_EQ(invalid_value(Value("x"), "a Decimal type representing a fixed-point number").message,
              "invalid value: string \"x\", expected a Decimal type representing a fixed-point number");
    EXPECT_EQ(invalid_length(Value(Array{}), 1, "struct Window with 2 elements").message,
              "invalid length 1, expected struct Window with 2 elements");
    EXPECT_EQ(missing_field(Value(Map{}), "end").message, "missing field `end`");
    EXPECT_EQ(duplicate_field(Value("tree"), "tree").message, "duplicate field `tree`");
}

// --- records -------------------------------------------------------------

constexpr std::string_view window_fields[] = {"begin", "end"};

struct RecordCase {
    const char* name;
    Value input;
    const char* error;  // empty: reads begin=1, end=2
};

class Record : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Record, ReadsMapOrArrayForm) {
    const auto& c = GetParam();
    auto r = RecordReader::open(c.input, "struct Window with 2 elements", window_fields);
    std::string error;
    if (!r) {
        error = r.error().message;
    } else {
        auto begin = r->required("begin");
        auto end = r->required("end");
        if (!begin)
            error = begin.error().message;
        else if (!end)
            error = end.error().message;
        else {
            EXPECT_EQ(**begin, Value(1));
            EXPECT_EQ(**end, Value(2));
        }
    }
    EXPECT_EQ(error, c.error);
}

Value map(std::initializer_list<std::pair<Value, Value>> entries) { return Value(Map(entries)); }

INSTANTIATE_TEST_SUITE_P(
    Table, Record,
    ::testing::Values(
        RecordCase{"map_in_order", map({{"begin", 1}, {"end", 2}}), ""},
        RecordCase{"map_any_order", map({{"end", 2}, {"begin", 1}}), ""},
        RecordCase{"unknown_keys_skipped", map({{"x", Null{}}, {"begin", 1}, {5, true}, {"end", 2}}), ""},
        RecordCase{"field_indices_as_keys", map({{std::uint64_t{1}, 2}, {std::uint64_t{0}, 1}}), ""},
        RecordCase{"name_as_bytes", map({{Bytes{{'b', 'e', 'g', 'i', 'n'}}, 1}, {"end", 2}}), ""},
        RecordCase{"array_form", Value(Array{1, 2}), ""},
        RecordCase{"missing_field", map({{"begin", 1}}), "missing field `end`"},
        RecordCase{"duplicate_field", map({{"begin", 1}, {"end", 2}, {"begin", 3}}), "duplicate field `begin`"},
        RecordCase{"duplicate_by_index", map({{"begin", 1}, {std::uint64_t{0}, 1}, {"end", 2}}), "duplicate field `begin`"},
        RecordCase{"array_too_short", Value(Array{1}), "invalid length 1, expected struct Window with 2 elements"},
        RecordCase{"array_too_long", Value(Array{1, 2, 3}), "invalid length 3, expected struct Window with 2 elements"},
        RecordCase{"not_a_record", Value(true), "invalid type: boolean `true`, expected struct Window"},
        RecordCase{"bad_key_kind", map({{true, 1}}), "invalid type: boolean `true`, expected field identifier"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Record, OptionalFieldIsNullWhenAbsent) {
    Value v = map({{"begin", 1}});
    auto r = RecordReader::open(v, "struct Window with 2 elements", window_fields);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->optional("end"), nullptr);
    ASSERT_NE(r->optional("begin"), nullptr);
    EXPECT_EQ(*r->optional("begin"), Value(1));
}

// --- enumerations --------------------------------------------------------

constexpr std::string_view expr_variants[] = {"Literal", "Identifier", "Add"};

struct EnumCase {
    const char* name;
    Value input;
    std::size_t index;
    std::optional<Value> payload;  // nullopt: bare name
    const char* error;
};

class Enum : public ::testing::TestWithParam<EnumCase> {};

TEST_P(Enum, ReadsNamesIndicesAndOneEntryMaps) {
    const auto& c = GetParam();
    auto e = read_enum(c.input, "NumExpr", expr_variants);
    if (*c.error != '\0') {
        ASSERT_FALSE(e);
        EXPECT_EQ(e.error().message, c.error);
        return;
    }
    ASSERT_TRUE(e) << e.error().message;
    EXPECT_EQ(e->index, c.index);
    EXPECT_EQ(e->node, &c.input);
    if (c.payload) {
        ASSERT_NE(e->payload, nullptr);
        EXPECT_EQ(*e->payload, *c.payload);
    } else {
        EXPECT_EQ(e->payload, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Enum,
    ::testing::Values(
        EnumCase{"bare_name", Value("Identifier"), 1, std::nullopt, ""},
        EnumCase{"bare_bytes", Value(Bytes{{'A', 'd', 'd'}}), 2, std::nullopt, ""},
        EnumCase{"bare_index", Value(std::uint64_t{2}), 2, std::nullopt, ""},
        EnumCase{"map_by_name", map({{"Add", Array{1, 2}}}), 2, Value(Array{1, 2}), ""},
        EnumCase{"map_by_index", map({{std::uint64_t{0}, "1.5"}}), 0, Value("1.5"), ""},
        EnumCase{"unknown_name", Value("Foo"), 0, std::nullopt,
                 "unknown variant `Foo`, expected one of `Literal`, `Identifier`, `Add`"},
        EnumCase{"unknown_key", map({{"Foo", 1}}), 0, std::nullopt,
                 "unknown variant `Foo`, expected one of `Literal`, `Identifier`, `Add`"},
        EnumCase{"index_out_of_range", Value(std::uint64_t{3}), 0, std::nullopt,
                 "invalid value: integer `3`, expected variant index 0 <= i < 3"},
        EnumCase{"key_index_out_of_range", map({{std::uint64_t{9}, 1}}), 0, std::nullopt,
                 "invalid value: integer `9`, expected variant index 0 <= i < 3"},
        EnumCase{"negative_index", Value(std::int64_t{-1}), 0, std::nullopt,
                 "invalid value: integer `-1`, expected variant index 0 <= i < 3"},
        EnumCase{"empty_map", Value(Map{}), 0, std::nullopt, "invalid length 0, expected map with a single key"},
        EnumCase{"two_entries", map({{"Literal", 1}, {"Add", 2}}), 0, std::nullopt,
                 "invalid length 2, expected map with a single key"},
        EnumCase{"wrong_kind", Value(true), 0, std::nullopt, "invalid type: boolean `true`, expected enum NumExpr"},
        EnumCase{"sequence", Value(Array{}), 0, std::nullopt, "invalid type: sequence, expected enum NumExpr"},
        EnumCase{"bad_key_kind", map({{1.5, 1}}), 0, std::nullopt,
                 "invalid type: floating point `1.5`, expected variant identifier"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Enum, PayloadAndUnitChecks) {
    Value bare("Add");
    auto e = read_enum(bare, "NumExpr", expr_variants);
    ASSERT_TRUE(e);
    EXPECT_EQ(require_payload(*e).error().message, "invalid type: unit variant, expected newtype variant");
    EXPECT_EQ(require_payload(*e, "tuple variant").error().message, "invalid type: unit variant, expected tuple variant");
    EXPECT_TRUE(require_unit(*e));

    Value with_null = map({{"Literal", Null{}}});
    auto n = read_enum(with_null, "NumExpr", expr_variants);
    ASSERT_TRUE(n);
    EXPECT_TRUE(require_unit(*n));

    Value with_payload = map({{"Literal", 5}});
    auto p = read_enum(with_payload, "NumExpr", expr_variants);
    ASSERT_TRUE(p);
    EXPECT_EQ(require_unit(*p).error().message, "invalid type: integer `5`, expected unit");
    ASSERT_TRUE(require_payload(*p));
    EXPECT_EQ(**require_payload(*p), Value(5));
}

TEST(Tuple, ExactLengthRequired) {
    const char* expected = "tuple variant NumExpr::Add with 2 elements";
    Value pair(Array{1, 2});
    auto ok = read_tuple(pair, 2, expected);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->size(), 2u);
    EXPECT_EQ(read_tuple(Value(Array{1}), 2, expected).error().message,
              "invalid length 1, expected tuple variant NumExpr::Add with 2 elements");
    EXPECT_EQ(read_tuple(Value(Array{1, 2, 3}), 2, expected).error().message,
              "invalid length 3, expected tuple variant NumExpr::Add with 2 elements");
    EXPECT_EQ(read_tuple(Value("x"), 2, expected).error().message,
              "invalid type: string \"x\", expected tuple variant NumExpr::Add");
}

// --- scalars -------------------------------------------------------------

struct ScalarCase {
    const char* name;
    std::function<std::string(const Value&)> read;  // the value as text, or the error
    Value input;
    const char* result;
};

template <class T>
std::function<std::string(const Value&)> reading(tarnel::util::Result<T> (*f)(const Value&, std::string_view),
                                                 std::string_view expected) {
    return [f, expected](const Value& v) -> std::string {
        auto r = f(v, expected);
        if (!r) return "error: " + r.error().message;
        if constexpr (std::is_same_v<T, std::string>)
            return *r;
        else if constexpr (std::is_same_v<T, bool>)
            return *r ? "true" : "false";
        else if constexpr (std::is_arithmetic_v<T>)
            return std::to_string(*r);
        else
            return "ok";
    };
}

class Scalar : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(Scalar, AcceptsOrNamesTheExpectation) {
    const auto& c = GetParam();
    EXPECT_EQ(c.read(c.input), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Scalar,
    ::testing::Values(
        ScalarCase{"u64_from_unsigned", reading(read_u64, "u64"), Value(std::numeric_limits<std::uint64_t>::max()),
                   "18446744073709551615"},
        ScalarCase{"u64_from_nonnegative_signed", reading(read_u64, "u64"), Value(std::int64_t{7}), "7"},
        ScalarCase{"u64_refuses_negative", reading(read_u64, "u64"), Value(std::int64_t{-1}),
                   "error: invalid value: integer `-1`, expected u64"},
        ScalarCase{"u64_refuses_float", reading(read_u64, "u64"), Value(1.5),
                   "error: invalid type: floating point `1.5`, expected u64"},
        ScalarCase{"u64_refuses_string", reading(read_u64, "u64"), Value("7"),
                   "error: invalid type: string \"7\", expected u64"},
        ScalarCase{"i64_from_small_unsigned", reading(read_i64, "i64"), Value(std::uint64_t{9}), "9"},
        ScalarCase{"i64_refuses_large_unsigned", reading(read_i64, "i64"),
                   Value(std::uint64_t{9223372036854775808ull}),
                   "error: invalid value: integer `9223372036854775808`, expected i64"},
        ScalarCase{"i64_negative", reading(read_i64, "i64"), Value(std::int64_t{-3}), "-3"},
        ScalarCase{"string", reading(read_string, "a string"), Value("abc"), "abc"},
        ScalarCase{"string_from_bytes", reading(read_string, "a string"), Value(Bytes{{0xC3, 0xA9}}), "\xC3\xA9"},
        ScalarCase{"string_from_bad_bytes", reading(read_string, "a string"), Value(Bytes{{'a', 0xFF}}),
                   "error: invalid utf-8 sequence of 1 bytes from index 1"},
        ScalarCase{"string_refuses_null", reading(read_string, "a string"), Value(Null{}),
                   "error: invalid type: unit value, expected a string"},
        ScalarCase{"bool", reading(read_bool, "a boolean"), Value(false), "false"},
        ScalarCase{"bool_refuses_integer", reading(read_bool, "a boolean"), Value(1),
                   "error: invalid type: integer `1`, expected a boolean"},
        ScalarCase{"array", reading(read_array, "a sequence"), Value(Array{}), "ok"},
        ScalarCase{"array_refuses_map", reading(read_array, "a sequence"), Value(Map{}),
                   "error: invalid type: map, expected a sequence"},
        ScalarCase{"map", reading(read_map, "a map"), Value(Map{}), "ok"},
        ScalarCase{"map_refuses_bytes", reading(read_map, "a map"), Value(Bytes{}),
                   "error: invalid type: byte array, expected a map"}),
    [](const auto& p) { return std::string(p.param.name); });

struct Utf8Case {
    const char* name;
    std::string bytes;
    const char* error;  // empty: valid
};

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, FindsTheFirstBadSequence) {
    auto e = utf8_error(GetParam().bytes);
    EXPECT_EQ(e.value_or(""), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8,
    ::testing::Values(Utf8Case{"ascii_and_multibyte", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", ""},
                      Utf8Case{"stray_continuation", "\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
                      Utf8Case{"bad_lead", "ab\xFF", "invalid utf-8 sequence of 1 bytes from index 2"},
                      Utf8Case{"overlong", "\xC0\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
                      Utf8Case{"surrogate", "\xED\xA0\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
                      Utf8Case{"above_unicode", "\xF4\x90\x80\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
                      Utf8Case{"broken_third_byte", "\xE2\x82x", "invalid utf-8 sequence of 2 bytes from index 0"},
                      Utf8Case{"broken_fourth_byte", "\xF0\x9F\x98x", "invalid utf-8 sequence of 3 bytes from index 0"},
                      Utf8Case{"truncated", "a\xF0\x9F\x98", "incomplete utf-8 byte sequence from index 1"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
