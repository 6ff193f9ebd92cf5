// Hostile nesting and length: parse errors naming the bound, never a crash.
#include <gtest/gtest.h>

#include <string>

#include "tarnel/grammar/parser.hpp"

namespace tarnel::grammar {
namespace {

std::string repeat(std::string_view s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

// Concatenation by appending (sidesteps a false -Wrestrict on literal + temporary).
template <class... Parts>
std::string cat(const Parts&... parts) {
    std::string out;
    ((out += parts), ...);
    return out;
}

std::string parens(std::size_t n, std::string_view inner) { return cat(repeat("(", n), inner, repeat(")", n)); }
std::string calls(std::size_t n) { return cat(repeat("f(", n), "1", repeat(")", n)); }
std::string nots(std::size_t n) { return cat(repeat("NOT ", n), "x > 1"); }
std::string sum_chain(std::size_t operators) { return cat("1", repeat("+1", operators)); }
std::string power_chain(std::size_t operators) { return cat(repeat("2^", operators), "2"); }
// `blocks` nested if-statements; the function body is one more block.
std::string nested_ifs(std::size_t blocks) {
    return cat("function f() { ", repeat("if a > 1 { ", blocks), "return 1", repeat(" } else { }", blocks), " }");
}

std::string message_of(const auto& result) { return result ? "ok" : result.error().message; }

struct Case {
    std::string label;
    std::string text;
    char kind;  // e expression, c condition, f function
    std::string expected;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

std::string run(const Case& c) {
    if (c.kind == 'c') return message_of(parse_condition(c.text));
    if (c.kind == 'f') return message_of(parse_function(c.text));
    return message_of(parse_expression(c.text));
}

class Bounds : public ::testing::TestWithParam<Case> {};
TEST_P(Bounds, AcceptUpToTheLimitAndNameItBeyond) { EXPECT_EQ(run(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Nesting, Bounds,
    ::testing::Values(
        Case{"parentheses at 256", parens(256, "1"), 'e', "ok"},
        Case{"parentheses at 257", parens(257, "1"), 'e', "error at 1:257: nesting deeper than 256 levels"},
        Case{"calls at 256", calls(256), 'e', "ok"},
        Case{"calls at 257", calls(257), 'e', "error at 1:514: nesting deeper than 256 levels"},
        Case{"condition parentheses at 256", parens(256, "x > 1"), 'c', "ok"},
        Case{"condition parentheses at 257", parens(257, "x > 1"), 'c', "error at 1:257: nesting deeper than 256 levels"},
        Case{"numeric parentheses in a comparison", cat(parens(256, "x"), " > 1"), 'c', "ok"},
        Case{"NOT at 256", nots(256), 'c', "ok"},
        Case{"NOT at 257", nots(257), 'c', "error at 1:1025: nesting deeper than 256 levels"},
        Case{"blocks at 256", nested_ifs(255), 'f', "ok"},
        Case{"blocks at 257", nested_ifs(256), 'f', cat("error at 1:", std::to_string(15 + 11 * 255 + 9 + 1), ": nesting deeper than 256 levels")},
        Case{"mixed kinds count together", cat(repeat("NOT (", 128), "x > 1", repeat(")", 128)), 'c', "ok"},
        Case{"mixed kinds beyond", cat(repeat("NOT (", 128), "(x > 1)", repeat(")", 128)), 'c',
             "error at 1:641: nesting deeper than 256 levels"},
        Case{"far beyond", parens(200000, "1"), 'e', "error at 1:257: nesting deeper than 256 levels"},
        Case{"far beyond in a condition", parens(200000, "x > 1"), 'c', "error at 1:257: nesting deeper than 256 levels"}));

INSTANTIATE_TEST_SUITE_P(
    TreeDepth, Bounds,
    ::testing::Values(Case{"sum of depth 1024", sum_chain(1023), 'e', "ok"},
                      Case{"sum of depth 1025", sum_chain(1024), 'e', "error at 1:2048: syntax tree deeper than 1024 levels"},
                      Case{"power of depth 1024", power_chain(1023), 'e', "ok"},
                      Case{"power of depth 1025", power_chain(1024), 'e', "error at 1:2049: syntax tree deeper than 1024 levels"},
                      Case{"comparison of depth 1024", cat(sum_chain(1022), " > 1"), 'c', "ok"},
                      Case{"comparison of depth 1025", cat(sum_chain(1023), " > 1"), 'c',
                           "error at 1:2046: syntax tree deeper than 1024 levels"},
                      Case{"conjunction chain", cat("x > 1", repeat(" AND x > 1", 1022)), 'c', "ok"},
                      Case{"conjunction chain beyond", cat("x > 1", repeat(" AND x > 1", 1023)), 'c',
                           "error at 1:10227: syntax tree deeper than 1024 levels"},
                      Case{"long power chain", power_chain(300000), 'e', "error at 1:2049: syntax tree deeper than 1024 levels"},
                      Case{"long sum chain", sum_chain(500000), 'e', "error at 1:2048: syntax tree deeper than 1024 levels"}));

TEST(Bounds, TreeAtTheDepthBoundCopiesComparesAndDestroys) {
    auto sum = parse_expression(sum_chain(1023));
    auto power = parse_expression(power_chain(1023));
    ASSERT_TRUE(sum && power);
    EXPECT_EQ(tree_depth(*sum), 1024U);
    EXPECT_EQ(tree_depth(*power), 1024U);
    NumExpr copy = *power;
    EXPECT_EQ(copy, *power);
    EXPECT_EQ(structural_hash(copy), structural_hash(*power));
    EXPECT_FALSE(copy.debug().empty());
    copy = *sum;
    EXPECT_EQ(copy, *sum);
}

TEST(Bounds, SmallerLimitsAreHonoured) {
    util::Limits limits;
    limits.max_nesting_depth = 2;
    limits.max_tree_depth = 3;
    limits.max_program_length = 16;
    EXPECT_EQ(message_of(parse_expression("((1))", limits)), "ok");
    EXPECT_EQ(message_of(parse_expression("f(g(h(1)))", limits)), "error at 1:6: nesting deeper than 2 levels");
    EXPECT_EQ(message_of(parse_expression("1+2+3", limits)), "ok");
    EXPECT_EQ(message_of(parse_expression("1+2+3+4", limits)), "error at 1:6: syntax tree deeper than 3 levels");
    EXPECT_EQ(message_of(parse_expression("1 + 2 + 3       ", limits)), "ok");
    EXPECT_EQ(message_of(parse_expression("1 + 2 + 3        ", limits)), "program text longer than 16 bytes");
}

TEST(Bounds, DefaultLengthLimitRefusesLongerPrograms) {
    std::string spaces(util::default_limits.max_program_length, ' ');
    EXPECT_NE(message_of(parse_expression(cat(spaces, "1"))).find("program text longer than 1048576 bytes"),
              std::string::npos);
}

TEST(Bounds, RememberedFailuresGiveTheSameReport) {
    // The inner comparison fails once as a numeric operand and again inside the
    // condition; the report must be that of a plain backtracking parse.
    EXPECT_EQ(message_of(parse_condition("((x > 1)")), R"x(error at 1:9: expected one of ")", "AND", "OR", "and", "or")x");
    EXPECT_EQ(message_of(parse_condition("(((x) > 1) AND (y >)")),
              R"(error at 1:20: expected one of "(", composed identifier, expression, float, identifier)");
}

}  // namespace
}  // namespace tarnel::grammar
