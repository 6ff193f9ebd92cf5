#pragma once
// The market spot price of a token pair, common to all protocols.
#include "tarnel/fields/token_whitelist.hpp"
#include "tarnel/fields/typed_field_parser.hpp"

namespace tarnel::fields {

class CommonField final : public Field {
public:
    static constexpr std::string_view tag = "CommonField";
    struct MarketSpot {
        TokenIdPair pair;
        bool operator==(const MarketSpot&) const = default;
    };

    explicit CommonField(MarketSpot value) : value_(value) {}
    [[nodiscard]] const MarketSpot& market_spot() const { return value_; }

    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] std::shared_ptr<const Field> clone() const override { return std::make_shared<CommonField>(value_); }
    [[nodiscard]] bool dyn_eq(const Field& other) const override;
    void dyn_hash(util::SipHasher13& h) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    // {"MarketSpot": {"pair": {base, quote}}}
    [[nodiscard]] persist::Value to_persisted() const override;

    static util::Result<DynField> read(const persist::Value& v);

private:
    MarketSpot value_;
};

class CommonFieldParser final : public TypedFieldParser<CommonField> {
public:
    static constexpr std::string_view tag = "CommonFieldParser";

    CommonFieldParser() = default;
    explicit CommonFieldParser(TokenWhitelist whitelist) : whitelist_(std::move(whitelist)) {}

    [[nodiscard]] const TokenWhitelist& whitelist() const { return whitelist_; }
    [[nodiscard]] TokenWhitelist& whitelist() { return whitelist_; }

    // market_spot with `pair` (required, positional).
    [[nodiscard]] util::Result<DynField> parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const override;
    // market_spot:{pair="BASE/QUOTE"}
    [[nodiscard]] util::Status write_typed(const CommonField& field, std::string& out) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    [[nodiscard]] std::unique_ptr<FieldParser> clone() const override { return std::make_unique<CommonFieldParser>(*this); }
    // Record {whitelist}.
    [[nodiscard]] persist::Value to_persisted() const override;
    [[nodiscard]] std::string debug() const override;

    static util::Result<std::unique_ptr<FieldParser>> read(const persist::Value& v);

private:
    TokenWhitelist whitelist_;
};

// Record {whitelist} of the two whitelist-holding built-in parsers.
util::Result<TokenWhitelist> read_whitelist_record(const persist::Value& v, std::string_view expected);

}  // namespace tarnel::fields
