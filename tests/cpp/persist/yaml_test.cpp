#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"

using namespace tarnel::persist;

namespace {

struct ScalarCase {
    const char* name;
    std::string text;  // the scalar as written after "v: "
    Value value;
};

class YamlScalar : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(YamlScalar, ResolvedByTheCoreSchema) {
    const auto& c = GetParam();
    auto doc = from_yaml("v: " + c.text + "\n");
    ASSERT_TRUE(doc) << doc.error().message;
    const auto& entry = std::get<Map>(doc->data).at(0);
    EXPECT_EQ(entry.first, Value("v"));
    EXPECT_EQ(entry.second.data.index(), c.value.data.index()) << c.text;
    EXPECT_EQ(entry.second, c.value) << c.text;
}

constexpr double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, YamlScalar,
    ::testing::Values(
        ScalarCase{"null_word", "null", Null{}}, ScalarCase{"null_capital", "Null", Null{}},
        ScalarCase{"null_upper", "NULL", Null{}}, ScalarCase{"tilde", "~", Null{}},
        ScalarCase{"empty", "", Null{}}, ScalarCase{"null_mixed_case_is_text", "nULL", "nULL"},
        ScalarCase{"true", "true", true}, ScalarCase{"true_capital", "True", true},
        ScalarCase{"true_upper", "TRUE", true}, ScalarCase{"false_upper", "FALSE", false},
        ScalarCase{"yes_is_text", "yes", "yes"}, ScalarCase{"on_is_text", "on", "on"},
        ScalarCase{"decimal", "123", std::uint64_t{123}}, ScalarCase{"plus_decimal", "+5", std::uint64_t{5}},
        ScalarCase{"negative", "-7", std::int64_t{-7}}, ScalarCase{"leading_zero_decimal", "017", std::uint64_t{17}},
        ScalarCase{"octal", "0o17", std::uint64_t{15}}, ScalarCase{"bad_octal_is_text", "0o18", "0o18"},
        ScalarCase{"hex", "0x1F", std::uint64_t{31}}, ScalarCase{"hex_lower", "0xff", std::uint64_t{255}},
        ScalarCase{"bad_hex_is_text", "0x1G", "0x1G"},
        ScalarCase{"u64_max", "18446744073709551615", std::numeric_limits<std::uint64_t>::max()},
        ScalarCase{"too_wide_is_float", "18446744073709551616", 18446744073709551616.0},
        ScalarCase{"exponent", "1e3", 1000.0}, ScalarCase{"fraction", "1.5", 1.5},
        ScalarCase{"leading_point", ".5", 0.5}, ScalarCase{"trailing_point", "2.", 2.0},
        ScalarCase{"signed_exponent", "-2.5E-1", -0.25},
        ScalarCase{"infinity", ".inf", inf}, ScalarCase{"infinity_capital", ".Inf", inf},
        ScalarCase{"negative_infinity", "-.INF", -inf}, ScalarCase{"plus_infinity", "+.inf", inf},
        ScalarCase{"bad_infinity_is_text", ".iNf", ".iNf"},
        ScalarCase{"single_quoted_number", "'123'", "123"}, ScalarCase{"double_quoted_number", "\"123\"", "123"},
        ScalarCase{"quoted_true", "'true'", "true"}, ScalarCase{"quoted_null", "\"null\"", "null"},
        ScalarCase{"quoted_empty", "''", ""}, ScalarCase{"explicit_str_tag", "!!str 12", "12"},
        ScalarCase{"plain_text", "WETH/USDC", "WETH/USDC"}, ScalarCase{"lone_minus", "-a", "-a"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(YamlScalar, NotANumber) {
    for (const char* text : {".nan", ".NaN", ".NAN"}) {
        auto doc = from_yaml(std::string("v: ") + text);
        ASSERT_TRUE(doc) << text;
        const auto& v = std::get<Map>(doc->data).at(0).second;
        ASSERT_TRUE(v.is<double>()) << text;
        EXPECT_TRUE(std::isnan(std::get<double>(v.data))) << text;
    }
    auto odd = from_yaml("v: .Nan");
    ASSERT_TRUE(odd);
    EXPECT_EQ(std::get<Map>(odd->data).at(0).second, Value(".Nan"));
}

TEST(YamlDocument, StructureKeepsOrderAndKeyKinds) {
    auto doc = from_yaml(R"(
name: pool
components:
  - type: Whitelist<Token>
metrics: [a, {b: 1}]
1: one
)");
    ASSERT_TRUE(doc) << doc.error().message;
    Value expected(Map{{"name", "pool"},
                       {"components", Array{Map{{"type", "Whitelist<Token>"}}}},
                       {"metrics", Array{"a", Map{{"b", std::uint64_t{1}}}}},
                       {std::uint64_t{1}, "one"}});
    EXPECT_EQ(*doc, expected);
    EXPECT_EQ(from_yaml("").value(), Value(Null{}));
    EXPECT_EQ(from_yaml("[]").value(), Value(Array{}));
}

TEST(YamlDocument, AliasesAreExpanded) {
    auto doc = from_yaml("a: &x [1, 2]\nb: *x\n");
    ASSERT_TRUE(doc) << doc.error().message;
    EXPECT_EQ(std::get<Map>(doc->data).at(1).second, Value(Array{std::uint64_t{1}, std::uint64_t{2}}));
}

TEST(YamlDocument, SyntaxErrorsNameThePlace) {
    auto doc = from_yaml("a: [1, 2\n");
    ASSERT_FALSE(doc);
    EXPECT_NE(doc.error().message.find(" at line "), std::string::npos) << doc.error().message;
    EXPECT_FALSE(from_yaml("a: b: c"));
    EXPECT_FALSE(from_yaml("{a: 1"));
}

// --- hostile input -------------------------------------------------------

TEST(YamlLimits, DeepNestingIsRefused) {
    EXPECT_EQ(from_yaml(std::string(100'000, '[')).error().message, "recursion limit exceeded");
    tarnel::util::Limits shallow;
    shallow.max_document_depth = 3;
    EXPECT_TRUE(from_yaml("[[[1]]]", shallow));
    EXPECT_EQ(from_yaml("[[[[1]]]]", shallow).error().message, "recursion limit exceeded");
}

TEST(YamlLimits, SelfReferenceStopsAtTheDepthBound) {
    auto doc = from_yaml("&a [*a]");
    ASSERT_FALSE(doc);
    EXPECT_EQ(doc.error().message, "recursion limit exceeded");
}

TEST(YamlLimits, AliasExpansionIsBounded) {
    // Each level doubles the expanded size: 2^30 values from a few lines.
    std::string doc = "l0: &l0 [x, x]\n";
    for (int k = 1; k <= 30; ++k) doc += fmt::format("l{}: &l{} [*l{}, *l{}]\n", k, k, k - 1, k - 1);
    tarnel::util::Limits small;
    small.max_document_elements = 10'000;
    auto v = from_yaml(doc, small);
    ASSERT_FALSE(v);
    EXPECT_EQ(v.error().message, "YAML document exceeds the element limit");
}

TEST(YamlLimits, HugeScalarsAreBounded) {
    tarnel::util::Limits small;
    small.max_document_elements = 100;
    EXPECT_FALSE(from_yaml("v: " + std::string(1000, 'x'), small));
    EXPECT_TRUE(from_yaml("v: " + std::string(10, 'x'), small));
}

TEST(YamlLimits, InvalidUtf8IsRefused) {
    EXPECT_EQ(from_yaml("v: a\xFF").error().message, "invalid utf-8 sequence of 1 bytes from index 1");
    EXPECT_EQ(from_yaml("v: \xC3").error().message, "incomplete utf-8 byte sequence from index 0");
    EXPECT_EQ(from_yaml("v: '\xED\xA0\x80'").error().message, "invalid utf-8 sequence of 1 bytes from index 0");
}

}  // namespace
