#pragma once
// Protocol configuration documents: a protocol's type name, an optional fixed
// registration name, the components its parsers need, and its protocol-wide
// and per-agent metrics. Read from YAML or JSON through the data model.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/fields/config_parameter_type.hpp"
#include "tarnel/names/names.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

// Written "Whitelist<Token>" in documents.
enum class ConfigFieldComponentType { TokenWhitelist };

struct ProtocolParserFieldParameterConfig {
    names::Identifier name;
    ConfigFieldParameterType type;
    // The option may also be given without its name, at its index.
    bool optional_name = false;
};

struct ProtocolParserFieldConfig {
    // Title and description, for people reading the document only.
    std::optional<std::string> name;
    std::optional<std::string> doc;
    names::Identifier symbol;
    std::vector<ProtocolParserFieldParameterConfig> parameters;
};

// A document as read, before its symbols are checked for uniqueness.
struct ProtocolParserConfigUnchecked {
    std::string name;
    std::optional<names::IdentifierOrAddr> singleton;
    std::vector<ConfigFieldComponentType> components;
    std::vector<ProtocolParserFieldConfig> protocol_metrics;
    std::vector<ProtocolParserFieldConfig> agent_metrics;
};

// A document whose symbols are unique within each metric list.
class ProtocolParserConfig {
public:
    // Fails with "Encounter metric symbol `{symbol}` multiple times, should be unique".
    static util::Result<ProtocolParserConfig> validate(ProtocolParserConfigUnchecked unchecked);

    [[nodiscard]] const std::string& name() const { return data_.name; }
    [[nodiscard]] const std::optional<names::IdentifierOrAddr>& singleton() const { return data_.singleton; }
    [[nodiscard]] const std::vector<ConfigFieldComponentType>& components() const { return data_.components; }
    [[nodiscard]] const std::vector<ProtocolParserFieldConfig>& protocol_metrics() const { return data_.protocol_metrics; }
    [[nodiscard]] const std::vector<ProtocolParserFieldConfig>& agent_metrics() const { return data_.agent_metrics; }

private:
    explicit ProtocolParserConfig(ProtocolParserConfigUnchecked d) : data_(std::move(d)) {}
    ProtocolParserConfigUnchecked data_;
};

[[nodiscard]] util::Result<ConfigFieldComponentType> read_config_component_type(const persist::Value& v);
[[nodiscard]] persist::Value write_config_component_type(ConfigFieldComponentType t);

[[nodiscard]] util::Result<ProtocolParserConfigUnchecked> read_protocol_parser_config_unchecked(const persist::Value& v);
// Reads, then validates; a validation failure is reported as a read error.
[[nodiscard]] util::Result<ProtocolParserConfig> read_protocol_parser_config(const persist::Value& v);
[[nodiscard]] util::Result<ProtocolParserConfig> protocol_parser_config_from_yaml(std::string_view text);
[[nodiscard]] util::Result<ProtocolParserConfig> protocol_parser_config_from_json(std::string_view text);

}  // namespace tarnel::fields
