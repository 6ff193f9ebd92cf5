#pragma once
// The field parser of a configured protocol: one per side (protocol-wide or
// per agent), over the metrics of that side's list in the document.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/fields/config_field.hpp"
#include "tarnel/fields/config_parameter_type.hpp"
#include "tarnel/fields/token_whitelist.hpp"
#include "tarnel/fields/typed_field_parser.hpp"
#include "tarnel/names/names.hpp"

namespace tarnel::fields {

// An instantiated component; the token whitelist is the only kind.
struct ConfigFieldComponent {
    TokenWhitelist token_whitelist;

    [[nodiscard]] std::string debug() const;
    // {"TokenWhitelist": [symbols...]}
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<ConfigFieldComponent> from_persisted(const persist::Value& v);
    bool operator==(const ConfigFieldComponent&) const = default;
};

struct ConfigFieldParserOption {
    ConfigFieldParameterType type;
    names::Identifier name;
    // May also be given without its name, at its index in the list.
    bool positional = false;

    [[nodiscard]] std::string debug() const;
    // Record {type, name, positional}; the type by its document name.
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<ConfigFieldParserOption> from_persisted(const persist::Value& v);
    bool operator==(const ConfigFieldParserOption&) const = default;
};

struct ConfigFieldParserMetric {
    names::Identifier symbol;
    std::vector<ConfigFieldParserOption> options;
    bool operator==(const ConfigFieldParserMetric&) const = default;
};

class ConfigFieldParser final : public TypedFieldParser<ConfigField> {
public:
    static constexpr std::string_view tag = "ConfigFieldParser";

    ConfigFieldParser(std::vector<ConfigFieldComponent> components, std::vector<ConfigFieldParserMetric> fields)
        : components_(std::move(components)), fields_(std::move(fields)) {}

    [[nodiscard]] const std::vector<ConfigFieldComponent>& components() const { return components_; }
    [[nodiscard]] const std::vector<ConfigFieldParserMetric>& fields() const { return fields_; }
    // The first component's whitelist; token options are bare symbols without one.
    [[nodiscard]] const TokenWhitelist* whitelist() const;

    // "Invalid field {name}" for a symbol not in the list; option errors and
    // conversion errors as they are.
    [[nodiscard]] util::Result<DynField> parse(std::string_view name,
                                               const grammar::ComposedIdentifierRef& identifier) const override;
    // symbol, then :{name="value",...} over the given values, if any.
    [[nodiscard]] util::Status write_typed(const ConfigField& field, std::string& out) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    [[nodiscard]] std::unique_ptr<FieldParser> clone() const override {
        return std::make_unique<ConfigFieldParser>(*this);
    }
    // Record {components, fields}; fields left out when empty.
    [[nodiscard]] persist::Value to_persisted() const override;
    [[nodiscard]] std::string debug() const override;

    static util::Result<std::unique_ptr<FieldParser>> read(const persist::Value& v);

    friend bool operator==(const ConfigFieldParser& a, const ConfigFieldParser& b) {
        return a.components_ == b.components_ && a.fields_ == b.fields_;
    }

protected:
    [[nodiscard]] std::string_view switched_message() const override {
        return "Parser swapped during runtime: expected ConfigField";
    }

private:
    [[nodiscard]] util::Result<ConfigFieldParameterValue> convert(ConfigFieldParameterType type,
                                                                  std::string_view text) const;
    [[nodiscard]] util::Status write_value(const ConfigFieldParameterValue& value, std::string& out) const;

    std::vector<ConfigFieldComponent> components_;
    std::vector<ConfigFieldParserMetric> fields_;
};

// The reader the tag registry calls for the tag ConfigFieldParser.
[[nodiscard]] util::Result<std::unique_ptr<FieldParser>> read_config_field_parser(const persist::Value& v);

}  // namespace tarnel::fields
