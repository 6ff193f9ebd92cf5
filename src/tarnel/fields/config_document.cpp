#include "tarnel/fields/config_document.hpp"

#include <array>
#include <set>

#include <fmt/format.h>

#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 1> component_type_names{"Whitelist<Token>"};
constexpr std::array<std::string_view, 3> parameter_fields{"name", "type", "optional_name"};
constexpr std::array<std::string_view, 4> metric_fields{"name", "doc", "symbol", "parameters"};
constexpr std::array<std::string_view, 5> config_fields{"name", "singleton", "components", "protocol_metrics",
                                                        "agent_metrics"};

template <class T, class ReadOne>
util::Result<std::vector<T>> read_list(const persist::Value* v, ReadOne read_one) {
    std::vector<T> out;
    if (v == nullptr) return out;
    auto items = persist::read_array(*v);
    if (!items) return util::fail(std::move(items.error()));
    out.reserve(items->size());
    for (const persist::Value& item : *items) {
        auto one = read_one(item);
        if (!one) return util::fail(std::move(one.error()));
        out.push_back(std::move(*one));
    }
    return out;
}

// Absent and null both mean "not given".
util::Result<std::optional<std::string>> read_optional_string(const persist::Value* v) {
    if (v == nullptr || v->is<persist::Null>()) return std::optional<std::string>{};
    auto s = persist::read_string(*v);
    if (!s) return util::fail(std::move(s.error()));
    return std::optional<std::string>(std::move(*s));
}

util::Result<ProtocolParserFieldParameterConfig> read_parameter(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct ProtocolParserFieldParameterConfig with 3 elements",
                                         parameter_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto name_node = r->required("name");
    if (!name_node) return util::fail(std::move(name_node.error()));
    auto name = names::read_identifier(**name_node);
    if (!name) return util::fail(std::move(name.error()));
    auto type_node = r->required("type");
    if (!type_node) return util::fail(std::move(type_node.error()));
    auto type = read_config_parameter_type(**type_node);
    if (!type) return util::fail(std::move(type.error()));
    bool optional_name = false;
    if (const persist::Value* flag = r->optional("optional_name")) {
        auto b = persist::read_bool(*flag);
        if (!b) return util::fail(std::move(b.error()));
        optional_name = *b;
    }
    return ProtocolParserFieldParameterConfig{std::move(*name), *type, optional_name};
}

util::Result<ProtocolParserFieldConfig> read_metric(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct ProtocolParserFieldConfig with 4 elements", metric_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto title = read_optional_string(r->optional("name"));
    if (!title) return util::fail(std::move(title.error()));
    auto doc = read_optional_string(r->optional("doc"));
    if (!doc) return util::fail(std::move(doc.error()));
    auto symbol_node = r->required("symbol");
    if (!symbol_node) return util::fail(std::move(symbol_node.error()));
    auto symbol = names::read_identifier(**symbol_node);
    if (!symbol) return util::fail(std::move(symbol.error()));
    auto parameters = read_list<ProtocolParserFieldParameterConfig>(r->optional("parameters"), read_parameter);
    if (!parameters) return util::fail(std::move(parameters.error()));
    return ProtocolParserFieldConfig{std::move(*title), std::move(*doc), std::move(*symbol), std::move(*parameters)};
}

// The first symbol met a second time, scanning in order.
const names::Identifier* first_repeated_symbol(const std::vector<ProtocolParserFieldConfig>& metrics) {
    std::set<std::string_view> seen;
    for (const auto& m : metrics)
        if (!seen.insert(m.symbol.text()).second) return &m.symbol;
    return nullptr;
}

}  // namespace

util::Result<ProtocolParserConfig> ProtocolParserConfig::validate(ProtocolParserConfigUnchecked unchecked) {
    for (const auto* list : {&unchecked.protocol_metrics, &unchecked.agent_metrics})
        if (const names::Identifier* repeated = first_repeated_symbol(*list))
            return util::fail(
                fmt::format("Encounter metric symbol `{}` multiple times, should be unique", repeated->text()));
    return ProtocolParserConfig(std::move(unchecked));
}

util::Result<ConfigFieldComponentType> read_config_component_type(const persist::Value& v) {
    auto e = persist::read_enum(v, "ConfigFieldComponentType", component_type_names);
    if (!e) return util::fail(std::move(e.error()));
    if (auto unit = persist::require_unit(*e); !unit) return util::fail(std::move(unit.error()));
    return static_cast<ConfigFieldComponentType>(e->index);
}

persist::Value write_config_component_type(ConfigFieldComponentType t) {
    return persist::Value(std::string(component_type_names[static_cast<std::size_t>(t)]));
}

util::Result<ProtocolParserConfigUnchecked> read_protocol_parser_config_unchecked(const persist::Value& v) {
    auto r = persist::RecordReader::open(v, "struct ProtocolParserConfigUnchecked with 5 elements", config_fields);
    if (!r) return util::fail(std::move(r.error()));
    auto name_node = r->required("name");
    if (!name_node) return util::fail(std::move(name_node.error()));
    auto name = persist::read_string(**name_node);
    if (!name) return util::fail(std::move(name.error()));
    std::optional<names::IdentifierOrAddr> singleton;
    if (const persist::Value* s = r->optional("singleton"); s != nullptr && !s->is<persist::Null>()) {
        auto parsed = names::read_identifier_or_addr(*s);
        if (!parsed) return util::fail(std::move(parsed.error()));
        singleton = std::move(*parsed);
    }
    auto components = read_list<ConfigFieldComponentType>(r->optional("components"), read_config_component_type);
    if (!components) return util::fail(std::move(components.error()));
    auto protocol_metrics = read_list<ProtocolParserFieldConfig>(r->optional("protocol_metrics"), read_metric);
    if (!protocol_metrics) return util::fail(std::move(protocol_metrics.error()));
    auto agent_metrics = read_list<ProtocolParserFieldConfig>(r->optional("agent_metrics"), read_metric);
    if (!agent_metrics) return util::fail(std::move(agent_metrics.error()));
    return ProtocolParserConfigUnchecked{std::move(*name), std::move(singleton), std::move(*components),
                                         std::move(*protocol_metrics), std::move(*agent_metrics)};
}

util::Result<ProtocolParserConfig> read_protocol_parser_config(const persist::Value& v) {
    auto unchecked = read_protocol_parser_config_unchecked(v);
    if (!unchecked) return util::fail(std::move(unchecked.error()));
    auto checked = ProtocolParserConfig::validate(std::move(*unchecked));
    if (!checked) return util::fail(persist::read_error(v, std::move(checked.error().message)));
    return checked;
}

util::Result<ProtocolParserConfig> protocol_parser_config_from_yaml(std::string_view text) {
    auto v = persist::from_yaml(text);
    if (!v) return util::fail(std::move(v.error()));
    return read_protocol_parser_config(*v);
}

util::Result<ProtocolParserConfig> protocol_parser_config_from_json(std::string_view text) {
    auto v = persist::from_json(text);
    if (!v) return util::fail(std::move(v.error()));
    return read_protocol_parser_config(*v);
}

}  // namespace tarnel::fields
