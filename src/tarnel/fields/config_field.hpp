#pragma once
// A metric of a configured protocol, resolved: which metric of its parser, and
// the converted value of each of its parameters.
#include <cstddef>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "tarnel/fields/field.hpp"
#include "tarnel/fields/token_whitelist.hpp"
#include "tarnel/names/names.hpp"
#include "tarnel/util/shared_string.hpp"

namespace tarnel::fields {

// An optional parameter that was not given.
struct NoParameterValue {
    bool operator==(const NoParameterValue&) const = default;
};

// Tokens and pairs are kept as whitelist positions when the parser has a
// whitelist, as symbols otherwise.
class ConfigFieldParameterValue {
public:
    using Variant = std::variant<names::TokenSymbol, WhitelistIndex, names::TokenSymbolPair, TokenIdPair,
                                 names::Identifier, names::IdentifierOrAddr, names::EthAddress, util::SharedString,
                                 NoParameterValue>;
    enum class Kind { Token, TokenId, TokenPair, TokenIdPair, Identifier, IdentifierOrAddress, Address, String, None };

    ConfigFieldParameterValue() : v_(NoParameterValue{}) {}
    template <class A>
        requires std::is_constructible_v<Variant, A&&>
    ConfigFieldParameterValue(A&& alternative) : v_(std::forward<A>(alternative)) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] Kind kind() const { return static_cast<Kind>(v_.index()); }
    [[nodiscard]] bool is_none() const { return kind() == Kind::None; }
    [[nodiscard]] const Variant& variant() const { return v_; }

    // Token(TokenSymbol(...)), TokenId(WhitelistIndex(0)), None, ...
    [[nodiscard]] std::string debug() const;
    // Variant index, then the value (addresses by their bytes).
    void hash_feed(util::SipHasher13& h) const;
    // {"Token": "WETH"}, {"TokenId": [0, null]}, ..., "None".
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<ConfigFieldParameterValue> from_persisted(const persist::Value& v);

    friend bool operator==(const ConfigFieldParameterValue&, const ConfigFieldParameterValue&) = default;

private:
    Variant v_;
};

class ConfigField final : public Field {
public:
    static constexpr std::string_view tag = "ConfigField";

    ConfigField(std::size_t index, std::vector<ConfigFieldParameterValue> options)
        : index_(index), options_(std::move(options)) {}

    // Position of the metric in its parser's list.
    [[nodiscard]] std::size_t index() const { return index_; }
    // One value per parameter of the metric, in parameter order.
    [[nodiscard]] const std::vector<ConfigFieldParameterValue>& options() const { return options_; }

    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] std::shared_ptr<const Field> clone() const override {
        return std::make_shared<ConfigField>(index_, options_);
    }
    [[nodiscard]] bool dyn_eq(const Field& other) const override;
    void dyn_hash(util::SipHasher13& h) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    // Record {index, options}.
    [[nodiscard]] persist::Value to_persisted() const override;

    static util::Result<DynField> read(const persist::Value& v);

    friend bool operator==(const ConfigField& a, const ConfigField& b) {
        return a.index_ == b.index_ && a.options_ == b.options_;
    }

private:
    std::size_t index_;
    std::vector<ConfigFieldParameterValue> options_;
};

// The reader the tag registry calls for the tag ConfigField.
[[nodiscard]] util::Result<DynField> read_config_field(const persist::Value& v);

}  // namespace tarnel::fields
