#include "tarnel/fields/config_protocol.hpp"

#include <algorithm>

#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

util::Result<TokenWhitelist> read_token_array(const persist::Value& value) {
    auto items = persist::read_array(value);
    if (!items) return util::fail(std::move(items.error()));
    std::vector<std::string> texts;
    texts.reserve(items->size());
    for (const persist::Value& item : *items) {
        auto text = persist::read_string(item);
        if (!text) return util::fail(std::move(text.error()));
        texts.push_back(std::move(*text));
    }
    TokenWhitelist whitelist;
    if (auto added = whitelist.register_all_str(std::span<const std::string>(texts)); !added)
        return util::fail(added.error().message());
    return whitelist;
}

std::vector<ConfigFieldParserMetric> metrics_of(const std::vector<ProtocolParserFieldConfig>& entries) {
    std::vector<ConfigFieldParserMetric> out;
    out.reserve(entries.size());
    for (const auto& e : entries) {
        ConfigFieldParserMetric metric{e.symbol, {}};
        metric.options.reserve(e.parameters.size());
        for (const auto& p : e.parameters) metric.options.push_back(ConfigFieldParserOption{p.type, p.name, p.optional_name});
        out.push_back(std::move(metric));
    }
    return out;
}

}  // namespace

util::Result<ConfigFieldComponent> instantiate_component(ConfigFieldComponentType type, const persist::Value& value) {
    switch (type) {
        case ConfigFieldComponentType::TokenWhitelist: break;
    }
    auto whitelist = read_token_array(value);
    if (!whitelist) return util::fail(std::move(whitelist.error()).context("Expected Token array"));
    return ConfigFieldComponent{std::move(*whitelist)};
}

util::Result<std::vector<ConfigFieldComponent>> instantiate_components(const ProtocolParserConfig& config,
                                                                       std::span<const persist::Value> values) {
    const std::size_t n = std::min(config.components().size(), values.size());
    std::vector<ConfigFieldComponent> out;
    out.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        auto component = instantiate_component(config.components()[k], values[k]);
        if (!component) return util::fail(std::move(component.error()));
        out.push_back(std::move(*component));
    }
    return out;
}

ConfiguredProtocolParsers make_config_parsers(const ProtocolParserConfig& config,
                                              const std::vector<ConfigFieldComponent>& components) {
    return ConfiguredProtocolParsers{
        std::make_unique<ConfigFieldParser>(components, metrics_of(config.protocol_metrics())),
        std::make_unique<ConfigFieldParser>(components, metrics_of(config.agent_metrics())),
    };
}

util::Result<ConfiguredProtocolParsers> build_config_parsers(const ProtocolParserConfig& config,
                                                             std::span<const persist::Value> values) {
    auto components = instantiate_components(config, values);
    if (!components) return util::fail(std::move(components.error()));
    return make_config_parsers(config, *components);
}

}  // namespace tarnel::fields
