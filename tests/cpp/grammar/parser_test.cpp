#include "tarnel/grammar/parser.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tree_shape.hpp"

namespace tarnel::grammar {
namespace {

using testing::shape;

struct Case {
    std::string text;
    std::string expected;  // shape of the tree, or the error message
};

void PrintTo(const Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

std::string outcome(const util::Result<NumExpr>& r) { return r ? shape(*r) : "error: " + r.error().message; }
std::string outcome(const util::Result<BoolExpr>& r) { return r ? shape(*r) : "error: " + r.error().message; }
std::string outcome(const util::Result<FunctionDefinition>& r) {
    if (!r) return "error: " + r.error().message;
    std::string args;
    for (const auto& a : r->args) args += (args.empty() ? "" : ",") + a;
    return r->name + "(" + args + ") " + shape(r->statements);
}

const std::string atom_names = R"(one of "(", composed identifier, float, identifier)";
const std::string expression_names = R"(one of "(", composed identifier, expression, float, identifier)";
const std::string condition_names =
    R"(one of "(", "NOT", "false", "not", "true", composed identifier, expression, float, identifier)";
const std::string address = "0x" + std::string(20, 'a') + std::string(20, 'F');

// ---------------------------------------------------------------------------

class ExpressionParse : public ::testing::TestWithParam<Case> {};

TEST_P(ExpressionParse, GivesTreeOrMessage) {
    EXPECT_EQ(outcome(parse_expression(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, ExpressionParse,
    ::testing::Values(Case{"1+2*3^2^0.5", "Add(1, Mul(2, Pow(3, Pow(2, 0.5))))"},
                      Case{"8/2/2", "Div(Div(8, 2), 2)"},
                      Case{"8-2-2", "Sub(Sub(8, 2), 2)"},
                      Case{"2 ** 3", "Pow(2, 3)"},
                      Case{"2^3", "Pow(2, 3)"},
                      Case{"2**3**2", "Pow(2, Pow(3, 2))"},
                      Case{"2 * 3 ** 2", "Mul(2, Pow(3, 2))"},
                      Case{"2 ** 3 * 2", "Mul(Pow(2, 3), 2)"},
                      Case{"1 - 2 * 3 + 4", "Add(Sub(1, Mul(2, 3)), 4)"},
                      Case{"(1 + 2) * 3", "Mul(Add(1, 2), 3)"},
                      Case{" \t\n( ( x ) )\n", "x"},
                      Case{"1 - -2", "Sub(1, -2)"},
                      Case{"2*-3", "Mul(2, -3)"},
                      Case{"1-2", "Sub(1, 2)"}));

INSTANTIATE_TEST_SUITE_P(
    Atoms, ExpressionParse,
    ::testing::Values(Case{"x", "x"},
                      Case{"@pool.metric", "pool.metric"},
                      Case{"a.b.c", "a.b.c"},
                      Case{address + ".net_position", address + ".net_position"},
                      Case{"f()", "Call(f, [])"},
                      Case{"max(a, b.c, 1)", "Call(max, [a, b.c, 1])"},
                      Case{"f ( g(1) ,2 )", "Call(f, [Call(g, [1]), 2])"},
                      Case{"1.5e3", "1500"},
                      Case{"1.", "1"},
                      Case{"+5", "5"},
                      Case{"0.050", "0.050"},
                      Case{"1.5E-2", "0.015"},
                      Case{"true", "true"},
                      Case{"a.b:{}", "a.b"},
                      Case{"a.b:{ }", "a.b"},
                      Case{R"(pool.total_volume:{"USDC"})", R"(pool.total_volume:{"USDC"})"},
                      Case{R"(a.b:{ "x, y" , k = v })", R"(a.b:{"x, y", k="v"})"},
                      Case{R"(a.b:{k="1.5"})", R"(a.b:{k="1.5"})"},
                      Case{R"(a.b:{"a=\b{}"})", R"(a.b:{"a=\b{}"})"},
                      Case{"a.b.", "error: error at 1:4: expected one of \"*\", \"**\", \"+\", \"-\", \"/\", "
                                   "\":{\", \"^\", EOF, metric options"}));

INSTANTIATE_TEST_SUITE_P(
    Aggregations, ExpressionParse,
    ::testing::Values(
        Case{"mean of pool.metric between t=t-days(7) and t",
             "Aggregation(mean, pool.metric, DelayedCurrentTime(Days(7)), CurrentTime)"},
        Case{"sharpe of @a.b:{k=v} between t=t-1/365 and last_update",
             R"(Aggregation(sharpe, a.b:{k="v"}, DelayedCurrentTime(Days(1)), LastUpdate))"},
        Case{"m of a.b between t=t- weeks( 2 ) and t=5.5",
             "Aggregation(m, a.b, DelayedCurrentTime(Weeks(2)), ExactTime(Normal(5.5)))"},
        Case{"m of a.b between t=t-hours(3) and t=-1",
             "Aggregation(m, a.b, DelayedCurrentTime(Hours(3)), ExactTime(Normal(-1)))"},
        Case{"m of a.b between t=t-minutes(0) and t + 1",
             "Add(Aggregation(m, a.b, DelayedCurrentTime(Minutes(0)), CurrentTime), 1)"},
        Case{"mean of pool.metric between t=t-days(7) AND t",
             R"(error: error at 1:41: expected "and")"},
        Case{"mean of metric between t and t", R"(error: error at 1:9: expected composed identifier)"},
        Case{"m of a.b between t = t-days(7) and t", R"(error: error at 1:20: expected "and")"},
        Case{"m of a.b between t=t-days(-7) and t", "error: error at 1:27: expected integer"},
        Case{"m of a.b between t=t-day(7) and t",
             R"(error: error at 1:22: expected one of "days(", "hours(", "minutes(", "weeks(")"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, ExpressionParse,
    ::testing::Values(Case{"1 +", "error: error at 1:4: expected " + atom_names},
                      Case{"-x", "error: error at 1:1: expected " + expression_names},
                      Case{"-(1)", "error: error at 1:1: expected " + expression_names},
                      Case{"f( )", "error: error at 1:4: expected " + expression_names},
                      Case{"f(1,)", "error: error at 1:5: expected " + expression_names},
                      Case{"", "error: error at 1:1: expected " + expression_names},
                      Case{"   ", "error: error at 1:4: expected " + expression_names},
                      Case{"1\r", R"(error: error at 1:2: expected one of "*", "**", "+", "-", "/", "^", EOF)"},
                      Case{"1 +\n  * 2", "error: error at 2:3: expected " + atom_names},
                      Case{"a.b:{\"\xc3\xa9\"} +", "error: error at 1:12: expected " + atom_names},
                      Case{"007", R"(error: error at 1:2: expected one of "*", "**", "+", "-", "/", "^", EOF)"},
                      Case{"a.b:{k=1}", "error: error at 1:7: expected one of end of option '}', option separator ','"},
                      Case{"a.b:{k=v,}", "error: error at 1:10: expected metric option"},
                      Case{"(1", R"x(error: error at 1:3: expected one of ")", "*", "**", "+", "-", "/", "^")x"},
                      Case{"@x", "error: error at 1:2: expected composed identifier"}));

INSTANTIATE_TEST_SUITE_P(
    NumberLiterals, ExpressionParse,
    ::testing::Values(
        Case{"9223372036854775807", "9223372036854775807"},
        Case{"9223372036854775808",
             "error: error at 1:1: number out of range while parsing integer number '9223372036854775808'"},
        Case{"1 + -99999999999999999999.5",
             "error: error at 1:6: number out of range while parsing integer number '99999999999999999999'"},
        Case{"1e99999999999999999999",
             "error: error at 1:3: number out of range while parsing integer number '99999999999999999999'"},
        Case{"1e29", "error: error at 1:1: number out of range while parsing float number '1e29'"},
        Case{"2 * 1.5e-40", "error: error at 1:5: number out of range while parsing float number '1.5e-40'"},
        Case{"m of a.b between t=t-days(99999999999999999999) and t",
             "error: error at 1:27: number out of range while parsing integer number '99999999999999999999'"}));

TEST(ExpressionParse, RecordsByteOffsetOfTheName) {
    auto e = parse_expression("  1 + @pool.metric:{\"v\"} * x");
    ASSERT_TRUE(e.has_value());
    const auto& add = std::get<NumExpr::Add>(e->variant());
    const auto& mul = std::get<NumExpr::Mul>(add.right->variant());
    const auto& pool = std::get<NumExpr::Identifier>(mul.left->variant()).identifier;
    const auto& x = std::get<NumExpr::Identifier>(mul.right->variant()).identifier;
    EXPECT_EQ(std::get<Identifier::Unchecked>(pool.variant()).raw.position, 7U);
    EXPECT_EQ(std::get<Identifier::Unchecked>(x.variant()).raw.position, 27U);
}

TEST(ExpressionParse, KeepsOptionsInWrittenOrder) {
    auto e = parse_expression(R"(a.b:{z="1", "p", a=b})");
    ASSERT_TRUE(e.has_value());
    const auto& raw = std::get<Identifier::Unchecked>(std::get<NumExpr::Identifier>(e->variant()).identifier.variant()).raw;
    ASSERT_EQ(raw.options.size(), 3U);
    EXPECT_EQ(raw.options[0], IdentifierOption(OptionName::named("z"), OptionValue::string("1")));
    EXPECT_EQ(raw.options[1], IdentifierOption(OptionName::positional(), OptionValue::string("p")));
    EXPECT_EQ(raw.options[2], IdentifierOption(OptionName::named("a"), OptionValue::string("b")));
}

// ---------------------------------------------------------------------------

class ConditionParse : public ::testing::TestWithParam<Case> {};

TEST_P(ConditionParse, GivesTreeOrMessage) { EXPECT_EQ(outcome(parse_condition(GetParam().text)), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Connectives, ConditionParse,
    ::testing::Values(Case{"x = 1 AND y = 2 OR NOT z = 3", "Or(And(Eq(x, 1), Eq(y, 2)), Not(Eq(z, 3)))"},
                      Case{"a > 1 or b > 2 and c > 3", "Or(Gt(a, 1), And(Gt(b, 2), Gt(c, 3)))"},
                      Case{"a > 1 OR b > 2 OR c > 3", "Or(Or(Gt(a, 1), Gt(b, 2)), Gt(c, 3))"},
                      Case{"a > 1 and b > 2 AND c > 3", "And(And(Gt(a, 1), Gt(b, 2)), Gt(c, 3))"},
                      Case{"NOT x > 1 AND y > 1", "And(Not(Gt(x, 1)), Gt(y, 1))"},
                      Case{"NOT NOT true", "Not(Not(true))"},
                      Case{"not(x > 1)", "Not(Gt(x, 1))"},
                      Case{"NOT (a > 1 OR b > 1)", "Not(Or(Gt(a, 1), Gt(b, 1)))"},
                      Case{"a > 1 andy > 2", "And(Gt(a, 1), Gt(y, 2))"},
                      Case{"a > 1 ORb > 2", "Or(Gt(a, 1), Gt(b, 2))"},
                      Case{"true", "true"},
                      Case{" false ", "false"},
                      Case{"true AND false", "And(true, false)"}));

INSTANTIATE_TEST_SUITE_P(
    Comparisons, ConditionParse,
    ::testing::Values(Case{"a = b", "Eq(a, b)"},
                      Case{"a < b", "Lt(a, b)"},
                      Case{"a <= b", "Le(a, b)"},
                      Case{"a > b", "Gt(a, b)"},
                      Case{"a >= b", "Ge(a, b)"},
                      Case{"a>=-1", "Ge(a, -1)"},
                      Case{"NOTE > 1", "Gt(NOTE, 1)"},
                      Case{"true = x", "Eq(true, x)"},
                      Case{"(a + 1) > b", "Gt(Add(a, 1), b)"},
                      Case{"((a > 1))", "Gt(a, 1)"},
                      Case{"((a) + 1) > (b)", "Gt(Add(a, 1), b)"},
                      Case{"f(x) * 2 < mean of p.m between t=t-days(1) and t",
                           "Lt(Mul(Call(f, [x]), 2), Aggregation(mean, p.m, DelayedCurrentTime(Days(1)), CurrentTime))"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, ConditionParse,
    ::testing::Values(Case{"", "error: error at 1:1: expected " + condition_names},
                      Case{"  ", "error: error at 1:3: expected " + condition_names},
                      Case{"x > 1 AND", "error: error at 1:10: expected " + condition_names},
                      Case{"a == b", "error: error at 1:4: expected " + expression_names},
                      Case{"a != b", R"x(error: error at 1:3: expected one of "(", "*", "**", "+", "-", "/", "<", "<=", "=", ">", ">=", "^", "of")x"},
                      Case{"x", R"x(error: error at 1:2: expected one of "(", "*", "**", "+", "-", "/", "<", "<=", "=", ">", ">=", "^", "of")x"},
                      Case{"x > 1\r", R"(error: error at 1:6: expected one of "*", "**", "+", "-", "/", "AND", "OR", "^", "and", "or", EOF)"},
                      Case{"trueness", R"x(error: error at 1:9: expected one of "(", "*", "**", "+", "-", "/", "<", "<=", "=", ">", ">=", "^", "of")x"}));

// ---------------------------------------------------------------------------

class FunctionParse : public ::testing::TestWithParam<Case> {};

TEST_P(FunctionParse, GivesDefinitionOrMessage) {
    EXPECT_EQ(outcome(parse_function(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, FunctionParse,
    ::testing::Values(
        Case{"function f(a, b) { x = 1; return x }", "f(a,b) [Assign(x, 1), Return(x)]"},
        Case{"function f(a, b) { x = 1; return x; }", "f(a,b) [Assign(x, 1), Return(x)]"},
        Case{"\n function f() {}\n", "f() []"},
        Case{"function f( a ,b ) { ; }", "f(a,b) []"},
        Case{"function f() { ;; }", R"(error: error at 1:17: expected "}")"},
        Case{"function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }",
             "spread(a,b) [Assign(d, Sub(a, b)), IfElse(Gt(d, 0), [Return(d)], [Return(Sub(0, d))])]"},
        Case{"function f(x) { if x > 0 { } else { if x < 0 { return 1 } else { return 2 } } }",
             "f(x) [IfElse(Gt(x, 0), [], [IfElse(Lt(x, 0), [Return(1)], [Return(2)])])]"},
        Case{"function f() { return = 1; if = 2; return return + if }",
             "f() [Assign(return, 1), Assign(if, 2), Return(Add(return, if))]"},
        Case{"function f() { returnx }", "f() [Return(x)]"},
        Case{"functionf(){return 1}", "f() [Return(1)]"},
        Case{"function f() { if a = 1 { return 1 } else { return 2 } return 3 }",
             R"(error: error at 1:56: expected one of ";", "}")"},
        Case{"function f() { if a = 1 { return 1 } }", R"(error: error at 1:38: expected "else")"},
        Case{"function f( ) { }", "error: error at 1:13: expected identifier"},
        Case{"function f(a,) { }", "error: error at 1:14: expected identifier"},
        Case{"function f() { } x", "error: error at 1:18: expected EOF"},
        Case{"fun f() {}", R"(error: error at 1:1: expected "function")"}));

}  // namespace
}  // namespace tarnel::grammar
