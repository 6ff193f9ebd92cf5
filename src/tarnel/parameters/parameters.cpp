#include "tarnel/parameters/parameters.hpp"

#include <array>

#include <fmt/format.h>

#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/config_protocol.hpp"
#include "tarnel/persist/codecs.hpp"

namespace tarnel::parameters {
namespace {

constexpr std::array<std::string_view, 3> reserved_protocol_names{"all", "variables", "common"};

enum class TextFormat { Yaml, Json };

util::Result<persist::Value> read_value(TextFormat format, std::string_view text) {
    return format == TextFormat::Yaml ? persist::from_yaml(text) : persist::from_json(text);
}

util::Result<fields::ProtocolParserConfig> read_config(TextFormat format, std::string_view text) {
    return format == TextFormat::Yaml ? fields::protocol_parser_config_from_yaml(text)
                                      : fields::protocol_parser_config_from_json(text);
}

util::Status add_from_text(Parameters& parameters, TextFormat format, std::string_view config_text,
                           std::string_view name, std::span<const std::string> component_texts) {
    std::vector<persist::Value> values;
    values.reserve(component_texts.size());
    for (std::size_t k = 0; k < component_texts.size(); ++k) {
        auto value = read_value(format, component_texts[k]);
        if (!value)
            return util::fail(std::move(value.error())
                                  .context(fmt::format(
                                      "Failed to parse metric name config parameter at index {} for protocol {}", k, name)));
        values.push_back(std::move(*value));
    }
    auto config = read_config(format, config_text);
    if (!config)
        return util::fail(
            std::move(config.error()).context(fmt::format("Failed to parse metric name config for protocol {}", name)));
    return parameters.add_protocol_from_config(*config, name, values);
}

persist::Value string_array(std::span<const std::string> texts) {
    persist::Array array;
    array.reserve(texts.size());
    for (const auto& t : texts) array.emplace_back(t);
    return array;
}

// The built-in entries are never removed, but a registry read back from a
// persisted form need not hold them.
util::Error missing_builtin(std::string_view parser) {
    return util::Error(fmt::format("The registry holds no {}", parser));
}

}  // namespace

bool is_reserved_protocol_name(std::string_view name) {
    for (std::string_view reserved : reserved_protocol_names)
        if (name == reserved) return true;
    return false;
}

Parameters::Parameters(timeseries::Instant start_date)
    : start_date_(start_date), registry_(fields::SimulatorRegistry::with_builtin_entries()) {}

Parameters::Parameters(timeseries::Instant start_date, CustomFunctions custom_functions,
                       fields::SimulatorRegistry registry)
    : start_date_(start_date), custom_functions_(std::move(custom_functions)), registry_(std::move(registry)) {}

util::Status Parameters::add_protocol_from_config(const fields::ProtocolParserConfig& config, std::string_view name,
                                                  std::span<const persist::Value> component_values) {
    const std::string_view chosen = config.singleton() ? config.singleton()->text() : name;
    if (is_reserved_protocol_name(chosen))
        return util::fail(fmt::format("Cannot add {} protocol with reserved word '{}'", config.name(), chosen));
    auto parsers = fields::build_config_parsers(config, component_values);
    if (!parsers) return util::fail(std::move(parsers.error()));
    auto registered = registry_.register_protocol(chosen, std::move(parsers->protocol), std::move(parsers->agent));
    if (!registered) return util::fail(registered.error().to_error());
    return {};
}

util::Status Parameters::add_protocol_from_yaml(std::string_view config_text, std::string_view name,
                                                std::span<const std::string> component_texts) {
    return add_from_text(*this, TextFormat::Yaml, config_text, name, component_texts);
}

util::Status Parameters::add_protocol_from_json(std::string_view config_text, std::string_view name,
                                                std::span<const std::string> component_texts) {
    return add_from_text(*this, TextFormat::Json, config_text, name, component_texts);
}

util::Status Parameters::add_catalogue_protocol(fields::CatalogueProtocol protocol, std::string_view name,
                                                std::span<const std::string> tokens) {
    auto config = fields::read_catalogue_config(protocol);
    if (!config) return util::fail(std::move(config.error()));
    const std::array<persist::Value, 1> values{string_array(tokens)};
    return add_protocol_from_config(*config, name, values);
}

util::Status Parameters::add_uniswap_v2_protocol(std::string_view name, std::string_view token0,
                                                 std::string_view token1) {
    const std::array<std::string, 2> tokens{std::string(token0), std::string(token1)};
    return add_catalogue_protocol(fields::CatalogueProtocol::UniswapV2, name, tokens);
}

util::Status Parameters::add_uniswap_v3_protocol(std::string_view name, std::string_view token0,
                                                 std::string_view token1) {
    const std::array<std::string, 2> tokens{std::string(token0), std::string(token1)};
    return add_catalogue_protocol(fields::CatalogueProtocol::UniswapV3, name, tokens);
}

util::Status Parameters::add_aave_v3_protocol(std::span<const std::string> tokens) {
    return add_catalogue_protocol(fields::CatalogueProtocol::AaveV3, "aave_v3", tokens);
}

util::Status Parameters::add_compound_v2_protocol(std::span<const std::string> tokens) {
    return add_catalogue_protocol(fields::CatalogueProtocol::CompoundV2, "compound_v2", tokens);
}

util::Status Parameters::add_common(std::span<const std::string> tokens) {
    auto* all = registry_.find_parser<fields::AgentAnyProtocolFieldParser>();
    if (all == nullptr) return util::fail(missing_builtin(fields::AgentAnyProtocolFieldParser::tag));
    auto* common = registry_.find_parser<fields::CommonFieldParser>();
    if (common == nullptr) return util::fail(missing_builtin(fields::CommonFieldParser::tag));
    // Both whitelists validate the whole list before adding anything, so a
    // refusal leaves both unchanged.
    if (auto added = all->whitelist().register_all_str(tokens); !added) return util::fail(added.error().message());
    if (auto added = common->whitelist().register_all_str(tokens); !added) return util::fail(added.error().message());
    return {};
}

util::Status Parameters::add_agents(std::span<const std::string> names) {
    for (const auto& name : names)
        if (auto registered = registry_.register_agent(name); !registered)
            return util::fail(registered.error().to_error());
    return {};
}

util::Status Parameters::add_agent_variables(std::string_view agent, std::span<const std::string> variables) {
    auto agent_name = names::Identifier::parse(agent);
    if (!agent_name) return util::fail(util::Error(agent_name.error().message()).context("Invalid agent name"));
    fields::AgentVariableParser::VariableSet added;
    for (const auto& variable : variables) {
        auto parsed = names::Identifier::parse(variable);
        if (!parsed)
            return util::fail(util::Error(parsed.error().message())
                                  .context(fmt::format("Variable {} is not a valid identifier", variable)));
        added.insert(std::move(*parsed));
    }
    auto* parser = registry_.find_parser<fields::AgentVariableParser>();
    if (parser == nullptr) return util::fail(missing_builtin(fields::AgentVariableParser::tag));
    auto& declared = parser->variables();
    auto it = declared.find(*agent_name);
    if (it == declared.end()) {
        declared.emplace(std::move(*agent_name), std::move(added));
        return {};
    }
    for (const auto& variable : added)
        if (it->second.contains(variable))
            return util::fail(fmt::format("Agent variable '{}' for agent '{}' is already registered", variable.text(),
                                          agent_name->text()));
    it->second.merge(added);
    return {};
}

}  // namespace tarnel::parameters
