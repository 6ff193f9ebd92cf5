#pragma once
// The two parsers of a configured protocol, built from its document and the
// caller's component values.
#include <memory>
#include <span>

#include "tarnel/fields/config_document.hpp"
#include "tarnel/fields/config_field_parser.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

// A whitelist needs an array of token symbols; repeated symbols are kept once.
// Any other value fails with "Expected Token array" over the reason.
[[nodiscard]] util::Result<ConfigFieldComponent> instantiate_component(ConfigFieldComponentType type,
                                                                       const persist::Value& value);

// Pairs the document's component types with the values, in order, as far as
// the shorter list goes; the first failure ends it.
[[nodiscard]] util::Result<std::vector<ConfigFieldComponent>> instantiate_components(
    const ProtocolParserConfig& config, std::span<const persist::Value> values);

struct ConfiguredProtocolParsers {
    std::unique_ptr<ConfigFieldParser> protocol;
    std::unique_ptr<ConfigFieldParser> agent;
};

// Both sides share the components; a side without metrics still gets a parser.
[[nodiscard]] ConfiguredProtocolParsers make_config_parsers(const ProtocolParserConfig& config,
                                                            const std::vector<ConfigFieldComponent>& components);
[[nodiscard]] util::Result<ConfiguredProtocolParsers> build_config_parsers(const ProtocolParserConfig& config,
                                                                           std::span<const persist::Value> values);

}  // namespace tarnel::fields
