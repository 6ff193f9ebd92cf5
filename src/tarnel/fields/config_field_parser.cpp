#include "tarnel/fields/config_field_parser.hpp"

#include <array>

#include <fmt/format.h>

#include "tarnel/fields/option_resolution.hpp"
#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 1> component_variants{"TokenWhitelist"};
constexpr std::array<std::string_view, 3> option_fields{"type", "name", "positional"};
constexpr std::array<std::string_view, 2> parser_fields{"components", "fields"};

// Conversion failures pass through with the conversion's own message.
template <class T, class E>
util::Result<ConfigFieldParameterValue> value_or_message(std::expected<T, E> r) {
    if (!r) return util::fail(r.error().message());
    return ConfigFieldParameterValue(std::move(*r));
}

template <class T, class ReadOne>
util::Result<std::vector<T>> read_list(const persist::Value& v, ReadOne read_one) {
    auto items = persist::read_array(v);
    if (!items) return util::fail(std::move(items.error()));
    std::vector<T> out;
    out.reserve(items->size());
    for (const persist::Value& item : *items) {
        auto one = read_one(item);
        if (!one) return util::fail(std::move(one.error()));
        out.push_back(std::move(*one));
    }
    return out;
}

util::Result<ConfigFieldParserMetric> read_metric(const persist::Value& v) {
    auto pair = persist::read_tuple(v, 2, "a tuple of size 2");
    if (!pair) return util::fail(std::move(pair.error()));
    auto symbol = names::read_identifier((*pair)[0]);
    if (!symbol) return util::fail(std::move(symbol.error()));
    auto options = read_list<ConfigFieldParserOption>((*pair)[1], ConfigFieldParserOption::from_persisted);
    if (!options) return util::fail(std::move(options.error()));
    return ConfigFieldParserMetric{std::move(*symbol), std::move(*options)};
}

// Only persisted state can pair a field with a parser it did not come from.
util::Error foreign_field(const ConfigField& field, std::size_t metrics) {
    return util::Error(fmt::format("Field index {} with {} options does not match the parser's {} metrics",
                                   field.index(), field.options().size(), metrics));
}

}  // namespace

std::string ConfigFieldComponent::debug() const { return "TokenWhitelist(" + token_whitelist.debug() + ")"; }

persist::Value ConfigFieldComponent::to_persisted() const {
    return persist::Map{{persist::Value("TokenWhitelist"), token_whitelist.to_persisted()}};
}

util::Result<ConfigFieldComponent> ConfigFieldComponent::from_persisted(const persist::Value& v) {
    auto e = persist::read_enum(v, "ConfigFieldComponent", component_variants);
    if (!e) return util::fail(std::move(e.error()));
    auto payload = persist::require_payload(*e);
    if (!payload) return util::fail(std::move(payload.error()));
    auto whitelist = TokenWhitelist::from_persisted(**payload);
    if (!whitelist) return util::fail(std::move(whitelist.error()));
    return ConfigFieldComponent{std::move(*whitelist)};
}

std::string ConfigFieldParserOption::debug() const {
    return fmt::format("ConfigFieldParserOption {{ type: {}, name: {}, positional: {} }}", document_name(type),
                       name.debug(), positional);
}

persist::Value ConfigFieldParserOption::to_persisted() const {
    return persist::Map{{persist::Value("type"), write_config_parameter_type(type)},
                        {persist::Value("name"), names::to_persisted(name)},
                        {persist::Value("positional"), persist::Value(positional)}};
}

util::Result<ConfigFieldParserOption> ConfigFieldParserOption::from_persisted(const persist::Value& v) {
    auto record = persist::RecordReader::open(v, "struct ConfigFieldParserOption with 3 elements", option_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto type_node = record->required("type");
    if (!type_node) return util::fail(std::move(type_node.error()));
    auto type = read_config_parameter_type(**type_node);
    if (!type) return util::fail(std::move(type.error()));
    auto name_node = record->required("name");
    if (!name_node) return util::fail(std::move(name_node.error()));
    auto name = names::read_identifier(**name_node);
    if (!name) return util::fail(std::move(name.error()));
    auto positional_node = record->required("positional");
    if (!positional_node) return util::fail(std::move(positional_node.error()));
    auto positional = persist::read_bool(**positional_node);
    if (!positional) return util::fail(std::move(positional.error()));
    return ConfigFieldParserOption{*type, std::move(*name), *positional};
}

const TokenWhitelist* ConfigFieldParser::whitelist() const {
    return components_.empty() ? nullptr : &components_.front().token_whitelist;
}

util::Result<ConfigFieldParameterValue> ConfigFieldParser::convert(ConfigFieldParameterType type,
                                                                   std::string_view text) const {
    using T = ConfigFieldParameterType;
    const TokenWhitelist* wl = whitelist();
    switch (value_type(type)) {
        case T::Token:
            if (wl != nullptr) return value_or_message(WhitelistIndex::from_required(text, *wl));
            return value_or_message(names::TokenSymbol::parse(text));
        case T::TokenPair:
            if (wl != nullptr) return value_or_message(TokenIdPair::from_required(text, *wl));
            return value_or_message(names::TokenSymbolPair::parse(text));
        case T::Identifier: return value_or_message(names::Identifier::parse(text));
        case T::IdentifierOrAddress: return value_or_message(names::IdentifierOrAddr::parse(text));
        case T::Address: return value_or_message(names::EthAddress::parse(text));
        default: break;
    }
    return ConfigFieldParameterValue(util::SharedString(text));
}

util::Result<DynField> ConfigFieldParser::parse(std::string_view name,
                                                const grammar::ComposedIdentifierRef& identifier) const {
    std::size_t index = 0;
    while (index < fields_.size() && fields_[index].symbol.text() != name) ++index;
    if (index == fields_.size()) return util::fail("Invalid field " + std::string(name));
    const auto& parameters = fields_[index].options;
    OptionMatcher matcher(identifier);
    std::vector<ConfigFieldParameterValue> values;
    values.reserve(parameters.size());
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const auto& p = parameters[k];
        auto text = matcher.take(k, p.name.text(), p.positional, is_required(p.type));
        if (!text) return util::fail(text.error().to_error());
        if (!*text) {
            values.emplace_back();
            continue;
        }
        auto value = convert(p.type, **text);
        if (!value) return util::fail(std::move(value.error()));
        values.push_back(std::move(*value));
    }
    if (auto rest = matcher.finish(); !rest) return util::fail(rest.error().to_error());
    return DynField(std::make_shared<ConfigField>(index, std::move(values)));
}

util::Status ConfigFieldParser::write_value(const ConfigFieldParameterValue& value, std::string& out) const {
    static const TokenWhitelist no_whitelist;
    const TokenWhitelist& wl = whitelist() != nullptr ? *whitelist() : no_whitelist;
    struct Visitor {
        const TokenWhitelist& wl;
        std::string& out;
        util::Status operator()(const names::TokenSymbol& v) const { return append(v.text()); }
        util::Status operator()(const WhitelistIndex& v) const {
            auto symbol = symbol_text(wl, v);
            if (!symbol) return util::fail(std::move(symbol.error()));
            return append(*symbol);
        }
        util::Status operator()(const names::TokenSymbolPair& v) const { return append(v.text()); }
        util::Status operator()(const TokenIdPair& v) const {
            auto base = symbol_text(wl, v.base);
            if (!base) return util::fail(std::move(base.error()));
            auto quote = symbol_text(wl, v.quote);
            if (!quote) return util::fail(std::move(quote.error()));
            out += *base;
            out += '/';
            return append(*quote);
        }
        util::Status operator()(const names::Identifier& v) const { return append(v.text()); }
        util::Status operator()(const names::IdentifierOrAddr& v) const { return append(v.text()); }
        util::Status operator()(const names::EthAddress& v) const { return append(v.text()); }
        util::Status operator()(const util::SharedString& v) const { return append(v.view()); }
        util::Status operator()(const NoParameterValue&) const { return {}; }
        util::Status append(std::string_view s) const {
            out += s;
            return {};
        }
    };
    return std::visit(Visitor{wl, out}, value.variant());
}

util::Status ConfigFieldParser::write_typed(const ConfigField& field, std::string& out) const {
    if (field.index() >= fields_.size() || field.options().size() != fields_[field.index()].options.size())
        return util::fail(foreign_field(field, fields_.size()));
    const auto& metric = fields_[field.index()];
    out += metric.symbol.text();
    bool first = true;
    for (std::size_t k = 0; k < field.options().size(); ++k) {
        const auto& value = field.options()[k];
        if (value.is_none()) continue;
        out += first ? ":{" : ",";
        first = false;
        out += metric.options[k].name.text();
        out += "=\"";
        if (auto s = write_value(value, out); !s) return s;
        out += '"';
    }
    if (!first) out += '}';
    return {};
}

persist::Value ConfigFieldParser::to_persisted() const {
    persist::Array components;
    for (const auto& c : components_) components.push_back(c.to_persisted());
    persist::Map record{{persist::Value("components"), persist::Value(std::move(components))}};
    if (!fields_.empty()) {
        persist::Array fields;
        for (const auto& metric : fields_) {
            persist::Array options;
            for (const auto& o : metric.options) options.push_back(o.to_persisted());
            fields.push_back(persist::Array{names::to_persisted(metric.symbol), persist::Value(std::move(options))});
        }
        record.emplace_back(persist::Value("fields"), persist::Value(std::move(fields)));
    }
    return record;
}

std::string ConfigFieldParser::debug() const {
    std::string out = "ConfigFieldParser { components: [";
    for (std::size_t k = 0; k < components_.size(); ++k) {
        if (k > 0) out += ", ";
        out += components_[k].debug();
    }
    out += "], fields: [";
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        if (k > 0) out += ", ";
        out += '(';
        out += fields_[k].symbol.debug();
        out += ", [";
        for (std::size_t j = 0; j < fields_[k].options.size(); ++j) {
            if (j > 0) out += ", ";
            out += fields_[k].options[j].debug();
        }
        out += "])";
    }
    return out + "] }";
}

util::Result<std::unique_ptr<FieldParser>> ConfigFieldParser::read(const persist::Value& v) {
    auto record = persist::RecordReader::open(v, "struct ConfigFieldParser with 2 elements", parser_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto components_node = record->required("components");
    if (!components_node) return util::fail(std::move(components_node.error()));
    auto components = read_list<ConfigFieldComponent>(**components_node, ConfigFieldComponent::from_persisted);
    if (!components) return util::fail(std::move(components.error()));
    std::vector<ConfigFieldParserMetric> fields;
    if (const persist::Value* fields_node = record->optional("fields")) {
        auto read = read_list<ConfigFieldParserMetric>(*fields_node, read_metric);
        if (!read) return util::fail(std::move(read.error()));
        fields = std::move(*read);
    }
    return std::make_unique<ConfigFieldParser>(std::move(*components), std::move(fields));
}

util::Result<std::unique_ptr<FieldParser>> read_config_field_parser(const persist::Value& v) {
    return ConfigFieldParser::read(v);
}

}  // namespace tarnel::fields
