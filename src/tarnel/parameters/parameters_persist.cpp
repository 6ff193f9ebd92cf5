#include "tarnel/parameters/parameters_persist.hpp"

#include <array>
#include <type_traits>
#include <utility>

#include "tarnel/grammar/tree_persist.hpp"
#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/reader.hpp"
#include "tarnel/timeseries/instant.hpp"

namespace tarnel::parameters {
namespace {

using persist::Array;
using persist::Map;
using persist::Value;

constexpr std::array<std::string_view, 3> function_fields = {"name", "args", "statements"};
constexpr std::array<std::string_view, 3> parameters_fields = {"start_date", "custom_functions", "registry"};
constexpr std::array<std::string_view, 2> sealed_fields = {"internal", "signature"};
constexpr std::array<std::string_view, 1> holder_fields = {"internal"};

// Reads a field when present. Present fields are read in declaration order;
// a missing one is reported after them.
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

util::Result<std::vector<std::string>> read_strings(const Value& v) {
    auto items = persist::read_array(v);
    if (!items) return std::unexpected(std::move(items.error()));
    std::vector<std::string> out;
    out.reserve(items->size());
    for (const Value& item : *items) {
        auto s = persist::read_string(item);
        if (!s) return std::unexpected(std::move(s.error()));
        out.push_back(std::move(*s));
    }
    return out;
}

util::Result<timeseries::Instant> read_start_date(const Value& v) {
    auto text = persist::read_string(v, "an RFC 3339 date-time string");
    if (!text) return std::unexpected(std::move(text.error()));
    auto t = timeseries::parse_rfc3339(*text);
    if (!t) return util::fail(persist::read_error(v, t.error().message));
    return *t;
}

util::Result<CustomFunctions> read_functions(const Value& v, const util::Limits& limits) {
    auto entries = persist::read_map(v);
    if (!entries) return std::unexpected(std::move(entries.error()));
    CustomFunctions out;
    for (const auto& [key, value] : **entries) {
        auto name = persist::read_string(key);
        if (!name) return std::unexpected(std::move(name.error()));
        auto f = custom_function_from_persisted(value, limits);
        if (!f) return std::unexpected(std::move(f.error()));
        out.insert_or_assign(std::move(*name), std::move(*f));
    }
    return out;
}

util::Result<fields::SimulatorRegistry> read_registry(const Value& v) {
    return fields::SimulatorRegistry::from_persisted(v);
}

util::Result<std::uint64_t> read_signature(const Value& v) { return persist::read_u64(v); }

}  // namespace

Value to_persisted(const CustomFunction& f) {
    Array args;
    args.reserve(f.args.size());
    for (const auto& a : f.args) args.emplace_back(a);
    Map m;
    m.emplace_back(Value("name"), Value(f.name));
    m.emplace_back(Value("args"), Value(std::move(args)));
    m.emplace_back(Value("statements"), grammar::to_persisted(f.statements));
    return Value(std::move(m));
}

Value to_persisted(const Parameters& p) {
    Map functions;
    functions.reserve(p.custom_functions().size());
    for (const auto& [key, function] : p.custom_functions()) functions.emplace_back(Value(key), to_persisted(function));
    Map m;
    m.emplace_back(Value("start_date"), Value(timeseries::format_rfc3339(p.start_date())));
    m.emplace_back(Value("custom_functions"), Value(std::move(functions)));
    m.emplace_back(Value("registry"), p.registry().to_persisted());
    return Value(std::move(m));
}

Value to_persisted(const SealedParameters& s) {
    Map m;
    m.emplace_back(Value("internal"), to_persisted(s.internal()));
    m.emplace_back(Value("signature"), Value(s.signature().value));
    return Value(std::move(m));
}

util::Result<CustomFunction> custom_function_from_persisted(const Value& v, const util::Limits& limits) {
    auto rec = persist::RecordReader::open(v, "struct CustomFunction with 3 elements", function_fields);
    if (!rec) return std::unexpected(std::move(rec.error()));
    auto name = read_field(*rec, "name", [](const Value& n) { return persist::read_string(n); });
    if (!name) return std::unexpected(std::move(name.error()));
    auto args = read_field(*rec, "args", read_strings);
    if (!args) return std::unexpected(std::move(args.error()));
    auto statements =
        read_field(*rec, "statements", [&limits](const Value& s) { return grammar::statements_from_persisted(s, limits); });
    if (!statements) return std::unexpected(std::move(statements.error()));
    if (!*name) return util::fail(persist::missing_field(v, "name"));
    if (!*args) return util::fail(persist::missing_field(v, "args"));
    if (!*statements) return util::fail(persist::missing_field(v, "statements"));
    return CustomFunction{std::move(**name), std::move(**args), std::move(**statements)};
}

util::Result<Parameters> parameters_from_persisted(const Value& v, const util::Limits& limits) {
    auto rec = persist::RecordReader::open(v, "struct Parameters with 3 elements", parameters_fields);
    if (!rec) return std::unexpected(std::move(rec.error()));
    auto start_date = read_field(*rec, "start_date", read_start_date);
    if (!start_date) return std::unexpected(std::move(start_date.error()));
    auto functions =
        read_field(*rec, "custom_functions", [&limits](const Value& f) { return read_functions(f, limits); });
    if (!functions) return std::unexpected(std::move(functions.error()));
    auto registry = read_field(*rec, "registry", read_registry);
    if (!registry) return std::unexpected(std::move(registry.error()));
    if (!*start_date) return util::fail(persist::missing_field(v, "start_date"));
    if (!*functions) return util::fail(persist::missing_field(v, "custom_functions"));
    if (!*registry) return util::fail(persist::missing_field(v, "registry"));
    return Parameters(**start_date, std::move(**functions), std::move(**registry));
}

util::Result<SealedParameters> sealed_from_persisted(const Value& v, const util::Limits& limits) {
    auto rec = persist::RecordReader::open(v, "struct SealedParameters with 2 elements", sealed_fields);
    if (!rec) return std::unexpected(std::move(rec.error()));
    auto internal =
        read_field(*rec, "internal", [&limits](const Value& p) { return parameters_from_persisted(p, limits); });
    if (!internal) return std::unexpected(std::move(internal.error()));
    auto signature = read_field(*rec, "signature", read_signature);
    if (!signature) return std::unexpected(std::move(signature.error()));
    if (!*internal) return util::fail(persist::missing_field(v, "internal"));
    if (!*signature) return util::fail(persist::missing_field(v, "signature"));
    return SealedParameters(std::move(**internal), Signature{**signature});
}

util::Result<std::string> sealed_to_json(const std::optional<SealedParameters>& holder) {
    Map m;
    m.emplace_back(Value("internal"), holder ? to_persisted(*holder) : Value(persist::Null{}));
    return persist::to_json(Value(std::move(m)));
}

util::Result<std::optional<SealedParameters>> sealed_from_json(std::string_view text, const util::Limits& limits) {
    auto value = persist::from_json(text, limits);
    if (!value) return std::unexpected(std::move(value.error()));
    auto rec = persist::RecordReader::open(*value, "struct SealedParameters holder with 1 element", holder_fields);
    if (!rec) return std::unexpected(std::move(rec.error()));
    const Value* internal = rec->optional("internal");
    if (internal == nullptr || internal->is<persist::Null>()) return std::optional<SealedParameters>();
    auto sealed = sealed_from_persisted(*internal, limits);
    if (!sealed) return std::unexpected(std::move(sealed.error()));
    return std::optional<SealedParameters>(std::move(*sealed));
}

util::Result<std::vector<std::uint8_t>> sealed_to_msgpack(const std::optional<SealedParameters>& holder) {
    return persist::to_msgpack(holder ? to_persisted(*holder) : Value(persist::Null{}));
}

util::Result<std::optional<SealedParameters>> sealed_from_msgpack(std::span<const std::uint8_t> bytes,
                                                                  const util::Limits& limits) {
    auto value = persist::from_msgpack(bytes, limits);
    if (!value) return std::unexpected(std::move(value.error()));
    if (value->is<persist::Null>()) return std::optional<SealedParameters>();
    auto sealed = sealed_from_persisted(*value, limits);
    if (!sealed) return std::unexpected(std::move(sealed.error()));
    return std::optional<SealedParameters>(std::move(*sealed));
}

}  // namespace tarnel::parameters
