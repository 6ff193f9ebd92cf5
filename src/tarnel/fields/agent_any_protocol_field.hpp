#pragma once
// Agent-wide metrics across all protocols.
#include <variant>

#include "tarnel/fields/token_whitelist.hpp"
#include "tarnel/fields/typed_field_parser.hpp"

namespace tarnel::fields {

class AgentAnyProtocolField final : public Field {
public:
    static constexpr std::string_view tag = "AgentAnyProtocolField";
    struct WalletHoldings {
        WhitelistIndex token;
        bool operator==(const WalletHoldings&) const = default;
    };
    struct NetPosition {
        bool operator==(const NetPosition&) const = default;
    };
    struct TotalHolding {
        bool operator==(const TotalHolding&) const = default;
    };
    struct Pnl {
        bool operator==(const Pnl&) const = default;
    };
    struct TotalFees {
        bool operator==(const TotalFees&) const = default;
    };
    using Variant = std::variant<WalletHoldings, NetPosition, TotalHolding, Pnl, TotalFees>;

    explicit AgentAnyProtocolField(Variant value) : value_(value) {}
    [[nodiscard]] const Variant& value() const { return value_; }

    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] std::shared_ptr<const Field> clone() const override { return std::make_shared<AgentAnyProtocolField>(value_); }
    [[nodiscard]] bool dyn_eq(const Field& other) const override;
    void dyn_hash(util::SipHasher13& h) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    // The variant name; {"WalletHoldings": {"token": [i, null]}} for the one with a token.
    [[nodiscard]] persist::Value to_persisted() const override;

    static util::Result<DynField> read(const persist::Value& v);

private:
    Variant value_;
};

class AgentAnyProtocolFieldParser final : public TypedFieldParser<AgentAnyProtocolField> {
public:
    static constexpr std::string_view tag = "AgentAnyProtocolFieldParser";

    AgentAnyProtocolFieldParser() = default;
    explicit AgentAnyProtocolFieldParser(TokenWhitelist whitelist) : whitelist_(std::move(whitelist)) {}

    [[nodiscard]] const TokenWhitelist& whitelist() const { return whitelist_; }
    [[nodiscard]] TokenWhitelist& whitelist() { return whitelist_; }

    // wallet_holdings with `token` (required, positional); net_position,
    // total_holding, pnl, total_fees without options.
    [[nodiscard]] util::Result<DynField> parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const override;
    [[nodiscard]] util::Status write_typed(const AgentAnyProtocolField& field, std::string& out) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    [[nodiscard]] std::unique_ptr<FieldParser> clone() const override {
        return std::make_unique<AgentAnyProtocolFieldParser>(*this);
    }
    // Record {whitelist}.
    [[nodiscard]] persist::Value to_persisted() const override;
    [[nodiscard]] std::string debug() const override;

    static util::Result<std::unique_ptr<FieldParser>> read(const persist::Value& v);

private:
    TokenWhitelist whitelist_;
};

}  // namespace tarnel::fields
