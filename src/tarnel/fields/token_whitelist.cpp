#include "tarnel/fields/token_whitelist.hpp"

#include <array>

#include <fmt/format.h>

#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

template <class Text>
std::expected<void, names::ValidationReport> register_texts(TokenWhitelist& whitelist, std::span<const Text> texts) {
    std::vector<names::TokenSymbol> parsed;
    parsed.reserve(texts.size());
    for (const auto& t : texts) {
        auto symbol = names::TokenSymbol::parse(t);
        if (!symbol) return std::unexpected(std::move(symbol.error()));
        parsed.push_back(std::move(*symbol));
    }
    for (const auto& s : parsed) whitelist.insert(s);
    return {};
}

}  // namespace

std::expected<void, names::ValidationReport> TokenWhitelist::register_all_str(std::span<const std::string_view> texts) {
    return register_texts(*this, texts);
}

std::expected<void, names::ValidationReport> TokenWhitelist::register_all_str(std::span<const std::string> texts) {
    return register_texts(*this, texts);
}

void TokenWhitelist::insert(const names::TokenSymbol& symbol) {
    if (!find(symbol)) symbols_.push_back(symbol);
}

std::optional<std::size_t> TokenWhitelist::find(const names::TokenSymbol& symbol) const {
    for (std::size_t k = 0; k < symbols_.size(); ++k)
        if (symbols_[k] == symbol) return k;
    return std::nullopt;
}

const names::TokenSymbol* TokenWhitelist::symbol(std::size_t index) const {
    return index < symbols_.size() ? &symbols_[index] : nullptr;
}

std::string TokenWhitelist::debug() const {
    std::string out = "Whitelist { tokens: [";
    for (std::size_t k = 0; k < symbols_.size(); ++k) {
        if (k > 0) out += ", ";
        out += symbols_[k].debug();
    }
    return out + "] }";
}

persist::Value TokenWhitelist::to_persisted() const {
    persist::Array out;
    out.reserve(symbols_.size());
    for (const auto& s : symbols_) out.push_back(names::to_persisted(s));
    return out;
}

util::Result<TokenWhitelist> TokenWhitelist::from_persisted(const persist::Value& v) {
    auto items = persist::read_array(v);
    if (!items) return util::fail(std::move(items.error()));
    TokenWhitelist out;
    out.symbols_.reserve(items->size());
    // Kept as written: positions held by fields refer to this order.
    for (const auto& item : *items) {
        auto symbol = names::read_token_symbol(item);
        if (!symbol) return util::fail(std::move(symbol.error()));
        out.symbols_.push_back(std::move(*symbol));
    }
    return out;
}

std::expected<WhitelistIndex, TokenWhitelistError<names::ValidationReport>> WhitelistIndex::from_required(
    std::string_view text, const TokenWhitelist& whitelist) {
    using Error = TokenWhitelistError<names::ValidationReport>;
    auto symbol = names::TokenSymbol::parse(text);
    if (!symbol) return std::unexpected(Error{std::move(symbol.error())});
    auto index = whitelist.find(*symbol);
    if (!index) return std::unexpected(Error{WhitelistError{SymbolNotFound{std::move(*symbol)}}});
    return WhitelistIndex{*index};
}

std::string WhitelistIndex::debug() const { return fmt::format("WhitelistIndex({})", index); }

persist::Value WhitelistIndex::to_persisted() const {
    return persist::Array{persist::Value(static_cast<std::uint64_t>(index)), persist::Value(persist::Null{})};
}

util::Result<WhitelistIndex> WhitelistIndex::from_persisted(const persist::Value& v) {
    auto items = persist::read_tuple(v, 2, "tuple struct WhitelistIndex with 2 elements");
    if (!items) return util::fail(std::move(items.error()));
    auto index = persist::read_u64((*items)[0]);
    if (!index) return util::fail(std::move(index.error()));
    if (!(*items)[1].is<persist::Null>()) return util::fail(persist::invalid_type((*items)[1], "unit"));
    return WhitelistIndex{static_cast<std::size_t>(*index)};
}

std::expected<TokenIdPair, TokenWhitelistError<names::TokenSymbolPairError>> TokenIdPair::from_required(
    std::string_view text, const TokenWhitelist& whitelist) {
    using Error = TokenWhitelistError<names::TokenSymbolPairError>;
    auto pair = names::TokenSymbolPair::parse(text);
    if (!pair) return std::unexpected(Error{std::move(pair.error())});
    auto base = whitelist.find(pair->base());
    if (!base) return std::unexpected(Error{WhitelistError{SymbolNotFound{pair->base()}}});
    auto quote = whitelist.find(pair->quote());
    if (!quote) return std::unexpected(Error{WhitelistError{SymbolNotFound{pair->quote()}}});
    return TokenIdPair{WhitelistIndex{*base}, WhitelistIndex{*quote}};
}

std::string TokenIdPair::debug() const {
    return fmt::format("TokenIdPair {{ base: {}, quote: {} }}", base.debug(), quote.debug());
}

persist::Value TokenIdPair::to_persisted() const {
    return persist::Map{{persist::Value("base"), base.to_persisted()}, {persist::Value("quote"), quote.to_persisted()}};
}

util::Result<TokenIdPair> TokenIdPair::from_persisted(const persist::Value& v) {
    static constexpr std::array<std::string_view, 2> fields{"base", "quote"};
    auto record = persist::RecordReader::open(v, "struct TokenIdPair with 2 elements", fields);
    if (!record) return util::fail(std::move(record.error()));
    auto base_node = record->required("base");
    if (!base_node) return util::fail(std::move(base_node.error()));
    auto quote_node = record->required("quote");
    if (!quote_node) return util::fail(std::move(quote_node.error()));
    auto base = WhitelistIndex::from_persisted(**base_node);
    if (!base) return util::fail(std::move(base.error()));
    auto quote = WhitelistIndex::from_persisted(**quote_node);
    if (!quote) return util::fail(std::move(quote.error()));
    return TokenIdPair{*base, *quote};
}

util::Result<std::string_view> symbol_text(const TokenWhitelist& whitelist, const WhitelistIndex& index) {
    if (const auto* s = whitelist.symbol(index.index)) return s->text();
    return util::fail(fmt::format("Token index {} is outside the whitelist of {} tokens", index.index, whitelist.size()));
}

}  // namespace tarnel::fields
