#include <gtest/gtest.h>

#include <unordered_set>

#include "tarnel/grammar/condition.hpp"
#include "tarnel/grammar/expression.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/grammar/statement.hpp"

namespace tarnel::grammar {
namespace {

using decimal::Decimal;

Decimal dec(std::string_view text) { return *Decimal::from_str(text); }

NumExpr expr(std::string_view text) {
    auto r = parse_expression(text);
    EXPECT_TRUE(r.has_value()) << text << ": " << r.error().message;
    return r ? std::move(*r) : NumExpr();
}

BoolExpr cond(std::string_view text) {
    auto r = parse_condition(text);
    EXPECT_TRUE(r.has_value()) << text << ": " << r.error().message;
    return r ? std::move(*r) : BoolExpr();
}

// A field of the tests' own, so bound identifiers can be built.
class TestField final : public fields::Field {
public:
    explicit TestField(int v) : v_(v) {}
    std::string debug() const override { return "TestField(" + std::to_string(v_) + ")"; }
    std::shared_ptr<const Field> clone() const override { return std::make_shared<TestField>(v_); }
    bool dyn_eq(const Field& other) const override {
        const auto* o = dynamic_cast<const TestField*>(&other);
        return o != nullptr && o->v_ == v_;
    }
    void dyn_hash(util::SipHasher13& h) const override { h.write_i64(v_); }
    std::string_view tag_name() const override { return "TestField"; }
    persist::Value to_persisted() const override { return persist::Value(v_); }

private:
    int v_;
};

Identifier field_identifier(int v) {
    return Identifier::field(fields::SimulationField(fields::BaseField{fields::DynField(std::make_shared<TestField>(v))}));
}

// ---- diagnostic text ---------------------------------------------------------

struct DebugCase {
    std::string label;
    std::string text;
    std::string expected;
};
void PrintTo(const DebugCase& c, std::ostream* os) { *os << c.label; }

class DiagnosticText : public ::testing::TestWithParam<DebugCase> {};

std::string debug_of(const DebugCase& c) {
    if (c.label.starts_with("cond")) return cond(c.text).debug();
    if (c.label.starts_with("func")) {
        auto f = parse_function(c.text);
        return f ? debug_statements(f->statements) : f.error().message;
    }
    return expr(c.text).debug();
}

TEST_P(DiagnosticText, IsWrittenExactly) { EXPECT_EQ(debug_of(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Parsed, DiagnosticText,
    ::testing::Values(
        DebugCase{"aggregation", "mean of pool.metric between t=t-days(7) and t",
                  R"(Aggregation("mean", Identifier(Unchecked(RawIdentifier { name: "pool.metric", options: [], position: 8 })), Window { begin: DelayedCurrentTime(Days(7)), end: CurrentTime }))"},
        DebugCase{"call", R"(f(1.50, a.b:{"v", k="w"}))",
                  R"(Call("f", [Literal(Normal(1.50)), Identifier(Unchecked(RawIdentifier { name: "a.b", options: [(Positional, String("v")), (Named("k"), String("w"))], position: 8 }))]))"},
        DebugCase{"operators", "1 - 2 / 3 ^ 4 * 5 + 6",
                  "Add(Sub(Literal(Normal(1)), Mul(Div(Literal(Normal(2)), Pow(Literal(Normal(3)), Literal(Normal(4)))), "
                  "Literal(Normal(5)))), Literal(Normal(6)))"},
        DebugCase{"windows", "m of a.b between last_update and t=-0.5",
                  R"(Aggregation("m", Identifier(Unchecked(RawIdentifier { name: "a.b", options: [], position: 5 })), Window { begin: LastUpdate, end: ExactTime(Normal(-0.5)) }))"},
        DebugCase{"durations", "m of a.b between t=t-weeks(1) and t=t-minutes(30)",
                  R"(Aggregation("m", Identifier(Unchecked(RawIdentifier { name: "a.b", options: [], position: 5 })), Window { begin: DelayedCurrentTime(Weeks(1)), end: DelayedCurrentTime(Minutes(30)) }))"},
        DebugCase{"escaped option value", "a.b:{\"q\\\tz\"}",
                  R"(Identifier(Unchecked(RawIdentifier { name: "a.b", options: [(Positional, String("q\\\tz"))], position: 0 })))"},
        DebugCase{"condition", "not x >= -2 OR true",
                  R"(Or(Not(Ge(Identifier(Unchecked(RawIdentifier { name: "x", options: [], position: 4 })), Literal(Normal(-2)))), Literal(true)))"},
        DebugCase{"condition connectives", "false and a < 1",
                  R"(And(Literal(false), Lt(Identifier(Unchecked(RawIdentifier { name: "a", options: [], position: 10 })), Literal(Normal(1)))))"},
        DebugCase{"function", "function f() { v = 2; if true { } else { return v } }",
                  R"([Assign("v", Literal(Normal(2))), IfElse(Literal(true), [], [Return(Identifier(Unchecked(RawIdentifier { name: "v", options: [], position: 48 })))])])"}));

TEST(DiagnosticText, NodesTheParserNeverBuilds) {
    EXPECT_EQ(NumExpr::literal(Decimal::absent()).debug(), "Literal(NaN)");
    EXPECT_EQ(NumExpr::identifier(Identifier::local("q\"\n")).debug(), R"(Identifier(Local("q\"\n")))");
    EXPECT_EQ(make_comparison<BoolExpr::Ne>(NumExpr::literal(dec("1")), NumExpr::literal(dec("2"))).debug(),
              "Ne(Literal(Normal(1)), Literal(Normal(2)))");
    EXPECT_EQ(VecExpr(VecExpr::Call1{"abs", Identifier::local("v")}).debug(), R"(Call1("abs", Local("v")))");
    EXPECT_EQ(BoundExpr(BoundExpr::ExactTime{Decimal::absent()}).debug(), "ExactTime(NaN)");
    EXPECT_EQ(TimeExpr(TimeExpr::Hours{-3}).debug(), "Hours(-3)");
    EXPECT_EQ(Statement(Statement::IfElse{BoolExpr::literal(false), {}, {}}).debug(), "IfElse(Literal(false), [], [])");
    EXPECT_EQ(field_identifier(3).debug(), "Field(BaseField { field: DynField(TestField(3)) })");
}

TEST(DiagnosticText, CompiledRecordsShowTheSignatureInSixteenHexColumns) {
    EXPECT_EQ((Expression{NumExpr::literal(dec("1")), 0xAB}).debug(),
              "Expression { tree: Literal(Normal(1)), parameter_signature:               AB }");
    EXPECT_EQ((Condition{BoolExpr::literal(true), 0x0123456789ABCDEFULL}).debug(),
              "Condition { tree: Literal(true), parameter_signature:  123456789ABCDEF }");
    EXPECT_EQ((Condition{BoolExpr::literal(true), 0xFEDCBA9876543210ULL}).debug(),
              "Condition { tree: Literal(true), parameter_signature: FEDCBA9876543210 }");
}

// ---- display of raw identifiers -------------------------------------------------

TEST(RawIdentifierDisplay, WritesOptionsQuotedWithoutEscapes) {
    RawIdentifier bare{"pool.metric", {}, 3};
    EXPECT_EQ(bare.display(), "pool.metric");
    RawIdentifier one{"a.b", {{OptionName::positional(), OptionValue::string("USDC")}}, 0};
    EXPECT_EQ(one.display(), R"(a.b:{"USDC"})");
    RawIdentifier mixed{"a.b.c",
                        {{OptionName::named("k"), OptionValue::string("x\\y")},
                         {OptionName::positional(), OptionValue::string("p, q")}},
                        0};
    EXPECT_EQ(mixed.display(), R"(a.b.c:{k="x\y", "p, q"})");
}

// ---- equality and hashing ---------------------------------------------------------

template <class T>
std::uint64_t fed(const T& value) {
    util::SipHasher13 h;
    value.hash_feed(h);
    return h.finish();
}

TEST(StructuralHash, SameNameAtTwoOffsetsDiffers) {
    auto sum = expr("x + x");
    const auto& add = std::get<NumExpr::Add>(sum.variant());
    EXPECT_NE(*add.left, *add.right);
    EXPECT_NE(structural_hash(*add.left), structural_hash(*add.right));
    EXPECT_EQ(expr("x + x"), sum);
    EXPECT_EQ(structural_hash(expr("x + x")), structural_hash(sum));
}

TEST(StructuralHash, NumericallyEqualLiteralsAreEqualAndHashAlike) {
    EXPECT_EQ(expr("1.50"), expr("1.5"));
    EXPECT_EQ(structural_hash(expr("1.50")), structural_hash(expr("1.5")));
    EXPECT_NE(expr("1.5"), expr("1.6"));
}

TEST(StructuralHash, DistinguishesEveryPayload) {
    const std::vector<std::string> texts{"a + b", "a - b", "a * b", "a / b", "a ^ b", "b + a", "f(a)", "f(a, a)",
                                         "g(a)",  "f()",   "a.b",   "a.c",   "a.b:{x}", "a.b:{k=x}", "a.b:{k=y}",
                                         "m of a.b between t and t", "m of a.b between last_update and t",
                                         "n of a.b between t and t", "m of a.b between t=t-days(1) and t",
                                         "m of a.b between t=t-hours(1) and t", "m of a.b between t=t-days(2) and t",
                                         "m of a.b between t=1 and t"};
    std::unordered_set<std::uint64_t> hashes;
    for (const auto& t : texts) hashes.insert(structural_hash(expr(t)));
    EXPECT_EQ(hashes.size(), texts.size());
}

TEST(StructuralHash, FeedsFieldsInDeclaredOrder) {
    util::SipHasher13 h;
    h.write_index(1);  // NumExpr::Identifier
    h.write_index(0);  // Identifier::Unchecked
    h.write_str("a.b");
    h.write_index(2);  // two options
    h.write_index(0);  // Positional
    h.write_index(0);  // OptionValue::String
    h.write_str("p");
    h.write_index(1);  // Named
    h.write_str("k");
    h.write_index(0);
    h.write_str("v");
    h.write_u64(2);  // position
    EXPECT_EQ(structural_hash(expr("  a.b:{p, k=v}")), h.finish());

    util::SipHasher13 c;
    c.write_index(7);  // Call
    c.write_str("f");
    c.write_index(1);
    c.write_index(0);  // Literal
    dec("2.0").hash_feed(c);
    EXPECT_EQ(structural_hash(expr("f(2.0)")), c.finish());

    util::SipHasher13 w;
    w.write_index(2);  // DelayedCurrentTime
    w.write_index(1);  // Days
    w.write_i64(7);
    w.write_index(1);  // CurrentTime
    EXPECT_EQ(structural_hash(Window{BoundExpr::DelayedCurrentTime{TimeExpr::Days{7}}, BoundExpr::CurrentTime{}}),
              w.finish());

    util::SipHasher13 s;
    s.write_index(1);  // IfElse
    s.write_index(9);  // BoolExpr::Literal
    s.write_bool(true);
    s.write_index(0);
    s.write_index(1);
    s.write_index(0);  // Assign
    s.write_str("v");
    s.write_index(0);
    Decimal::absent().hash_feed(s);
    Statement st = Statement::IfElse{BoolExpr::literal(true), {}, {Statement::Assign{"v", NumExpr()}}};
    EXPECT_EQ(structural_hash(st), s.finish());

    util::SipHasher13 v;
    v.write_index(1);  // Call1
    v.write_str("abs");
    v.write_index(2);  // Local
    v.write_str("x");
    EXPECT_EQ(structural_hash(VecExpr(VecExpr::Call1{"abs", Identifier::local("x")})), v.finish());
}

TEST(StructuralHash, FieldIdentifiersCompareByField) {
    EXPECT_EQ(field_identifier(1), field_identifier(1));
    EXPECT_EQ(structural_hash(field_identifier(1)), structural_hash(field_identifier(1)));
    EXPECT_NE(field_identifier(1), field_identifier(2));
    EXPECT_NE(field_identifier(1), Identifier::local("x"));
}

TEST(StructuralHash, WindowsKeyHashSets) {
    std::unordered_set<Window> windows;
    windows.insert(Window{BoundExpr::DelayedCurrentTime{TimeExpr::Days{7}}, BoundExpr::CurrentTime{}});
    windows.insert(Window{BoundExpr::DelayedCurrentTime{TimeExpr::Days{7}}, BoundExpr::CurrentTime{}});
    windows.insert(Window{BoundExpr::DelayedCurrentTime{TimeExpr::Weeks{1}}, BoundExpr::CurrentTime{}});
    EXPECT_EQ(windows.size(), 2U);
}

// ---- ownership ----------------------------------------------------------------------

TEST(DeepCopy, SharesNoStorageWithTheOriginal) {
    NumExpr original = expr("mean of pool.metric:{k=v} between t=t-days(7) and t + 1");
    NumExpr copy = original;
    EXPECT_EQ(copy, original);
    auto& add = std::get<NumExpr::Add>(copy.variant());
    const auto& original_add = std::get<NumExpr::Add>(original.variant());
    EXPECT_NE(add.left.get(), original_add.left.get());
    auto& aggregation = std::get<NumExpr::Aggregation>(add.left->variant());
    std::get<Identifier::Unchecked>(aggregation.series.identifier().variant()).raw.options.clear();
    aggregation.window.begin = BoundExpr::LastUpdate{};
    EXPECT_NE(copy, original);
    EXPECT_EQ(original, expr("mean of pool.metric:{k=v} between t=t-days(7) and t + 1"));
}

TEST(DeepCopy, AssignmentReplacesTheWholeSubtree) {
    NumExpr a = expr("1 + (2 * 3)");
    NumExpr b = expr("f(x)");
    b = a;
    EXPECT_EQ(b, a);
    std::get<NumExpr::Add>(b.variant()).right = Box<NumExpr>(NumExpr::literal(dec("9")));
    EXPECT_EQ(a, expr("1 + (2 * 3)"));
}

// ---- depth ----------------------------------------------------------------------------

struct DepthCase {
    std::string kind;
    std::string text;
    std::size_t depth;
};
void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.text; }

class TreeDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(TreeDepth, CountsNestedNodeLevels) {
    const auto& c = GetParam();
    if (c.kind == "num") {
        EXPECT_EQ(tree_depth(expr(c.text)), c.depth);
    } else if (c.kind == "bool") {
        EXPECT_EQ(tree_depth(cond(c.text)), c.depth);
    }
    if (c.kind == "func") {
        auto f = parse_function(c.text);
        ASSERT_TRUE(f.has_value()) << f.error().message;
        EXPECT_EQ(tree_depth(f->statements), c.depth);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TreeDepth,
    ::testing::Values(DepthCase{"num", "1", 1}, DepthCase{"num", "((1))", 1}, DepthCase{"num", "1+2", 2},
                      DepthCase{"num", "1+2+3*4", 3}, DepthCase{"num", "f()", 1}, DepthCase{"num", "f(1, g(2+3))", 4},
                      DepthCase{"num", "mean of a.b between t and t", 1}, DepthCase{"bool", "a > 1", 2},
                      DepthCase{"bool", "NOT a > 1 + 2", 4}, DepthCase{"bool", "true or false and true", 3},
                      DepthCase{"func", "function f() { }", 0},
                      DepthCase{"func", "function f() { x = 1; if a > b { return a + 1 } else { } }", 4}));

}  // namespace
}  // namespace tarnel::grammar
