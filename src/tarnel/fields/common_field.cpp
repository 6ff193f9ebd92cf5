#include "tarnel/fields/common_field.hpp"

#include <array>

#include "tarnel/fields/option_resolution.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 1> variants{"MarketSpot"};
constexpr std::array<std::string_view, 1> market_spot_fields{"pair"};
constexpr std::array<std::string_view, 1> parser_fields{"whitelist"};

}  // namespace

std::string CommonField::debug() const { return "MarketSpot { pair: " + value_.pair.debug() + " }"; }

bool CommonField::dyn_eq(const Field& other) const {
    const auto* o = other.downcast<CommonField>();
    return o != nullptr && o->value_ == value_;
}

void CommonField::dyn_hash(util::SipHasher13& h) const {
    h.write_index(0);
    value_.pair.hash_feed(h);
}

persist::Value CommonField::to_persisted() const {
    persist::Map record{{persist::Value("pair"), value_.pair.to_persisted()}};
    return persist::Map{{persist::Value("MarketSpot"), persist::Value(std::move(record))}};
}

util::Result<DynField> CommonField::read(const persist::Value& v) {
    auto e = persist::read_enum(v, "CommonField", variants);
    if (!e) return util::fail(std::move(e.error()));
    auto payload = persist::require_payload(*e, "struct variant");
    if (!payload) return util::fail(std::move(payload.error()));
    auto record =
        persist::RecordReader::open(**payload, "struct variant CommonField::MarketSpot with 1 element", market_spot_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto node = record->required("pair");
    if (!node) return util::fail(std::move(node.error()));
    auto pair = TokenIdPair::from_persisted(**node);
    if (!pair) return util::fail(std::move(pair.error()));
    return DynField(std::make_shared<CommonField>(MarketSpot{*pair}));
}

util::Result<DynField> CommonFieldParser::parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const {
    if (name != "market_spot") return FieldParser::parse(name, identifier);
    const std::array<OptionParameter<TokenIdPair>, 1> parameters{OptionParameter<TokenIdPair>{
        "pair", true, true, [this](std::string_view text) -> util::Result<TokenIdPair> {
            auto pair = TokenIdPair::from_required(text, whitelist_);
            if (!pair) return util::fail(pair.error().to_error().context("Error in option pair:"));
            return *pair;
        }}};
    auto values = resolve_options<TokenIdPair>(parameters, identifier);
    if (!values) return util::fail(std::move(values.error()));
    return DynField(std::make_shared<CommonField>(CommonField::MarketSpot{*(*values)[0]}));
}

util::Status CommonFieldParser::write_typed(const CommonField& field, std::string& out) const {
    auto base = symbol_text(whitelist_, field.market_spot().pair.base);
    if (!base) return util::fail(std::move(base.error()));
    auto quote = symbol_text(whitelist_, field.market_spot().pair.quote);
    if (!quote) return util::fail(std::move(quote.error()));
    out += "market_spot";
    write_option_list(out, "pair", std::string(*base) + "/" + std::string(*quote));
    return {};
}

persist::Value CommonFieldParser::to_persisted() const {
    return persist::Map{{persist::Value("whitelist"), whitelist_.to_persisted()}};
}

std::string CommonFieldParser::debug() const { return "CommonFieldParser { whitelist: " + whitelist_.debug() + " }"; }

util::Result<std::unique_ptr<FieldParser>> CommonFieldParser::read(const persist::Value& v) {
    auto whitelist = read_whitelist_record(v, "struct CommonFieldParser with 1 element");
    if (!whitelist) return util::fail(std::move(whitelist.error()));
    return std::make_unique<CommonFieldParser>(std::move(*whitelist));
}

util::Result<TokenWhitelist> read_whitelist_record(const persist::Value& v, std::string_view expected) {
    auto record = persist::RecordReader::open(v, expected, parser_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto node = record->required("whitelist");
    if (!node) return util::fail(std::move(node.error()));
    return TokenWhitelist::from_persisted(**node);
}

}  // namespace tarnel::fields
