#include "tarnel/grammar/syntax_tree.hpp"

#include <gtest/gtest.h>

#include "tarnel/grammar/parser.hpp"

namespace tarnel::grammar {
namespace {

using Node = SyntaxTreeString;

// Substitutes the children into the placeholders; a single placeholder with
// several children stands for the argument list.
std::string readable(const Node& n) {
    std::string out;
    std::size_t child = 0;
    std::size_t placeholders = 0;
    for (std::size_t i = 0; i + 1 < n.name.size(); ++i)
        if (n.name.compare(i, 2, "{}") == 0) ++placeholders;
    for (std::size_t i = 0; i < n.name.size(); ++i) {
        if (n.name.compare(i, 2, "{}") != 0) {
            out += n.name[i];
            continue;
        }
        ++i;
        if (placeholders == 1) {
            for (; child < n.args.size(); ++child) {
                if (child) out += ", ";
                out += readable(n.args[child]);
            }
        } else if (child < n.args.size()) {
            out += readable(n.args[child++]);
        }
    }
    return out;
}

Node render_expression(std::string_view text) {
    auto tree = parse_expression(text);
    EXPECT_TRUE(tree.has_value()) << tree.error().message;
    auto r = syntax_tree_string(*tree);
    EXPECT_TRUE(r.has_value()) << r.error().message;
    return r ? *r : Node{};
}

Node render_condition(std::string_view text) {
    auto tree = parse_condition(text);
    EXPECT_TRUE(tree.has_value()) << tree.error().message;
    auto r = syntax_tree_string(*tree);
    EXPECT_TRUE(r.has_value()) << r.error().message;
    return r ? *r : Node{};
}

TEST(SyntaxTreeString, SumHasTwoLeafChildren) {
    EXPECT_EQ(render_expression("1 + 2"), (Node{"{} + {}", {Node{"1", {}}, Node{"2", {}}}}));
}

TEST(SyntaxTreeString, CallHasOnePlaceholderForAllArguments) {
    Node n = render_expression("max(a, 2.50)");
    EXPECT_EQ(n, (Node{"max({})", {Node{"a", {}}, Node{"2.50", {}}}}));
    EXPECT_EQ(render_expression("f()"), (Node{"f({})", {}}));
}

TEST(SyntaxTreeString, AggregationShowsSeriesAndWindow) {
    Node expected{"mean of {} between {}",
                  {Node{"pool.metric", {}},
                   Node{"between {} and {}", {Node{"t-{}", {Node{"days(7)", {}}}}, Node{"t", {}}}}}};
    EXPECT_EQ(render_expression("mean of pool.metric between t=t-days(7) and t"), expected);
}

TEST(SyntaxTreeString, ConnectivesAreLowerCase) {
    EXPECT_EQ(render_condition("a > 1 AND b < 1").name, "{} and {}");
    EXPECT_EQ(render_condition("a > 1 OR b < 1").name, "{} or {}");
    EXPECT_EQ(render_condition("NOT true").name, "not {}");
}

struct Case {
    std::string text;
    std::string readable;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.text; }

class ReadableExpression : public ::testing::TestWithParam<Case> {};
TEST_P(ReadableExpression, SubstitutesChildren) { EXPECT_EQ(readable(render_expression(GetParam().text)), GetParam().readable); }

INSTANTIATE_TEST_SUITE_P(
    Examples, ReadableExpression,
    ::testing::Values(Case{"1.50 - x * y / 2 ** 3", "1.50 - x * y / 2 ^ 3"},
                      Case{"(1 + 2) * 3", "1 + 2 * 3"},
                      Case{"f(g(1), h())", "f(g(1), h())"},
                      Case{R"(@a.b:{"p", k=v} + 1)", R"(a.b:{"p", k="v"} + 1)"},
                      Case{"m of a.b between t=t-1/365 and t=5", "m of a.b between between t-days(1) and 5"},
                      Case{"m of a.b between last_update and t=t-weeks(2)", "m of a.b between between last_update and t-weeks(2)"},
                      Case{"m of a.b between t=t-hours(1) and t=t-minutes(5)", "m of a.b between between t-hours(1) and t-minutes(5)"}));

class ReadableCondition : public ::testing::TestWithParam<Case> {};
TEST_P(ReadableCondition, SubstitutesChildren) { EXPECT_EQ(readable(render_condition(GetParam().text)), GetParam().readable); }

INSTANTIATE_TEST_SUITE_P(
    Examples, ReadableCondition,
    ::testing::Values(Case{"NOT a <= 1 OR b >= 2 AND c = 3 AND d < 4", "not a <= 1 or b >= 2 and c = 3 and d < 4"},
                      Case{"a > 1 and true", "a > 1 and true"},
                      Case{"not (false)", "not false"}));

TEST(SyntaxTreeString, NodesTheParserNeverBuilds) {
    EXPECT_EQ(syntax_tree_string(NumExpr::literal(decimal::Decimal::absent())), (Node{"NaN", {}}));
    EXPECT_EQ(syntax_tree_string(NumExpr::identifier(Identifier::local("v"))), (Node{"v", {}}));
    NumExpr call1 = NumExpr::Aggregation{"m", VecExpr::Call1{"abs", Identifier::local("v")},
                                         Window{BoundExpr::ExactTime{decimal::Decimal::absent()}, BoundExpr::CurrentTime{}}};
    EXPECT_EQ(readable(*syntax_tree_string(call1)), "m of abs(v) between between NaN and t");
    auto ne = make_comparison<BoolExpr::Ne>(NumExpr::identifier(Identifier::local("a")),
                                            NumExpr::identifier(Identifier::local("b")));
    EXPECT_EQ(syntax_tree_string(ne)->name, "{} != {}");
    EXPECT_EQ(syntax_tree_string(BoolExpr::literal(false)), (Node{"false", {}}));
}

class OnlyField final : public fields::Field {
public:
    std::string debug() const override { return "OnlyField"; }
    std::shared_ptr<const Field> clone() const override { return std::make_shared<OnlyField>(); }
    bool dyn_eq(const Field& other) const override { return dynamic_cast<const OnlyField*>(&other) != nullptr; }
    void dyn_hash(util::SipHasher13&) const override {}
    std::string_view tag_name() const override { return "OnlyField"; }
    persist::Value to_persisted() const override { return {}; }
};

TEST(SyntaxTreeString, BoundFieldIsAnErrorWherever) {
    Identifier field = Identifier::field(
        fields::SimulationField(fields::BaseField{fields::DynField(std::make_shared<OnlyField>())}));
    const std::string message = "Should be visited before semantic transformation";
    NumExpr plain = NumExpr::identifier(field);
    NumExpr nested = NumExpr::call("f", {NumExpr::literal(*decimal::Decimal::from_str("1")), make_binary<NumExpr::Add>(plain, plain)});
    NumExpr series = NumExpr::Aggregation{"m", VecExpr::Identifier{field}, Window{}};
    BoolExpr condition = BoolExpr::negation(make_comparison<BoolExpr::Gt>(nested, plain));
    EXPECT_EQ(syntax_tree_string(plain).error().message, message);
    EXPECT_EQ(syntax_tree_string(nested).error().message, message);
    EXPECT_EQ(syntax_tree_string(series).error().message, message);
    EXPECT_EQ(syntax_tree_string(condition).error().message, message);
}

}  // namespace
}  // namespace tarnel::grammar
