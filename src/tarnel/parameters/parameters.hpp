#pragma once
// The mutable configuration a caller builds before compiling programs: the
// start date, the custom functions, and the registry of protocols, agents and
// their metric parsers. Copies are deep, so a sealed copy never changes.
#include <span>
#include <string>
#include <string_view>

#include "tarnel/fields/catalogue.hpp"
#include "tarnel/fields/config_document.hpp"
#include "tarnel/fields/registry.hpp"
#include "tarnel/parameters/custom_function.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/timeseries/instant.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::parameters {

// Taken by the entries every parameter set starts with.
[[nodiscard]] bool is_reserved_protocol_name(std::string_view name);

class Parameters {
public:
    // A global base parser and the entries all, variables and common.
    explicit Parameters(timeseries::Instant start_date);
    // From stored parts, as read back from a persisted form.
    Parameters(timeseries::Instant start_date, CustomFunctions custom_functions, fields::SimulatorRegistry registry);

    [[nodiscard]] timeseries::Instant start_date() const { return start_date_; }
    [[nodiscard]] const CustomFunctions& custom_functions() const { return custom_functions_; }
    [[nodiscard]] CustomFunctions& custom_functions() { return custom_functions_; }
    [[nodiscard]] const fields::SimulatorRegistry& registry() const { return registry_; }
    [[nodiscard]] fields::SimulatorRegistry& registry() { return registry_; }

    // Registers the document's two parsers under its singleton name, else
    // under `name`. Component values pair with the document's components as
    // far as the shorter list goes. Nothing changes on failure.
    util::Status add_protocol_from_config(const fields::ProtocolParserConfig& config, std::string_view name,
                                          std::span<const persist::Value> component_values);
    // The document and each component value as YAML (or JSON) text.
    util::Status add_protocol_from_yaml(std::string_view config_text, std::string_view name,
                                        std::span<const std::string> component_texts);
    util::Status add_protocol_from_json(std::string_view config_text, std::string_view name,
                                        std::span<const std::string> component_texts);

    // Built-in protocols; the tokens become the whitelist of both sides.
    util::Status add_uniswap_v2_protocol(std::string_view name, std::string_view token0, std::string_view token1);
    util::Status add_uniswap_v3_protocol(std::string_view name, std::string_view token0, std::string_view token1);
    // Always registered as aave_v3 and compound_v2, so once per parameter set.
    util::Status add_aave_v3_protocol(std::span<const std::string> tokens);
    util::Status add_compound_v2_protocol(std::span<const std::string> tokens);
    // Reads a catalogue document and registers it like a caller's document.
    util::Status add_catalogue_protocol(fields::CatalogueProtocol protocol, std::string_view name,
                                        std::span<const std::string> tokens);

    // Into the whitelists of the all and common parsers; an invalid symbol
    // changes neither.
    util::Status add_common(std::span<const std::string> tokens);
    // One at a time: agents before a failing name stay registered.
    util::Status add_agents(std::span<const std::string> names);
    // Nothing changes on failure. The agent need not be registered.
    util::Status add_agent_variables(std::string_view agent, std::span<const std::string> variables);

private:
    timeseries::Instant start_date_;
    CustomFunctions custom_functions_;
    fields::SimulatorRegistry registry_;
};

}  // namespace tarnel::parameters
