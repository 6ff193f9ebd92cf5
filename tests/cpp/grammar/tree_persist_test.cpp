#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/grammar/tree_persist.hpp"
#include "tarnel/persist/codecs.hpp"

namespace tarnel::grammar {
namespace {

using decimal::Decimal;
using persist::Array;
using persist::Map;
using persist::Value;
using Bytes8 = std::vector<std::uint8_t>;

Decimal dec(std::string_view text) { return *Decimal::from_str(text); }

Value json_value(std::string_view text) {
    auto v = persist::from_json(text);
    EXPECT_TRUE(v.has_value()) << text << ": " << v.error().message;
    return v ? std::move(*v) : Value();
}

// The JSON text as the MessagePack decoder would hand it over: no positions.
Value mp_value(std::string_view json_text) {
    auto bytes = persist::to_msgpack(json_value(json_text));
    EXPECT_TRUE(bytes.has_value());
    auto v = persist::from_msgpack(*bytes);
    EXPECT_TRUE(v.has_value()) << v.error().message;
    return v ? std::move(*v) : Value();
}

std::string json_text(const Value& v) {
    auto text = persist::to_json(v);
    EXPECT_TRUE(text.has_value());
    return text ? *text : std::string();
}

Value tagged(std::string_view name, Value payload) {
    Map m;
    m.emplace_back(Value(std::string(name)), std::move(payload));
    return Value(std::move(m));
}

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

template <class T>
util::Result<Value> again(util::Result<T> read) {
    if (!read) return std::unexpected(std::move(read.error()));
    return to_persisted(*read);
}

using Reread = std::function<util::Result<Value>(const Value&)>;
const Reread as_num = [](const Value& v) { return again(num_expr_from_persisted(v)); };
const Reread as_bool = [](const Value& v) { return again(bool_expr_from_persisted(v)); };
const Reread as_statement = [](const Value& v) { return again(statement_from_persisted(v)); };
const Reread as_window = [](const Value& v) { return again(window_from_persisted(v)); };
const Reread as_bound = [](const Value& v) { return again(bound_expr_from_persisted(v)); };
const Reread as_vec = [](const Value& v) { return again(vec_expr_from_persisted(v)); };
const Reread as_identifier = [](const Value& v) { return again(identifier_from_persisted(v)); };
const Reread as_raw = [](const Value& v) { return again(raw_identifier_from_persisted(v)); };
const Reread as_expression = [](const Value& v) { return again(expression_from_persisted(v)); };
const Reread as_condition = [](const Value& v) { return again(condition_from_persisted(v)); };

// ---- Written form: exact JSON, and the same value back from both encodings.

struct WrittenCase {
    const char* name;
    Value written;
    std::string json;
    Reread reread;
};

class WrittenForm : public ::testing::TestWithParam<WrittenCase> {};

TEST_P(WrittenForm, JsonTextIsExact) { EXPECT_EQ(json_text(GetParam().written), GetParam().json); }

TEST_P(WrittenForm, ReadsBackFromJson) {
    const auto& c = GetParam();
    auto back = c.reread(json_value(c.json));
    ASSERT_TRUE(back.has_value()) << back.error().message;
    EXPECT_EQ(json_text(*back), c.json);
}

TEST_P(WrittenForm, ReadsBackFromMessagePack) {
    const auto& c = GetParam();
    auto bytes = persist::to_msgpack(c.written);
    ASSERT_TRUE(bytes.has_value());
    auto decoded = persist::from_msgpack(*bytes);
    ASSERT_TRUE(decoded.has_value());
    auto back = c.reread(*decoded);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    EXPECT_EQ(json_text(*back), c.json);
}

RawIdentifier usdc_fee() {
    return RawIdentifier{"pool.fee",
                         {{OptionName::positional(), OptionValue::string("usdc")},
                          {OptionName::named("fee"), OptionValue::string("0.3")}},
                         4};
}

Statement empty_if_else() { return Statement::IfElse{BoolExpr::literal(false), {}, {}}; }

INSTANTIATE_TEST_SUITE_P(
    Table, WrittenForm,
    ::testing::Values(
        WrittenCase{"window_last_update_to_now", to_persisted(Window{BoundExpr::LastUpdate{}, BoundExpr::CurrentTime{}}),
                    R"({"begin":"LastUpdate","end":"CurrentTime"})", as_window},
        WrittenCase{"window_from_one_day_ago",
                    to_persisted(Window{BoundExpr::DelayedCurrentTime{TimeExpr::Days{1}}, BoundExpr::CurrentTime{}}),
                    R"({"begin":{"DelayedCurrentTime":{"Days":1}},"end":"CurrentTime"})", as_window},
        WrittenCase{"negative_minutes", to_persisted(BoundExpr(BoundExpr::DelayedCurrentTime{TimeExpr::Minutes{-3}})),
                    R"({"DelayedCurrentTime":{"Minutes":-3}})", as_bound},
        WrittenCase{"exact_time", to_persisted(BoundExpr(BoundExpr::ExactTime{dec("-5.50")})), R"({"ExactTime":"-5.50"})",
                    as_bound},
        WrittenCase{"positional_then_named_option", to_persisted(usdc_fee()),
                    R"({"name":"pool.fee","options":[["Positional",{"String":"usdc"}],[{"Named":"fee"},{"String":"0.3"}]],"position":4})",
                    as_raw},
        WrittenCase{"literal_keeps_scale", to_persisted(NumExpr::literal(dec("1.50"))), R"({"Literal":"1.50"})", as_num},
        WrittenCase{"absent_literal", to_persisted(NumExpr::literal(Decimal::absent())), R"({"Literal":"NaN"})", as_num},
        WrittenCase{"bool_literal", to_persisted(BoolExpr::literal(true)), R"({"Literal":true})", as_bool},
        WrittenCase{"not", to_persisted(BoolExpr::negation(BoolExpr::literal(false))), R"({"Not":{"Literal":false}})",
                    as_bool},
        WrittenCase{"ne_has_no_text_form",
                    to_persisted(make_comparison<BoolExpr::Ne>(NumExpr::literal(dec("1")), NumExpr::literal(dec("2")))),
                    R"({"Ne":[{"Literal":"1"},{"Literal":"2"}]})", as_bool},
        WrittenCase{"pow_keeps_operand_order", to_persisted(expr("2 ^ 3")), R"({"Pow":[{"Literal":"2"},{"Literal":"3"}]})",
                    as_num},
        WrittenCase{"call_without_arguments", to_persisted(expr("f()")), R"({"Call":["f",[]]})", as_num},
        WrittenCase{"aggregation", to_persisted(expr("mean of pool.metric between t=t-days(7) and t")),
                    R"({"Aggregation":["mean",{"Identifier":{"Unchecked":{"name":"pool.metric","options":[],"position":8}}},{"begin":{"DelayedCurrentTime":{"Days":7}},"end":"CurrentTime"}]})",
                    as_num},
        WrittenCase{"call1_over_local", to_persisted(VecExpr(VecExpr::Call1{"abs", Identifier::local("x")})),
                    R"({"Call1":["abs",{"Local":"x"}]})", as_vec},
        WrittenCase{"local", to_persisted(Identifier::local("x")), R"({"Local":"x"})", as_identifier},
        WrittenCase{"assign", to_persisted(Statement(Statement::Assign{"x", NumExpr::literal(dec("1"))})),
                    R"({"Assign":["x",{"Literal":"1"}]})", as_statement},
        WrittenCase{"if_else_with_empty_branches", to_persisted(empty_if_else()),
                    R"({"IfElse":[{"Literal":false},[],[]]})", as_statement},
        WrittenCase{"return", to_persisted(Statement(Statement::Return{NumExpr::unchecked("a", 0)})),
                    R"({"Return":{"Identifier":{"Unchecked":{"name":"a","options":[],"position":0}}}})", as_statement},
        WrittenCase{"expression_with_full_signature",
                    to_persisted(Expression{NumExpr::literal(dec("1")), std::numeric_limits<std::uint64_t>::max()}),
                    R"({"tree":{"Literal":"1"},"parameter_signature":18446744073709551615})", as_expression},
        WrittenCase{"condition", to_persisted(Condition{BoolExpr::literal(true), 0}),
                    R"({"tree":{"Literal":true},"parameter_signature":0})", as_condition}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Pickling states of the compiled programs.

Bytes8 bytes_of(std::initializer_list<int> head, std::string_view text = {}) {
    Bytes8 out;
    for (int b : head) out.push_back(static_cast<std::uint8_t>(b));
    for (char c : text) out.push_back(static_cast<std::uint8_t>(c));
    return out;
}

Bytes8 concat(std::initializer_list<Bytes8> parts) {
    Bytes8 out;
    for (const auto& part : parts)
        for (std::uint8_t b : part) out.push_back(b);
    return out;
}

TEST(ProgramState, LiteralExpressionHasTheDocumentedBytes) {
    const Expression e{NumExpr::literal(dec("1.50")), 7};
    const Bytes8 expected = concat({bytes_of({0x82, 0xA4}, "tree"), bytes_of({0x81, 0xA7}, "Literal"),
                                    bytes_of({0xA4}, "1.50"), bytes_of({0xB3}, "parameter_signature"), bytes_of({0x07})});
    auto bytes = expression_to_msgpack(e);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, expected);
    auto back = expression_from_msgpack(expected);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ(**back, e);
    EXPECT_EQ((*back)->debug(), e.debug());
}

TEST(ProgramState, BoolLiteralIsAMapToTrue) {
    auto bytes = condition_to_msgpack(Condition{BoolExpr::literal(true), 1});
    ASSERT_TRUE(bytes.has_value());
    const Bytes8 expected = concat({bytes_of({0x82, 0xA4}, "tree"), bytes_of({0x81, 0xA7}, "Literal"), bytes_of({0xC3}),
                                    bytes_of({0xB3}, "parameter_signature"), bytes_of({0x01})});
    EXPECT_EQ(*bytes, expected);
}

TEST(ProgramState, UninitialisedObjectsAreNil) {
    EXPECT_EQ(expression_to_msgpack(std::nullopt).value(), Bytes8{0xC0});
    EXPECT_EQ(condition_to_msgpack(std::nullopt).value(), Bytes8{0xC0});
    auto e = expression_from_msgpack(Bytes8{0xC0});
    ASSERT_TRUE(e.has_value());
    EXPECT_FALSE(e->has_value());
    auto c = condition_from_msgpack(Bytes8{0xC0});
    ASSERT_TRUE(c.has_value());
    EXPECT_FALSE(c->has_value());
}

TEST(ProgramState, ConditionStateIsNotAnExpressionState) {
    auto bytes = condition_to_msgpack(Condition{BoolExpr::literal(true), 1});
    ASSERT_TRUE(bytes.has_value());
    auto e = expression_from_msgpack(*bytes);
    ASSERT_FALSE(e.has_value());
    EXPECT_EQ(e.error().message, "invalid type: boolean `true`, expected a Decimal type representing a fixed-point number");
}

TEST(ProgramState, BrokenBytesFailCleanly) {
    for (const Bytes8& bytes : {Bytes8{}, Bytes8{0x82, 0xA4}, Bytes8{0xDF, 0xFF, 0xFF, 0xFF, 0xFF}, Bytes8{0xC1}}) {
        EXPECT_FALSE(expression_from_msgpack(bytes).has_value());
        EXPECT_FALSE(condition_from_msgpack(bytes).has_value());
    }
}

// ---- Parsed programs survive both encodings unchanged.

class ParsedExpressionRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(ParsedExpressionRoundTrip, MessagePackAndJson) {
    const Expression e{expr(GetParam()), 0x0123456789ABCDEF};
    auto bytes = expression_to_msgpack(e);
    ASSERT_TRUE(bytes.has_value());
    auto back = expression_from_msgpack(*bytes);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ(**back, e);
    EXPECT_EQ((*back)->debug(), e.debug());

    auto from_json = expression_from_persisted(json_value(json_text(to_persisted(e))));
    ASSERT_TRUE(from_json.has_value()) << from_json.error().message;
    EXPECT_EQ(from_json->debug(), e.debug());
}

INSTANTIATE_TEST_SUITE_P(Table, ParsedExpressionRoundTrip,
                         ::testing::Values("1.50", "-0.001 + 2 * 3 - 4 / 5 ^ 6", "f(g(1, 2), h(), @pool.x)",
                                           "a.b:{\"WETH/USDC\", fee=\"0.3\"} + x",
                                           "sharpe of @a.b:{k=v} between t=t-1/365 and last_update",
                                           "m of a.b between t=t- weeks( 2 ) and t=5.5",
                                           "m of a.b between t=t-hours(3) and t=-1",
                                           "9223372036854775807 * 0.0000000000000000000000000001"));

class ParsedConditionRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(ParsedConditionRoundTrip, MessagePackAndJson) {
    const Condition c{cond(GetParam()), 42};
    auto bytes = condition_to_msgpack(c);
    ASSERT_TRUE(bytes.has_value());
    auto back = condition_from_msgpack(*bytes);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ(**back, c);
    EXPECT_EQ((*back)->debug(), c.debug());

    auto from_json = condition_from_persisted(json_value(json_text(to_persisted(c))));
    ASSERT_TRUE(from_json.has_value()) << from_json.error().message;
    EXPECT_EQ(from_json->debug(), c.debug());
}

INSTANTIATE_TEST_SUITE_P(Table, ParsedConditionRoundTrip,
                         ::testing::Values("1 < 2", "a = b AND NOT (c >= 1 OR d <= 2)", "x > 1 or y < 2 and z = 3",
                                           "f(x) * 2 < mean of p.m between t=t-days(1) and t"));

TEST(FunctionBodies, StatementsRoundTripThroughJson) {
    auto f = parse_function(
        "function spread(a, b) { d = a - b; if d > 0 { return d } else { if d < 0 { return 0 - d } else { } } }");
    ASSERT_TRUE(f.has_value()) << f.error().message;
    const std::string text = json_text(to_persisted(f->statements));
    auto back = statements_from_persisted(json_value(text));
    ASSERT_TRUE(back.has_value()) << back.error().message;
    EXPECT_EQ(*back, f->statements);
    EXPECT_EQ(debug_statements(*back), debug_statements(f->statements));
}

// ---- Bound trees: identifiers resolved to simulation fields.

fields::DynField current_time() {
    return fields::DynField(std::make_shared<fields::GlobalField>(fields::GlobalField::Kind::CurrentTime));
}

fields::DynField variable(std::string_view name) {
    return fields::DynField(std::make_shared<fields::AgentVariable>(*names::Identifier::parse(name)));
}

Identifier field_id(fields::SimulationField::Variant f) { return Identifier::field(fields::SimulationField(std::move(f))); }

TEST(BoundTrees, EveryKindOfFieldRoundTrips) {
    const auto pool = *names::IdentifierOrAddr::parse("0xAbCdEf0123456789abcdef0123456789ABCDEF01");
    const auto bot = *names::Identifier::parse("bot");
    NumExpr base = NumExpr::identifier(field_id(fields::BaseField{current_time()}));
    NumExpr protocol = NumExpr::identifier(field_id(fields::ProtocolField{current_time(), pool}));
    NumExpr agent = NumExpr::identifier(field_id(fields::AgentProtocolField{variable("risk"), pool, bot}));
    NumExpr series = NumExpr::Aggregation{
        "mean", VecExpr::Call1{"abs", field_id(fields::BaseField{current_time()})},
        Window{BoundExpr::ExactTime{dec("1700000000")}, BoundExpr::LastUpdate{}}};
    std::vector<NumExpr> args;
    args.push_back(std::move(base));
    args.push_back(std::move(protocol));
    args.push_back(std::move(agent));
    args.push_back(std::move(series));
    const Expression e{NumExpr::call("f", std::move(args)), 99};

    auto bytes = expression_to_msgpack(e);
    ASSERT_TRUE(bytes.has_value());
    auto back = expression_from_msgpack(*bytes);
    ASSERT_TRUE(back.has_value()) << back.error().message;
    ASSERT_TRUE(back->has_value());
    EXPECT_EQ(**back, e);
    EXPECT_EQ((*back)->debug(), e.debug());
    EXPECT_EQ(structural_hash((*back)->tree), structural_hash(e.tree));

    auto from_json = expression_from_persisted(json_value(json_text(to_persisted(e))));
    ASSERT_TRUE(from_json.has_value()) << from_json.error().message;
    EXPECT_EQ(*from_json, e);
}

TEST(BoundTrees, FieldIdentifierIsTaggedByKind) {
    EXPECT_EQ(json_text(to_persisted(field_id(fields::BaseField{current_time()}))),
              R"({"Field":{"BaseField":{"field":{"GlobalField":"CurrentTime"}}}})");
}

TEST(BoundTrees, UnknownFieldKindIsAReadError) {
    auto r = identifier_from_persisted(mp_value(R"({"Field":{"OtherField":{}}})"));
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message.rfind("unknown variant `OtherField`", 0), 0U) << r.error().message;
}

// ---- What the readers accept besides the written form.

struct AcceptedCase {
    const char* name;
    Value state;        // a decoded Expression state
    std::string tree;   // diagnostic text of the tree read
};

class AcceptedExpressionState : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedExpressionState, ReadsTheTree) {
    const auto& c = GetParam();
    auto bytes = persist::to_msgpack(c.state);
    ASSERT_TRUE(bytes.has_value());
    auto e = expression_from_msgpack(*bytes);
    ASSERT_TRUE(e.has_value()) << e.error().message;
    ASSERT_TRUE(e->has_value());
    EXPECT_EQ((*e)->tree.debug(), c.tree);
    EXPECT_EQ((*e)->parameter_signature, 7U);
}

Value state_of(Value tree) {
    Map m;
    m.emplace_back(Value("tree"), std::move(tree));
    m.emplace_back(Value("parameter_signature"), Value(std::uint64_t{7}));
    return Value(std::move(m));
}

Value array_of(std::initializer_list<Value> items) { return Value(Array(items)); }

Value indexed(std::uint64_t index, Value payload) {
    Map m;
    m.emplace_back(Value(index), std::move(payload));
    return Value(std::move(m));
}

Value bytes_name(std::string_view name, Value payload) {
    Map m;
    m.emplace_back(Value(persist::Bytes{std::vector<std::uint8_t>(name.begin(), name.end())}), std::move(payload));
    return Value(std::move(m));
}

const std::string aggregation_text =
    "Aggregation(\"mean\", Identifier(Unchecked(RawIdentifier { name: \"p.m\", options: [(Positional, "
    "String(\"x\"))], position: 3 })), Window { begin: LastUpdate, end: CurrentTime })";

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptedExpressionState,
    ::testing::Values(
        AcceptedCase{"float_literal", state_of(tagged("Literal", Value(1.5))), "Literal(Normal(1.5))"},
        AcceptedCase{"integer_literal", state_of(tagged("Literal", Value(std::uint64_t{2}))), "Literal(Normal(2))"},
        AcceptedCase{"negative_integer_literal", state_of(tagged("Literal", Value(std::int64_t{-3}))),
                     "Literal(Normal(-3))"},
        AcceptedCase{"nan_in_capitals", state_of(tagged("Literal", Value("NAN"))), "Literal(NaN)"},
        AcceptedCase{"infinite_float", state_of(tagged("Literal", Value(std::numeric_limits<double>::infinity()))),
                     "Literal(NaN)"},
        AcceptedCase{"scientific_text", state_of(tagged("Literal", Value("12.5e-27"))),
                     "Literal(Normal(0.0000000000000000000000000125))"},
        AcceptedCase{"separators_in_text", state_of(tagged("Literal", Value("1_0.5"))), "Literal(Normal(10.5))"},
        AcceptedCase{"record_as_array", array_of({tagged("Literal", Value("1")), Value(std::uint64_t{7})}),
                     "Literal(Normal(1))"},
        AcceptedCase{"variant_indices",
                     state_of(indexed(2, array_of({indexed(0, Value("1")), indexed(0, Value("2"))}))),
                     "Add(Literal(Normal(1)), Literal(Normal(2)))"},
        AcceptedCase{"variant_name_as_bytes", state_of(bytes_name("Literal", Value("4"))), "Literal(Normal(4))"},
        AcceptedCase{"record_key_by_index",
                     [] {
                         Map m;
                         m.emplace_back(Value(std::uint64_t{1}), Value(std::uint64_t{7}));
                         m.emplace_back(Value(std::uint64_t{0}), tagged("Literal", Value("5")));
                         return Value(std::move(m));
                     }(),
                     "Literal(Normal(5))"},
        AcceptedCase{"unknown_record_keys_skipped",
                     [] {
                         Value v = state_of(tagged("Literal", Value("6")));
                         v.get_if<Map>()->emplace_back(Value("comment"), Value("ignored"));
                         return v;
                     }(),
                     "Literal(Normal(6))"},
        AcceptedCase{
            "nested_records_as_arrays_and_indices",
            array_of({indexed(8, array_of({Value("mean"),
                                           indexed(0, indexed(0, array_of({Value("p.m"),
                                                                           array_of({array_of({Value(std::uint64_t{0}),
                                                                                               indexed(0, Value("x"))})}),
                                                                           Value(std::uint64_t{3})}))),
                                           array_of({Value(std::uint64_t{0}), tagged("CurrentTime", Value())})})),
                      Value(std::uint64_t{7})}),
            aggregation_text}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Read errors: the reader's standard wording with this program's expectations.

struct RejectedCase {
    const char* name;
    Value input;
    Reread reader;
    std::string message;
};

class RejectedValue : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(RejectedValue, FailsWithTheExactMessage) {
    const auto& c = GetParam();
    auto r = c.reader(c.input);
    ASSERT_FALSE(r.has_value()) << json_text(*r);
    EXPECT_EQ(r.error().message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RejectedValue,
    ::testing::Values(
        RejectedCase{"window_without_end", mp_value(R"({"begin":"LastUpdate"})"), as_window, "missing field `end`"},
        RejectedCase{"window_too_short", mp_value(R"(["LastUpdate"])"), as_window,
                     "invalid length 1, expected struct Window with 2 elements"},
        RejectedCase{"window_of_wrong_kind", mp_value("3"), as_window,
                     "invalid type: integer `3`, expected struct Window"},
        RejectedCase{"raw_identifier_too_short", mp_value(R"(["x",[]])"), as_raw,
                     "invalid length 2, expected struct RawIdentifier with 3 elements"},
        RejectedCase{"negative_position", mp_value(R"({"name":"x","options":[],"position":-1})"), as_raw,
                     "invalid value: integer `-1`, expected usize"},
        RejectedCase{"option_not_a_pair", mp_value(R"({"name":"x","options":[["Positional"]],"position":0})"), as_raw,
                     "invalid length 1, expected a tuple of size 2"},
        RejectedCase{"expression_too_short", mp_value(R"([{"Literal":"1"}])"), as_expression,
                     "invalid length 1, expected struct Expression with 2 elements"},
        RejectedCase{"condition_too_short", mp_value(R"([{"Literal":true}])"), as_condition,
                     "invalid length 1, expected struct Condition with 2 elements"},
        RejectedCase{"missing_signature", mp_value(R"({"tree":{"Literal":"1"}})"), as_expression,
                     "missing field `parameter_signature`"},
        RejectedCase{"duplicate_tree", mp_value(R"({"tree":{"Literal":"1"},"tree":{"Literal":"2"},"parameter_signature":1})"),
                     as_expression, "duplicate field `tree`"},
        RejectedCase{"negative_signature", mp_value(R"({"tree":{"Literal":"1"},"parameter_signature":-1})"),
                     as_expression, "invalid value: integer `-1`, expected u64"},
        RejectedCase{"unknown_num_variant", mp_value(R"({"Neg":{"Literal":"1"}})"), as_num,
                     "unknown variant `Neg`, expected one of `Literal`, `Identifier`, `Add`, `Sub`, `Mul`, `Div`, "
                     "`Pow`, `Call`, `Aggregation`"},
        RejectedCase{"num_variant_index_out_of_range", indexed(9, Value("1")), as_num,
                     "invalid value: integer `9`, expected variant index 0 <= i < 9"},
        RejectedCase{"bool_variant_index_out_of_range", indexed(10, Value(true)), as_bool,
                     "invalid value: integer `10`, expected variant index 0 <= i < 10"},
        RejectedCase{"num_of_wrong_kind", mp_value("true"), as_num, "invalid type: boolean `true`, expected enum NumExpr"},
        RejectedCase{"bool_of_wrong_kind", mp_value("[]"), as_bool, "invalid type: sequence, expected enum BoolExpr"},
        RejectedCase{"statement_of_wrong_kind", mp_value("1.5"), as_statement,
                     "invalid type: floating point `1.5`, expected enum Statement"},
        RejectedCase{"identifier_of_wrong_kind", mp_value("null"), as_identifier,
                     "invalid type: unit value, expected enum Identifier"},
        RejectedCase{"vec_of_wrong_kind", mp_value("false"), as_vec, "invalid type: boolean `false`, expected enum VecExpr"},
        RejectedCase{"bound_of_wrong_kind", mp_value("[]"), as_bound, "invalid type: sequence, expected enum BoundExpr"},
        RejectedCase{"add_with_one_operand", mp_value(R"({"Add":[{"Literal":"1"}]})"), as_num,
                     "invalid length 1, expected tuple variant NumExpr::Add with 2 elements"},
        RejectedCase{"pow_with_three_operands", mp_value(R"({"Pow":[{"Literal":"1"},{"Literal":"1"},{"Literal":"1"}]})"),
                     as_num, "invalid length 3, expected tuple variant NumExpr::Pow with 2 elements"},
        RejectedCase{"call_payload_not_a_list", mp_value(R"({"Call":"f"})"), as_num,
                     "invalid type: string \"f\", expected tuple variant NumExpr::Call"},
        RejectedCase{"aggregation_too_short", mp_value(R"({"Aggregation":["mean",{"Local":"x"}]})"), as_num,
                     "invalid length 2, expected tuple variant NumExpr::Aggregation with 3 elements"},
        RejectedCase{"or_with_one_operand", mp_value(R"({"Or":[{"Literal":true}]})"), as_bool,
                     "invalid length 1, expected tuple variant BoolExpr::Or with 2 elements"},
        RejectedCase{"ge_with_no_operand", mp_value(R"({"Ge":[]})"), as_bool,
                     "invalid length 0, expected tuple variant BoolExpr::Ge with 2 elements"},
        RejectedCase{"call1_too_short", mp_value(R"({"Call1":["abs"]})"), as_vec,
                     "invalid length 1, expected tuple variant VecExpr::Call1 with 2 elements"},
        RejectedCase{"assign_too_short", mp_value(R"({"Assign":["x"]})"), as_statement,
                     "invalid length 1, expected tuple variant Statement::Assign with 2 elements"},
        RejectedCase{"if_else_without_else", mp_value(R"({"IfElse":[{"Literal":true},[]]})"), as_statement,
                     "invalid length 2, expected tuple variant Statement::IfElse with 3 elements"},
        RejectedCase{"tuple_variant_without_payload", mp_value(R"("Add")"), as_num,
                     "invalid type: unit variant, expected tuple variant"},
        RejectedCase{"newtype_variant_without_payload", mp_value(R"("Literal")"), as_num,
                     "invalid type: unit variant, expected newtype variant"},
        RejectedCase{"unit_variant_with_payload", mp_value(R"({"CurrentTime":1})"), as_bound,
                     "invalid type: integer `1`, expected unit"},
        RejectedCase{"decimal_text", mp_value(R"({"Literal":"abc"})"), as_num,
                     "invalid value: string \"abc\", expected a Decimal type representing a fixed-point number"},
        RejectedCase{"decimal_with_leading_space", mp_value(R"({"Literal":" nan"})"), as_num,
                     "invalid value: string \" nan\", expected a Decimal type representing a fixed-point number"},
        RejectedCase{"decimal_of_wrong_kind", mp_value(R"({"ExactTime":null})"), as_bound,
                     "invalid type: unit value, expected a Decimal type representing a fixed-point number"},
        RejectedCase{"bool_literal_of_wrong_kind", mp_value(R"({"Literal":1})"), as_bool,
                     "invalid type: integer `1`, expected a boolean"},
        RejectedCase{"count_beyond_i64", mp_value(R"({"DelayedCurrentTime":{"Days":18446744073709551615}})"), as_bound,
                     "invalid value: integer `18446744073709551615`, expected i64"},
        RejectedCase{"unknown_time_unit", mp_value(R"({"DelayedCurrentTime":{"Months":1}})"), as_bound,
                     "unknown variant `Months`, expected one of `Weeks`, `Days`, `Hours`, `Minutes`"},
        RejectedCase{"unknown_identifier_variant", mp_value(R"({"Global":"x"})"), as_identifier,
                     "unknown variant `Global`, expected one of `Unchecked`, `Field`, `Local`"},
        RejectedCase{"unknown_option_name", mp_value(R"({"name":"x","options":[["Keyword",{"String":"v"}]],"position":0})"),
                     as_raw, "unknown variant `Keyword`, expected `Positional` or `Named`"},
        RejectedCase{"unknown_option_value", mp_value(R"({"name":"x","options":[["Positional",{"Int":1}]],"position":0})"),
                     as_raw, "unknown variant `Int`, expected `String`"},
        RejectedCase{"local_name_of_wrong_kind", mp_value(R"({"Local":1})"), as_identifier,
                     "invalid type: integer `1`, expected a string"},
        RejectedCase{"enum_map_with_two_keys", mp_value(R"({"Literal":"1","Add":[]})"), as_num,
                     "invalid length 2, expected map with a single key"},
        RejectedCase{"error_deep_inside", mp_value(R"({"Add":[{"Literal":"1"},{"Mul":[{"Literal":"x"},{"Literal":"2"}]}]})"),
                     as_num, "invalid value: string \"x\", expected a Decimal type representing a fixed-point number"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(JsonPositions, ErrorsNameTheOffendingNode) {
    auto w = window_from_persisted(json_value("{\"begin\": \"LastUpdate\",\n \"x\": 1}"));
    ASSERT_FALSE(w.has_value());
    EXPECT_EQ(w.error().message, "missing field `end` at line 2 column 8");
    auto e = num_expr_from_persisted(json_value(R"({"Literal": "1.2.3"})"));
    ASSERT_FALSE(e.has_value());
    EXPECT_EQ(e.error().message,
              "invalid value: string \"1.2.3\", expected a Decimal type representing a fixed-point number at line 1 "
              "column 19");
}

// ---- Depth bound on trees read from untrusted input.

Value not_chain(std::size_t levels) {
    Value v = tagged("Literal", Value(true));
    for (std::size_t k = 1; k < levels; ++k) {
        Value outer = tagged("Not", std::move(v));
        v = std::move(outer);
    }
    return v;
}

TEST(DepthBound, HundredThousandNestedNotsInAStateFailCleanly) {
    Bytes8 bytes = concat({bytes_of({0x82, 0xA4}, "tree")});
    for (int k = 0; k < 100000; ++k) {
        const Bytes8 level = bytes_of({0x81, 0xA3}, "Not");
        bytes.insert(bytes.end(), level.begin(), level.end());
    }
    const Bytes8 tail = concat({bytes_of({0x81, 0xA7}, "Literal"), bytes_of({0xC3}),
                                bytes_of({0xB3}, "parameter_signature"), bytes_of({0x07})});
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    EXPECT_FALSE(condition_from_msgpack(bytes).has_value());
}

TEST(DepthBound, DeepValueIsRefusedBeforeDescending) {
    const Value deep = not_chain(100000);
    auto r = bool_expr_from_persisted(deep);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message, "syntax tree deeper than 1024 levels");
}

TEST(DepthBound, DeepestAllowedNotChainPassesTheDecoder) {
    Map m;
    m.emplace_back(Value("tree"), not_chain(util::default_limits.max_tree_depth));
    m.emplace_back(Value("parameter_signature"), Value(std::uint64_t{1}));
    auto bytes = persist::to_msgpack(Value(std::move(m)));
    ASSERT_TRUE(bytes.has_value());
    auto c = condition_from_msgpack(*bytes);
    ASSERT_TRUE(c.has_value()) << c.error().message;
    ASSERT_TRUE(c->has_value());
    EXPECT_EQ(tree_depth((*c)->tree), util::default_limits.max_tree_depth);
}

// Trees of every recursive shape are accepted exactly when tree_depth stays
// within the bound.
struct ShapeCase {
    const char* name;
    std::function<Value(std::size_t)> build;  // persisted tree with `n` nesting steps
    std::function<util::Result<std::size_t>(const Value&, const util::Limits&)> read_depth;
};

NumExpr add_chain(std::size_t n) {
    NumExpr e = NumExpr::literal(dec("1"));
    for (std::size_t k = 0; k < n; ++k) e = make_binary<NumExpr::Add>(std::move(e), NumExpr::literal(dec("2")));
    return e;
}

NumExpr call_chain(std::size_t n) {
    NumExpr e = NumExpr::literal(dec("1"));
    for (std::size_t k = 0; k < n; ++k) {
        std::vector<NumExpr> args;
        args.push_back(NumExpr::unchecked("x", 0));
        args.push_back(std::move(e));
        e = NumExpr::call("f", std::move(args));
    }
    return e;
}

BoolExpr mixed_chain(std::size_t n) {
    BoolExpr b = make_comparison<BoolExpr::Lt>(add_chain(2), NumExpr::literal(dec("0")));
    for (std::size_t k = 0; k < n; ++k)
        b = k % 2 == 0 ? make_connective<BoolExpr::Or>(BoolExpr::literal(true), std::move(b))
                       : BoolExpr::negation(std::move(b));
    return b;
}

std::vector<Statement> if_chain(std::size_t n) {
    std::vector<Statement> body{Statement::Return{NumExpr::literal(dec("1"))}};
    for (std::size_t k = 0; k < n; ++k) {
        std::vector<Statement> outer;
        outer.push_back(Statement::Assign{"x", add_chain(k % 3)});
        outer.push_back(Statement::IfElse{BoolExpr::literal(true), {}, std::move(body)});
        body = std::move(outer);
    }
    return body;
}

template <class T>
util::Result<std::size_t> depth_of(util::Result<T> r) {
    if (!r) return std::unexpected(std::move(r.error()));
    return tree_depth(*r);
}

class DepthShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(DepthShape, AcceptedExactlyWithinTheBound) {
    const auto& c = GetParam();
    const util::Limits limits{.max_tree_depth = 12};
    for (std::size_t n = 0; n < 20; ++n) {
        const Value v = c.build(n);
        auto unbounded = c.read_depth(v, util::default_limits);
        ASSERT_TRUE(unbounded.has_value()) << unbounded.error().message;
        auto bounded = c.read_depth(v, limits);
        if (*unbounded <= limits.max_tree_depth) {
            EXPECT_TRUE(bounded.has_value()) << "n=" << n << ": " << bounded.error().message;
        } else {
            ASSERT_FALSE(bounded.has_value()) << "n=" << n << " depth " << *unbounded;
            EXPECT_EQ(bounded.error().message, "syntax tree deeper than 12 levels");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DepthShape,
    ::testing::Values(
        ShapeCase{"add_chain", [](std::size_t n) { return to_persisted(add_chain(n)); },
                  [](const Value& v, const util::Limits& l) { return depth_of(num_expr_from_persisted(v, l)); }},
        ShapeCase{"call_chain", [](std::size_t n) { return to_persisted(call_chain(n)); },
                  [](const Value& v, const util::Limits& l) { return depth_of(num_expr_from_persisted(v, l)); }},
        ShapeCase{"connectives_over_comparison", [](std::size_t n) { return to_persisted(mixed_chain(n)); },
                  [](const Value& v, const util::Limits& l) { return depth_of(bool_expr_from_persisted(v, l)); }},
        ShapeCase{"nested_if_else", [](std::size_t n) { return to_persisted(if_chain(n)); },
                  [](const Value& v, const util::Limits& l) { return depth_of(statements_from_persisted(v, l)); }},
        ShapeCase{"expression_record",
                  [](std::size_t n) { return to_persisted(Expression{add_chain(n), 1}); },
                  [](const Value& v, const util::Limits& l) -> util::Result<std::size_t> {
                      auto e = expression_from_persisted(v, l);
                      if (!e) return std::unexpected(std::move(e.error()));
                      return tree_depth(e->tree);
                  }}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tarnel::grammar
