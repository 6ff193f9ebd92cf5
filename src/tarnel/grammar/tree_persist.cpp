#include "tarnel/grammar/tree_persist.hpp"

#include <array>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::grammar {
namespace {

using persist::Array;
using persist::Map;
using persist::Value;

constexpr std::string_view decimal_expectation = "a Decimal type representing a fixed-point number";

constexpr std::array<std::string_view, 9> num_variants = {"Literal", "Identifier", "Add", "Sub", "Mul",
                                                          "Div", "Pow", "Call", "Aggregation"};
constexpr std::array<std::string_view, 10> bool_variants = {"Eq", "Ne", "Lt", "Le", "Gt",
                                                            "Ge", "And", "Or", "Not", "Literal"};
constexpr std::array<std::string_view, 2> vec_variants = {"Identifier", "Call1"};
constexpr std::array<std::string_view, 4> bound_variants = {"LastUpdate", "CurrentTime", "DelayedCurrentTime",
                                                            "ExactTime"};
constexpr std::array<std::string_view, 4> time_variants = {"Weeks", "Days", "Hours", "Minutes"};
constexpr std::array<std::string_view, 3> statement_variants = {"Assign", "IfElse", "Return"};
constexpr std::array<std::string_view, 3> identifier_variants = {"Unchecked", "Field", "Local"};
constexpr std::array<std::string_view, 2> option_name_variants = {"Positional", "Named"};
constexpr std::array<std::string_view, 1> option_value_variants = {"String"};

constexpr std::array<std::string_view, 2> window_fields = {"begin", "end"};
constexpr std::array<std::string_view, 3> raw_identifier_fields = {"name", "options", "position"};
constexpr std::array<std::string_view, 2> program_fields = {"tree", "parameter_signature"};

Value tagged(std::string_view variant, Value payload) {
    Map m;
    m.emplace_back(Value(std::string(variant)), std::move(payload));
    return Value(std::move(m));
}

Value pair(Value a, Value b) {
    Array items;
    items.push_back(std::move(a));
    items.push_back(std::move(b));
    return Value(std::move(items));
}

template <class T>
Value list(const std::vector<T>& items) {
    Array out;
    out.reserve(items.size());
    for (const auto& item : items) out.push_back(to_persisted(item));
    return Value(std::move(out));
}

template <class T>
concept BinaryNode = requires(const T& node) {
    node.left;
    node.right;
};

// Reads payloads of several values as a tuple of exactly `n` elements.
util::Result<std::span<const Value>> tuple_payload(const persist::EnumValue& e, std::size_t n,
                                                   std::string_view expected) {
    auto payload = persist::require_payload(e, "tuple variant");
    if (!payload) return std::unexpected(std::move(payload.error()));
    return persist::read_tuple(**payload, n, expected);
}

util::Result<const Value*> newtype_payload(const persist::EnumValue& e) { return persist::require_payload(e); }

// Reads the recursive node types, counting nesting like tree_depth so that
// a hostile state is refused before it can exhaust the stack.
class TreeReader {
public:
    explicit TreeReader(const util::Limits& limits) : limits_(limits) {}

    util::Result<NumExpr> num(const Value& v);
    util::Result<BoolExpr> boolean(const Value& v);
    util::Result<Statement> statement(const Value& v);
    util::Result<std::vector<Statement>> statements(const Value& v);

private:
    class Level {
    public:
        explicit Level(std::size_t& depth) : depth_(depth) { ++depth_; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
        ~Level() { --depth_; }

    private:
        std::size_t& depth_;
    };

    [[nodiscard]] util::Status check_depth(const Value& at) const {
        if (depth_ <= limits_.max_tree_depth) return {};
        return util::fail(persist::read_error(at, fmt::format("syntax tree deeper than {} levels", limits_.max_tree_depth)));
    }

    template <class Op>
    util::Result<NumExpr> binary_num(const persist::EnumValue& e, std::string_view expected);
    template <class Op>
    util::Result<BoolExpr> comparison(const persist::EnumValue& e, std::string_view expected);
    template <class Op>
    util::Result<BoolExpr> connective(const persist::EnumValue& e, std::string_view expected);
    util::Result<NumExpr> call(const persist::EnumValue& e);
    util::Result<NumExpr> aggregation(const persist::EnumValue& e);
    util::Result<Statement> if_else(const persist::EnumValue& e);

    const util::Limits& limits_;
    std::size_t depth_ = 0;
};

template <class Op>
util::Result<NumExpr> TreeReader::binary_num(const persist::EnumValue& e, std::string_view expected) {
    auto items = tuple_payload(e, 2, expected);
    if (!items) return std::unexpected(std::move(items.error()));
    auto left = num((*items)[0]);
    if (!left) return left;
    auto right = num((*items)[1]);
    if (!right) return right;
    return make_binary<Op>(std::move(*left), std::move(*right));
}

util::Result<NumExpr> TreeReader::call(const persist::EnumValue& e) {
    auto items = tuple_payload(e, 2, "tuple variant NumExpr::Call with 2 elements");
    if (!items) return std::unexpected(std::move(items.error()));
    auto name = persist::read_string((*items)[0]);
    if (!name) return std::unexpected(std::move(name.error()));
    auto arg_values = persist::read_array((*items)[1]);
    if (!arg_values) return std::unexpected(std::move(arg_values.error()));
    std::vector<NumExpr> args;
    args.reserve(arg_values->size());
    for (const Value& a : *arg_values) {
        auto arg = num(a);
        if (!arg) return arg;
        args.push_back(std::move(*arg));
    }
    return NumExpr::call(std::move(*name), std::move(args));
}

util::Result<NumExpr> TreeReader::aggregation(const persist::EnumValue& e) {
    auto items = tuple_payload(e, 3, "tuple variant NumExpr::Aggregation with 3 elements");
    if (!items) return std::unexpected(std::move(items.error()));
    auto name = persist::read_string((*items)[0]);
    if (!name) return std::unexpected(std::move(name.error()));
    auto series = vec_expr_from_persisted((*items)[1]);
    if (!series) return std::unexpected(std::move(series.error()));
    auto window = window_from_persisted((*items)[2]);
    if (!window) return std::unexpected(std::move(window.error()));
    return NumExpr::Aggregation{std::move(*name), std::move(*series), std::move(*window)};
}

util::Result<NumExpr> TreeReader::num(const Value& v) {
    Level level(depth_);
    if (auto ok = check_depth(v); !ok) return std::unexpected(std::move(ok.error()));
    auto e = persist::read_enum(v, "NumExpr", num_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    switch (e->index) {
        case 0: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto d = decimal_from_persisted(**payload);
            if (!d) return std::unexpected(std::move(d.error()));
            return NumExpr::literal(*d);
        }
        case 1: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto id = identifier_from_persisted(**payload);
            if (!id) return std::unexpected(std::move(id.error()));
            return NumExpr::identifier(std::move(*id));
        }
        case 2: return binary_num<NumExpr::Add>(*e, "tuple variant NumExpr::Add with 2 elements");
        case 3: return binary_num<NumExpr::Sub>(*e, "tuple variant NumExpr::Sub with 2 elements");
        case 4: return binary_num<NumExpr::Mul>(*e, "tuple variant NumExpr::Mul with 2 elements");
        case 5: return binary_num<NumExpr::Div>(*e, "tuple variant NumExpr::Div with 2 elements");
        case 6: return binary_num<NumExpr::Pow>(*e, "tuple variant NumExpr::Pow with 2 elements");
        case 7: return call(*e);
        default: return aggregation(*e);
    }
}

template <class Op>
util::Result<BoolExpr> TreeReader::comparison(const persist::EnumValue& e, std::string_view expected) {
    auto items = tuple_payload(e, 2, expected);
    if (!items) return std::unexpected(std::move(items.error()));
    auto left = num((*items)[0]);
    if (!left) return std::unexpected(std::move(left.error()));
    auto right = num((*items)[1]);
    if (!right) return std::unexpected(std::move(right.error()));
    return make_comparison<Op>(std::move(*left), std::move(*right));
}

template <class Op>
util::Result<BoolExpr> TreeReader::connective(const persist::EnumValue& e, std::string_view expected) {
    auto items = tuple_payload(e, 2, expected);
    if (!items) return std::unexpected(std::move(items.error()));
    auto left = boolean((*items)[0]);
    if (!left) return left;
    auto right = boolean((*items)[1]);
    if (!right) return right;
    return make_connective<Op>(std::move(*left), std::move(*right));
}

util::Result<BoolExpr> TreeReader::boolean(const Value& v) {
    Level level(depth_);
    if (auto ok = check_depth(v); !ok) return std::unexpected(std::move(ok.error()));
    auto e = persist::read_enum(v, "BoolExpr", bool_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    switch (e->index) {
        case 0: return comparison<BoolExpr::Eq>(*e, "tuple variant BoolExpr::Eq with 2 elements");
        case 1: return comparison<BoolExpr::Ne>(*e, "tuple variant BoolExpr::Ne with 2 elements");
        case 2: return comparison<BoolExpr::Lt>(*e, "tuple variant BoolExpr::Lt with 2 elements");
        case 3: return comparison<BoolExpr::Le>(*e, "tuple variant BoolExpr::Le with 2 elements");
        case 4: return comparison<BoolExpr::Gt>(*e, "tuple variant BoolExpr::Gt with 2 elements");
        case 5: return comparison<BoolExpr::Ge>(*e, "tuple variant BoolExpr::Ge with 2 elements");
        case 6: return connective<BoolExpr::And>(*e, "tuple variant BoolExpr::And with 2 elements");
        case 7: return connective<BoolExpr::Or>(*e, "tuple variant BoolExpr::Or with 2 elements");
        case 8: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto operand = boolean(**payload);
            if (!operand) return operand;
            return BoolExpr::negation(std::move(*operand));
        }
        default: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto b = persist::read_bool(**payload);
            if (!b) return std::unexpected(std::move(b.error()));
            return BoolExpr::literal(*b);
        }
    }
}

util::Result<Statement> TreeReader::if_else(const persist::EnumValue& e) {
    auto items = tuple_payload(e, 3, "tuple variant Statement::IfElse with 3 elements");
    if (!items) return std::unexpected(std::move(items.error()));
    auto condition = boolean((*items)[0]);
    if (!condition) return std::unexpected(std::move(condition.error()));
    auto then_branch = statements((*items)[1]);
    if (!then_branch) return std::unexpected(std::move(then_branch.error()));
    auto else_branch = statements((*items)[2]);
    if (!else_branch) return std::unexpected(std::move(else_branch.error()));
    return Statement::IfElse{std::move(*condition), std::move(*then_branch), std::move(*else_branch)};
}

util::Result<Statement> TreeReader::statement(const Value& v) {
    Level level(depth_);
    if (auto ok = check_depth(v); !ok) return std::unexpected(std::move(ok.error()));
    auto e = persist::read_enum(v, "Statement", statement_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    switch (e->index) {
        case 0: {
            auto items = tuple_payload(*e, 2, "tuple variant Statement::Assign with 2 elements");
            if (!items) return std::unexpected(std::move(items.error()));
            auto name = persist::read_string((*items)[0]);
            if (!name) return std::unexpected(std::move(name.error()));
            auto value = num((*items)[1]);
            if (!value) return std::unexpected(std::move(value.error()));
            return Statement::Assign{std::move(*name), std::move(*value)};
        }
        case 1: return if_else(*e);
        default: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto value = num(**payload);
            if (!value) return std::unexpected(std::move(value.error()));
            return Statement::Return{std::move(*value)};
        }
    }
}

util::Result<std::vector<Statement>> TreeReader::statements(const Value& v) {
    auto items = persist::read_array(v);
    if (!items) return std::unexpected(std::move(items.error()));
    std::vector<Statement> out;
    out.reserve(items->size());
    for (const Value& item : *items) {
        auto s = statement(item);
        if (!s) return std::unexpected(std::move(s.error()));
        out.push_back(std::move(*s));
    }
    return out;
}

// Reads a field when present; fields are read in declaration order and a
// missing one is reported only after the present ones were read.
template <class Read>
auto read_field(const persist::RecordReader& record, std::string_view name, Read read)
    -> util::Result<std::optional<typename std::invoke_result_t<Read, const Value&>::value_type>> {
    using T = typename std::invoke_result_t<Read, const Value&>::value_type;
    const Value* value = record.optional(name);
    if (value == nullptr) return std::optional<T>();
    auto result = read(*value);
    if (!result) return std::unexpected(std::move(result.error()));
    return std::optional<T>(std::move(*result));
}

template <class Program, class Read>
util::Result<Program> program_from_persisted(const Value& v, std::string_view expected, Read read_tree) {
    auto record = persist::RecordReader::open(v, expected, program_fields);
    if (!record) return std::unexpected(std::move(record.error()));
    auto tree = read_field(*record, "tree", read_tree);
    if (!tree) return std::unexpected(std::move(tree.error()));
    auto signature = read_field(*record, "parameter_signature", [](const Value& s) { return persist::read_u64(s); });
    if (!signature) return std::unexpected(std::move(signature.error()));
    if (!*tree) return util::fail(persist::missing_field(v, "tree"));
    if (!*signature) return util::fail(persist::missing_field(v, "parameter_signature"));
    return Program{std::move(**tree), **signature};
}

template <class Program>
util::Result<std::vector<std::uint8_t>> state_to_msgpack(const std::optional<Program>& program) {
    return persist::to_msgpack(program ? to_persisted(*program) : Value(persist::Null{}));
}

template <class Program, class Read>
util::Result<std::optional<Program>> state_from_msgpack(std::span<const std::uint8_t> bytes,
                                                        const util::Limits& limits, Read read) {
    auto value = persist::from_msgpack(bytes, limits);
    if (!value) return std::unexpected(std::move(value.error()));
    if (value->is<persist::Null>()) return std::optional<Program>();
    auto program = read(*value, limits);
    if (!program) return std::unexpected(std::move(program.error()));
    return std::optional<Program>(std::move(*program));
}

util::Result<std::vector<IdentifierOption>> read_options(const Value& v) {
    auto items = persist::read_array(v);
    if (!items) return std::unexpected(std::move(items.error()));
    std::vector<IdentifierOption> options;
    options.reserve(items->size());
    for (const Value& item : *items) {
        auto entry = persist::read_tuple(item, 2, "a tuple of size 2");
        if (!entry) return std::unexpected(std::move(entry.error()));
        auto option_name = option_name_from_persisted((*entry)[0]);
        if (!option_name) return std::unexpected(std::move(option_name.error()));
        auto option_value = option_value_from_persisted((*entry)[1]);
        if (!option_value) return std::unexpected(std::move(option_value.error()));
        options.emplace_back(std::move(*option_name), std::move(*option_value));
    }
    return options;
}

}  // namespace

Value decimal_to_persisted(const decimal::Decimal& d) { return Value(d.to_string()); }

util::Result<decimal::Decimal> decimal_from_persisted(const Value& v) {
    if (const auto* s = v.get_if<std::string>()) {
        if (auto d = decimal::Decimal::from_str(*s)) return *d;
        return util::fail(persist::invalid_value(v, decimal_expectation));
    }
    if (const auto* i = v.get_if<std::int64_t>()) return decimal::Decimal(decimal::DecimalValue::from_i64(*i));
    if (const auto* u = v.get_if<std::uint64_t>())
        return decimal::Decimal(decimal::DecimalValue::from_parts(*u, 0, false));
    if (const auto* f = v.get_if<double>()) return decimal::Decimal(decimal::DecimalValue::from_double(*f));
    return util::fail(persist::invalid_type(v, decimal_expectation));
}

Value to_persisted(const NumExpr& e) {
    const std::string_view name = num_variants[e.index()];
    return std::visit(
        [name](const auto& node) -> Value {
            using T = std::decay_t<decltype(node)>;
            if constexpr (BinaryNode<T>) {
                return tagged(name, pair(to_persisted(*node.left), to_persisted(*node.right)));
            } else if constexpr (std::is_same_v<T, NumExpr::Literal>) {
                return tagged(name, decimal_to_persisted(node.value));
            } else if constexpr (std::is_same_v<T, NumExpr::Identifier>) {
                return tagged(name, to_persisted(node.identifier));
            } else if constexpr (std::is_same_v<T, NumExpr::Call>) {
                return tagged(name, pair(Value(node.name), list(node.args)));
            } else {
                Array items;
                items.emplace_back(node.name);
                items.push_back(to_persisted(node.series));
                items.push_back(to_persisted(node.window));
                return tagged(name, Value(std::move(items)));
            }
        },
        e.variant());
}

Value to_persisted(const BoolExpr& e) {
    const std::string_view name = bool_variants[e.index()];
    return std::visit(
        [name](const auto& node) -> Value {
            using T = std::decay_t<decltype(node)>;
            if constexpr (BinaryNode<T>) {
                return tagged(name, pair(to_persisted(*node.left), to_persisted(*node.right)));
            } else if constexpr (std::is_same_v<T, BoolExpr::Not>) {
                return tagged(name, to_persisted(*node.operand));
            } else {
                return tagged(name, Value(node.value));
            }
        },
        e.variant());
}

Value to_persisted(const VecExpr& e) {
    if (const auto* call1 = e.get_if<VecExpr::Call1>())
        return tagged("Call1", pair(Value(call1->name), to_persisted(call1->identifier)));
    return tagged("Identifier", to_persisted(e.identifier()));
}

Value to_persisted(const Window& w) {
    Map m;
    m.emplace_back(Value("begin"), to_persisted(w.begin));
    m.emplace_back(Value("end"), to_persisted(w.end));
    return Value(std::move(m));
}

Value to_persisted(const BoundExpr& b) {
    const std::string_view name = bound_variants[b.index()];
    if (const auto* delayed = b.get_if<BoundExpr::DelayedCurrentTime>())
        return tagged(name, to_persisted(delayed->delay));
    if (const auto* exact = b.get_if<BoundExpr::ExactTime>()) return tagged(name, decimal_to_persisted(exact->time));
    return Value(std::string(name));
}

Value to_persisted(const TimeExpr& t) { return tagged(time_variants[t.index()], Value(t.count())); }

Value to_persisted(const Statement& s) {
    const std::string_view name = statement_variants[s.index()];
    if (const auto* assign = s.get_if<Statement::Assign>())
        return tagged(name, pair(Value(assign->name), to_persisted(assign->value)));
    if (const auto* branch = s.get_if<Statement::IfElse>()) {
        Array items;
        items.push_back(to_persisted(branch->condition));
        items.push_back(list(branch->then_branch));
        items.push_back(list(branch->else_branch));
        return tagged(name, Value(std::move(items)));
    }
    return tagged(name, to_persisted(std::get<Statement::Return>(s.variant()).value));
}

Value to_persisted(const std::vector<Statement>& statements) { return list(statements); }

Value to_persisted(const Identifier& id) {
    const std::string_view name = identifier_variants[id.index()];
    if (const auto* unchecked = id.get_if<Identifier::Unchecked>()) return tagged(name, to_persisted(unchecked->raw));
    if (const auto* field = id.get_if<Identifier::Field>()) return tagged(name, field->field.to_persisted());
    return tagged(name, Value(std::get<Identifier::Local>(id.variant()).name));
}

Value to_persisted(const RawIdentifier& raw) {
    Array options;
    options.reserve(raw.options.size());
    for (const auto& [option_name, option_value] : raw.options)
        options.push_back(pair(to_persisted(option_name), to_persisted(option_value)));
    Map m;
    m.emplace_back(Value("name"), Value(raw.name));
    m.emplace_back(Value("options"), Value(std::move(options)));
    m.emplace_back(Value("position"), Value(static_cast<std::uint64_t>(raw.position)));
    return Value(std::move(m));
}

Value to_persisted(const OptionName& n) {
    if (const std::string* key = n.key()) return tagged("Named", Value(*key));
    return Value("Positional");
}

Value to_persisted(const OptionValue& v) { return tagged("String", Value(v.text())); }

Value to_persisted(const Expression& e) {
    Map m;
    m.emplace_back(Value("tree"), to_persisted(e.tree));
    m.emplace_back(Value("parameter_signature"), Value(e.parameter_signature));
    return Value(std::move(m));
}

Value to_persisted(const Condition& c) {
    Map m;
    m.emplace_back(Value("tree"), to_persisted(c.tree));
    m.emplace_back(Value("parameter_signature"), Value(c.parameter_signature));
    return Value(std::move(m));
}

util::Result<NumExpr> num_expr_from_persisted(const Value& v, const util::Limits& limits) {
    return TreeReader(limits).num(v);
}

util::Result<BoolExpr> bool_expr_from_persisted(const Value& v, const util::Limits& limits) {
    return TreeReader(limits).boolean(v);
}

util::Result<Statement> statement_from_persisted(const Value& v, const util::Limits& limits) {
    return TreeReader(limits).statement(v);
}

util::Result<std::vector<Statement>> statements_from_persisted(const Value& v, const util::Limits& limits) {
    return TreeReader(limits).statements(v);
}

util::Result<Expression> expression_from_persisted(const Value& v, const util::Limits& limits) {
    return program_from_persisted<Expression>(v, "struct Expression with 2 elements",
                                              [&limits](const Value& t) { return TreeReader(limits).num(t); });
}

util::Result<Condition> condition_from_persisted(const Value& v, const util::Limits& limits) {
    return program_from_persisted<Condition>(v, "struct Condition with 2 elements",
                                             [&limits](const Value& t) { return TreeReader(limits).boolean(t); });
}

util::Result<VecExpr> vec_expr_from_persisted(const Value& v) {
    auto e = persist::read_enum(v, "VecExpr", vec_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    if (e->index == 0) {
        auto payload = newtype_payload(*e);
        if (!payload) return std::unexpected(std::move(payload.error()));
        auto id = identifier_from_persisted(**payload);
        if (!id) return std::unexpected(std::move(id.error()));
        return VecExpr::Identifier{std::move(*id)};
    }
    auto items = tuple_payload(*e, 2, "tuple variant VecExpr::Call1 with 2 elements");
    if (!items) return std::unexpected(std::move(items.error()));
    auto name = persist::read_string((*items)[0]);
    if (!name) return std::unexpected(std::move(name.error()));
    auto id = identifier_from_persisted((*items)[1]);
    if (!id) return std::unexpected(std::move(id.error()));
    return VecExpr::Call1{std::move(*name), std::move(*id)};
}

util::Result<Window> window_from_persisted(const Value& v) {
    auto record = persist::RecordReader::open(v, "struct Window with 2 elements", window_fields);
    if (!record) return std::unexpected(std::move(record.error()));
    auto begin = read_field(*record, "begin", bound_expr_from_persisted);
    if (!begin) return std::unexpected(std::move(begin.error()));
    auto end = read_field(*record, "end", bound_expr_from_persisted);
    if (!end) return std::unexpected(std::move(end.error()));
    if (!*begin) return util::fail(persist::missing_field(v, "begin"));
    if (!*end) return util::fail(persist::missing_field(v, "end"));
    return Window{**begin, **end};
}

util::Result<BoundExpr> bound_expr_from_persisted(const Value& v) {
    auto e = persist::read_enum(v, "BoundExpr", bound_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    switch (e->index) {
        case 0:
        case 1: {
            if (auto ok = persist::require_unit(*e); !ok) return std::unexpected(std::move(ok.error()));
            if (e->index == 0) return BoundExpr::LastUpdate{};
            return BoundExpr::CurrentTime{};
        }
        case 2: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto delay = time_expr_from_persisted(**payload);
            if (!delay) return std::unexpected(std::move(delay.error()));
            return BoundExpr::DelayedCurrentTime{*delay};
        }
        default: {
            auto payload = newtype_payload(*e);
            if (!payload) return std::unexpected(std::move(payload.error()));
            auto time = decimal_from_persisted(**payload);
            if (!time) return std::unexpected(std::move(time.error()));
            return BoundExpr::ExactTime{*time};
        }
    }
}

util::Result<TimeExpr> time_expr_from_persisted(const Value& v) {
    auto e = persist::read_enum(v, "TimeExpr", time_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    auto payload = newtype_payload(*e);
    if (!payload) return std::unexpected(std::move(payload.error()));
    auto count = persist::read_i64(**payload);
    if (!count) return std::unexpected(std::move(count.error()));
    switch (e->index) {
        case 0: return TimeExpr::Weeks{*count};
        case 1: return TimeExpr::Days{*count};
        case 2: return TimeExpr::Hours{*count};
        default: return TimeExpr::Minutes{*count};
    }
}

util::Result<Identifier> identifier_from_persisted(const Value& v) {
    auto e = persist::read_enum(v, "Identifier", identifier_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    auto payload = newtype_payload(*e);
    if (!payload) return std::unexpected(std::move(payload.error()));
    switch (e->index) {
        case 0: {
            auto raw = raw_identifier_from_persisted(**payload);
            if (!raw) return std::unexpected(std::move(raw.error()));
            return Identifier::unchecked(std::move(*raw));
        }
        case 1: {
            auto field = fields::SimulationField::from_persisted(**payload);
            if (!field) return std::unexpected(std::move(field.error()));
            return Identifier::field(std::move(*field));
        }
        default: {
            auto name = persist::read_string(**payload);
            if (!name) return std::unexpected(std::move(name.error()));
            return Identifier::local(std::move(*name));
        }
    }
}

util::Result<RawIdentifier> raw_identifier_from_persisted(const Value& v) {
    auto record = persist::RecordReader::open(v, "struct RawIdentifier with 3 elements", raw_identifier_fields);
    if (!record) return std::unexpected(std::move(record.error()));
    auto name = read_field(*record, "name", [](const Value& n) { return persist::read_string(n); });
    if (!name) return std::unexpected(std::move(name.error()));
    auto options = read_field(*record, "options", read_options);
    if (!options) return std::unexpected(std::move(options.error()));
    auto position = read_field(*record, "position", [](const Value& p) { return persist::read_u64(p, "usize"); });
    if (!position) return std::unexpected(std::move(position.error()));
    if (!*name) return util::fail(persist::missing_field(v, "name"));
    if (!*options) return util::fail(persist::missing_field(v, "options"));
    if (!*position) return util::fail(persist::missing_field(v, "position"));
    return RawIdentifier{std::move(**name), std::move(**options), static_cast<std::size_t>(**position)};
}

util::Result<OptionName> option_name_from_persisted(const Value& v) {
    auto e = persist::read_enum(v, "OptionName", option_name_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    if (e->index == 0) {
        if (auto ok = persist::require_unit(*e); !ok) return std::unexpected(std::move(ok.error()));
        return OptionName::positional();
    }
    auto payload = newtype_payload(*e);
    if (!payload) return std::unexpected(std::move(payload.error()));
    auto key = persist::read_string(**payload);
    if (!key) return std::unexpected(std::move(key.error()));
    return OptionName::named(std::move(*key));
}

util::Result<OptionValue> option_value_from_persisted(const Value& v) {
    auto e = persist::read_enum(v, "OptionValue", option_value_variants);
    if (!e) return std::unexpected(std::move(e.error()));
    auto payload = newtype_payload(*e);
    if (!payload) return std::unexpected(std::move(payload.error()));
    auto text = persist::read_string(**payload);
    if (!text) return std::unexpected(std::move(text.error()));
    return OptionValue::string(std::move(*text));
}

util::Result<std::vector<std::uint8_t>> expression_to_msgpack(const std::optional<Expression>& e) {
    return state_to_msgpack(e);
}

util::Result<std::optional<Expression>> expression_from_msgpack(std::span<const std::uint8_t> bytes,
                                                                const util::Limits& limits) {
    return state_from_msgpack<Expression>(
        bytes, limits, [](const Value& v, const util::Limits& l) { return expression_from_persisted(v, l); });
}

util::Result<std::vector<std::uint8_t>> condition_to_msgpack(const std::optional<Condition>& c) {
    return state_to_msgpack(c);
}

util::Result<std::optional<Condition>> condition_from_msgpack(std::span<const std::uint8_t> bytes,
                                                              const util::Limits& limits) {
    return state_from_msgpack<Condition>(
        bytes, limits, [](const Value& v, const util::Limits& l) { return condition_from_persisted(v, l); });
}

}  // namespace tarnel::grammar
